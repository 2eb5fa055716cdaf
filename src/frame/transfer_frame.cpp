#include "frame/transfer_frame.h"

#include "frame/module.h"
#include "link/usb_link.h"

#include <commctrl.h>

void EnsureCommonControls()
{
    // The host may not have registered the common control classes our templates use.
    static bool done = false;
    if (!done) {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_ANIMATE_CLASS};
        InitCommonControlsEx(&icc);
        done = true;
    }
}

INT_PTR OpenModuleDialog(int templateId, HWND owner, DLGPROC procedure, LPARAM parameter)
{
    EnsureCommonControls();
    return DialogBoxParamA(g_moduleInstance, MAKEINTRESOURCEA(templateId), owner, procedure,
                           parameter);
}

void WaitForWorker()
{
    if (!g_workerHandle)
        return;
    // Without time limit, but serving messages sent to this thread meanwhile: a worker
    // that is sending to one of our windows must not wait for us while we wait for it.
    // Posted messages stay queued for the host.
    while (MsgWaitForMultipleObjects(1, &g_workerHandle, FALSE, INFINITE, QS_SENDMESSAGE) ==
           WAIT_OBJECT_0 + 1) {
        MSG msg;
        PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CloseHandle(g_workerHandle);
    g_workerHandle = NULL;
}

INT_PTR RunTransferFrame(HWND owner, INT_PTR (*openDialogs)(HWND owner))
{
    g_workerHandle = NULL;
    LoadUsbLibrary();  // the dialogs learn through UsbInitialize whether USB is there
    INT_PTR result = openDialogs(owner);
    WaitForWorker();
    UsbTerminate();
    UnloadUsbLibrary();
    return result;
}
