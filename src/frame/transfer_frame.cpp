#include "frame/transfer_frame.h"

#include "frame/module.h"
#include "link/usb_link.h"

#include <commctrl.h>
#include <stdio.h>

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
    INT_PTR result = DialogBoxParamA(g_moduleInstance, MAKEINTRESOURCEA(templateId), owner, procedure,
                                     parameter);
    // The module's dialogs end with 1 or 2; DialogBoxParam answers 0 when the owner is no
    // window, and then no dialog was created: the same as -1 for every caller.
    return result == 0 ? -1 : result;
}

BOOL PaintNothing(HWND dialog)
{
    PAINTSTRUCT paint;
    BeginPaint(dialog, &paint);
    EndPaint(dialog, &paint);
    return TRUE;
}

BOOL PostClose(HWND dialog)
{
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    return TRUE;
}

void WaitAndCloseThread(HANDLE *thread)
{
    if (!*thread)
        return;
    while (MsgWaitForMultipleObjects(1, thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CloseHandle(*thread);
    *thread = NULL;
}

INT_PTR RunTransferFrame(HWND owner, INT_PTR (*openDialogs)(HWND owner))
{
    g_workerHandle = NULL;
    LoadUsbLibrary();  // the dialogs learn through UsbInitialize whether USB is there
    INT_PTR result = openDialogs(owner);
    WaitAndCloseThread(&g_workerHandle);
    if (result != FRAME_NOTHING_RAN)
        UsbTerminate();
    UnloadUsbLibrary();
    return result;
}

void ShowDesignProgress(HWND dialog, int counterId, int barId, DWORD index, DWORD count, int position)
{
    char counter[32];
    snprintf(counter, sizeof counter, "%d  /  %d", (int)(index + 1), (int)count);
    SetDlgItemTextA(dialog, counterId, counter);
    SendDlgItemMessageA(dialog, barId, PBM_SETPOS, position, 0);
}
