// The receive step: the receive list built from the ticked designs, progress dialog 106
// with Start and Cancel, and the worker that hands the whole list to one upload sequence
// of the link library, which writes each design to the path in its entry.
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include "frame/controls.h"
#include "frame/module.h"
#include "frame/transfer_frame.h"
#include "link/link_run.h"
#include "frame/sync.h"
#include "machinelist/design_list.h"
#include "machinelist/progress_percent.h"
#include "receive/receive.h"
#include "receive/receive_path.h"
#include "receive_progress_res.h"
#include "resource.h"

char g_receiveFolder[VEMB_NAME_FIELD];
DesignEntry *g_receiveList;
UINT g_receiveCount;

namespace {

// Posted by the worker to dialog 106 when it ends, whatever the outcome: the link library
// has shown any failure, and the dialog closes either way.
enum { WM_RECEIVE_FINISHED = WM_USER + 50 };

MovableBlock g_receiveListBlock;   // movable block of the receive list
HWND g_receiveProgressWindow;      // dialog 106 while it runs
HWND g_receiveAnimation;           // its animation control while it may play
CancelEventSlot g_receiveCancel;   // created by Start, closed by the worker

const char RECEIVING_CAPTION[] = "Receiving";  // message caption and link caption
const char UPLOAD_CAPTION[] = "Upload";

// A destination path that does not fit the entry's 260 characters is refused, with the
// whole list: shortening it would save the design under a name the user did not choose,
// dropping it would lose it without a word. The dialog stays open, and a shorter folder
// can be chosen with "Browse".
void ShowPathTooLong(HWND dialog, const char *name)
{
    char text[160 + VEMB_NAME_FIELD];
    snprintf(
        text, sizeof text,
        "The receive folder is too long for the design \"%s\".\nPlease choose a folder with a shorter path.",
        name);
    MessageBoxA(dialog, text, RECEIVING_CAPTION, MB_ICONEXCLAMATION);
}

// The link library writes each design at its destination path: a machine name that is not
// a plain file name ("..\x", "C:x", "a/b", "..") would put it outside the receive folder.
// The whole list is refused, as for a path too long; the dialog stays open.
void ShowNotAFileName(HWND dialog, const char *name)
{
    char text[160 + VEMB_NAME_FIELD];
    snprintf(text, sizeof text,
             "The design \"%s\" has a name that cannot be used as a file name in the receive folder.\n"
             "Please untick it to receive the other designs.",
             name);
    MessageBoxA(dialog, text, RECEIVING_CAPTION, MB_ICONEXCLAMATION);
}

int __stdcall ReceiveProgressCallback(DWORD index, DWORD count, DWORD done, DWORD total)
{
    ShowDesignProgress(g_receiveProgressWindow, IDC_RECEIVE_COUNTER, IDC_RECEIVE_PROGRESS_BAR, index, count,
                       ProgressPercentScaledFirst(done, total));
    return 1;
}

DWORD WINAPI ReceiveThread(LPVOID parameter)
{
    HWND dialog = (HWND)parameter;
    HANDLE cancel = g_receiveCancel.Take();
    if (IsWindow(dialog)) {
        RunLink(dialog, RECEIVING_CAPTION, cancel, [](auto link, DWORD *detail) {
            return link.Upload(g_receiveList, (int)g_receiveCount, detail, ReceiveProgressCallback);
        });
        if (IsWindow(dialog))
            PostMessageA(dialog, WM_RECEIVE_FINISHED, 0, 0);
    }
    // After the post: the dialog may still set the event (close box, completion), which
    // the slot's lock keeps apart from this close.
    g_receiveCancel.Close(cancel);
    return 1;
}

int StartReceiveWorker(HWND dialog)
{
    if (!g_receiveCancel.Put()) {
        MessageBoxA(dialog, "Failed to create event object.", UPLOAD_CAPTION, MB_ICONHAND);
        return 0;
    }
    g_receiveCancel.Reset();
    g_workerHandle = CreateThread(NULL, 0, ReceiveThread, dialog, 0, NULL);
    if (!g_workerHandle) {
        g_receiveCancel.Discard();  // no worker took it
        MessageBoxA(dialog, "Failed to create a thread.", UPLOAD_CAPTION, MB_ICONHAND);
        return 0;
    }
    return 1;
}

BOOL OnProgressInit(HWND dialog)
{
    g_receiveProgressWindow = dialog;
    g_receiveAnimation = NULL;
    g_workerHandle = NULL;
    SetTransferTitle(dialog, g_receiveSide.titles);
    HWND bar = GetDlgItem(dialog, IDC_RECEIVE_PROGRESS_BAR);
    SendMessageA(bar, PBM_SETPOS, 0, 0);
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    g_receiveAnimation = GetDlgItem(dialog, IDC_RECEIVE_ANIMATION);
    CenterWindow(dialog);
    return TRUE;
}

void OnStart(HWND dialog)
{
    // Start is hidden once pressed; Enter must not start a second worker.
    if (!IsWindowEnabled(GetDlgItem(dialog, IDOK)))
        return;
    OpenClip(g_receiveAnimation, IDR_AVI_RECEIVING);
    static const int BUTTONS[] = {IDOK, IDCANCEL};
    for (int id : BUTTONS) {
        EnableWindow(GetDlgItem(dialog, id), FALSE);
        ShowWindow(GetDlgItem(dialog, id), SW_HIDE);
    }
    CenterControl(dialog, IDC_RECEIVE_STATUS);
    CenterControl(dialog, IDC_RECEIVE_ANIMATION);
    SetDlgItemTextA(dialog, IDC_RECEIVE_STATUS, "Just a moment, please.");
    PlayClip(g_receiveAnimation);
    g_transferStatus = 1;
    StartReceiveWorker(dialog);
}

void OnProgressClose(HWND dialog)
{
    g_receiveCancel.Set();
    StopClip(&g_receiveAnimation);
    if (g_workerHandle)
        return;  // the dialog ends when the worker reports
    UsbTerminate();
    // Start may have been pressed without a worker coming of it (no event, no thread):
    // no transfer runs once this dialog has gone.
    g_transferStatus = 0;
    EndDialog(dialog, 2);
}

void OnReceiveFinished(HWND dialog)
{
    g_receiveCancel.Set();
    StopClip(&g_receiveAnimation);
    if (!g_workerHandle)
        UsbTerminate();
    g_transferStatus = 0;
    EndDialog(dialog, 1);
}

INT_PTR CALLBACK ReceiveProgressDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnProgressInit(dialog);
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
            OnStart(dialog);
        else if (LOWORD(wParam) == IDCANCEL)
            PostClose(dialog);
        return TRUE;
    case WM_PAINT:
        return PaintNothing(dialog);
    case WM_CLOSE:
        OnProgressClose(dialog);
        return TRUE;
    case WM_RECEIVE_FINISHED:
        OnReceiveFinished(dialog);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int BuildReceiveList(HWND dialog)
{
    MovableBlock block;
    DesignEntry *entries;
    UINT count;
    if (!BuildTickedEntryList(g_receiveSide, dialog, RECEIVING_CAPTION, &block, &entries, &count))
        return 0;
    RemoveTrailingBackslash(g_receiveFolder);
    // Each entry's name becomes the design's destination path.
    for (UINT i = 0; i < count; ++i) {
        char name[VEMB_NAME_FIELD];
        lstrcpynA(name, entries[i].name, sizeof name);
        void (*refusal)(HWND, const char *) = nullptr;
        if (!IsPlainFileName(name))
            refusal = ShowNotAFileName;
        else if (!BuildDestinationPath(g_receiveFolder, name, entries[i].name))
            refusal = ShowPathTooLong;
        if (refusal) {
            refusal(dialog, name);
            return 0;
        }
    }
    g_receiveListBlock = std::move(block);
    g_receiveList = entries;
    g_receiveCount = count;
    return 1;
}

void FreeReceiveList()
{
    FreeEntryList(&g_receiveListBlock, &g_receiveList, &g_receiveCount);
}

INT_PTR ReceiveSelectedDesigns(HWND owner, DesignEntry *list, UINT count)
{
    g_receiveList = list;
    g_receiveCount = count;
    INT_PTR result = OpenModuleDialog(IDD_RECEIVE_PROGRESS, owner, ReceiveProgressDlgProc);
    if (!g_workerHandle)
        UsbTerminate();
    if (result != 1 && result != 2) {
        MessageBoxA(owner, "Failed to create Window.", RECEIVING_CAPTION, MB_ICONHAND);
        return 2;
    }
    return result;
}

