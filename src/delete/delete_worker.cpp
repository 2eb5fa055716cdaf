// The deletion: wait dialog 109 without buttons, and its worker, which opens the link once
// and asks the machine to delete the entries of the delete list one at a time, the
// counter showing which, until the list ends, the user stops it or the link fails.
#include <windows.h>
#include <stdio.h>

#include <atomic>

#include "delete/delete.h"
#include "delete_wait_res.h"
#include "frame/module.h"
#include "frame/transfer_frame.h"
#include "link/link_run.h"
#include "machinelist/design_list.h"

namespace {

// Raised by the wait dialog's close box on the host's thread, read by the worker before
// each design.
std::atomic<int> g_deleteCancelFlag;

// Asks the user whether the busy machine should be tried again: 1 retry, 0 give up.
int __stdcall MachineBusyCallback()
{
    return MessageBoxA(NULL, "Now busy, try again later.\n", DELETE_CAPTION,
                       MB_RETRYCANCEL | MB_ICONQUESTION | MB_TOPMOST) == IDRETRY
               ? 1
               : 0;
}

void WriteCounter(HWND dialog, UINT n)
{
    char counter[32];
    snprintf(counter, sizeof counter, "%d  /  %d", (int)n, (int)g_deleteCount);
    SetDlgItemTextA(dialog, IDC_DELETE_COUNTER, counter);
}

// The deletion on either road: open once, one delete sequence per entry, and on a failure
// the library's message while the link is still open, then close. 1 when every entry was
// handled or the user stopped, 0 on a link failure.
template <class Road>
int DeleteEntries(Road road, HWND dialog, HANDLE cancel)
{
    int code = road.Open(dialog, cancel);
    if (code != 0) {
        road.Show(dialog, DELETE_CAPTION, code, 0);
        road.Close();
        return 0;
    }
    for (UINT n = 1; n <= g_deleteCount; ++n) {
        if (g_deleteCancelFlag.load())
            break;
        WriteCounter(dialog, n);
        const DesignEntry &entry = g_deleteList[n - 1];
        DWORD detail = 0;
        code = road.Erase(entry.location, entry.number, &detail, MachineBusyCallback);
        if (code != 0) {
            road.Show(dialog, DELETE_CAPTION, code, detail);
            road.Close();
            return 0;
        }
    }
    road.Close();
    return 1;  // also when the user stopped it
}

// The delete side's cancel event, reset: normally none, since the list's own progress
// dialogs have closed theirs; nothing sets it during a deletion.
HANDLE ResetCancelEvent()
{
    HANDLE cancel = g_deleteSide.cancelEvent.Current();
    if (cancel)
        ResetEvent(cancel);
    return cancel;
}

DWORD WINAPI DeleteThread(LPVOID parameter)
{
    HWND dialog = (HWND)parameter;
    HANDLE cancel = g_deleteSide.cancelEvent.Take();
    if (IsWindow(dialog)) {
        int done = ChooseLinkRoad(dialog, cancel,
                                  [&](auto road) { return DeleteEntries(road, dialog, ResetCancelEvent()); });
        if (IsWindow(dialog))
            PostMessageA(dialog, WM_COMMAND, done ? CMD_WORK_DONE : CMD_WORK_FAILED, 0);
    }
    g_deleteSide.cancelEvent.Close(cancel);
    return 1;
}

void OnWorkStart(HWND dialog)
{
    if (g_workerHandle)
        return;  // one worker per dialog
    g_transferStatus = 1;
    g_workerHandle = CreateThread(NULL, 0, DeleteThread, dialog, 0, NULL);
    if (g_workerHandle)
        return;
    // Without a worker nothing would ever end the dialog: its close box only raises the
    // cancel flag. It ends at once as a failed deletion, nothing deleted.
    g_transferStatus = 0;
    MessageBoxA(dialog, "Failed to create a thread.", DELETE_CAPTION, MB_ICONHAND);
    EndDialog(dialog, 2);
}

}  // namespace

INT_PTR CALLBACK DeleteWaitDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        g_deleteCancelFlag = 0;
        CenterWindow(dialog);
        PostMessageA(dialog, WM_COMMAND, CMD_WORK_START, 0);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case CMD_WORK_START:
            OnWorkStart(dialog);
            break;
        case CMD_WORK_DONE:
            g_transferStatus = 0;
            EndDialog(dialog, 1);
            break;
        case CMD_WORK_FAILED:
            g_transferStatus = 0;
            EndDialog(dialog, 2);
            break;
        }
        return TRUE;  // Esc and Enter do nothing
    case WM_CLOSE:
        // The worker finishes the design under way and stops before the next; the dialog
        // ends when it reports.
        g_deleteCancelFlag = 1;
        return TRUE;
    case WM_PAINT:
        return PaintNothing(dialog);
    }
    return FALSE;
}

