// The directory upload: progress dialog 105, its worker and the serial and USB roads that
// make the link library write the directory information "$$UPLDir.tmp". Dialog 105 is run
// the same way by the preview fetch (preview_fetch.cpp).
#include <windows.h>
#include <commctrl.h>
#include <string.h>

#include "directory_upload_res.h"
#include "frame/module.h"
#include "frame/transfer_frame.h"
#include "link/link_run.h"
#include "machinelist/design_list.h"
#include "machinelist/directory_info.h"
#include "machinelist/fetch_dialog.h"
#include "machinelist/progress_percent.h"
#include "resource.h"

namespace {

const FetchDialogRole DIRECTORY_UPLOAD_ROLE = {
    nullptr,  // the template's caption and text stand
    nullptr,
    &DesignListSide::uploadEventCaption,
    &DesignListSide::directoryUploadThread,
};

BOOL OnFetchInit(HWND dialog, DesignListSide &side, const FetchDialogRole &role)
{
    if (role.caption)
        SetWindowTextA(dialog, role.caption);
    if (role.text)
        SetDlgItemTextA(dialog, IDC_UPLOAD_TEXT, role.text);
    CenterWindow(dialog);
    HWND bar = GetDlgItem(dialog, IDC_UPLOAD_PROGRESS);
    SendMessageA(bar, PBM_SETPOS, 0, 0);
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    if (!side.cancelEvent.Put()) {
        MessageBoxA(dialog, "Failed to create event object.", side.*role.eventCaption, MB_ICONHAND);
        EndDialog(dialog, 2);
        return TRUE;
    }
    PostMessageA(dialog, WM_COMMAND, CMD_WORK_START, 0);
    return TRUE;
}

void OnFetchStart(HWND dialog, DesignListSide &side, const FetchDialogRole &role)
{
    if (side.fetchWorker)
        return;  // one worker per dialog
    HANDLE thread = CreateThread(NULL, 0, side.*role.thread, dialog, 0, NULL);
    if (!thread) {
        // No worker will report or close the event: the dialog closes it and ends as a
        // failed fetch. The link library was not reached, so there is nothing to explain.
        side.cancelEvent.Discard();
        EndDialog(dialog, 2);
        return;
    }
    // Kept (not closed at once) so that RunFetchDialog can wait for the thread's end.
    side.fetchWorker = thread;
}

// The side a progress dialog 105 works for.
DesignListSide &FetchDialogSide(HWND dialog)
{
    return *reinterpret_cast<DesignListSide *>(GetWindowLongPtrA(dialog, DWLP_USER));
}

INT_PTR CALLBACK DirectoryUploadDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return FetchDialogMessage(dialog, message, wParam, lParam, DIRECTORY_UPLOAD_ROLE);
}

}  // namespace

INT_PTR RunFetchDialog(DesignListSide &side, HWND owner, DLGPROC procedure)
{
    side.fetchWorker = NULL;
    INT_PTR result = OpenModuleDialog(IDD_DIRECTORY_UPLOAD, owner, procedure, (LPARAM)&side);
    WaitAndCloseThread(&side.fetchWorker);
    return result;
}

INT_PTR FetchDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam,
                           const FetchDialogRole &role)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        return OnFetchInit(dialog, *reinterpret_cast<DesignListSide *>(lParam), role);
    }
    if (!GetWindowLongPtrA(dialog, DWLP_USER))
        return FALSE;  // messages before WM_INITDIALOG
    DesignListSide &side = FetchDialogSide(dialog);
    switch (message) {
    case WM_PAINT:
        return PaintNothing(dialog);
    case WM_CLOSE:
        // The dialog ends when the worker reports, not here.
        side.cancelEvent.Set();
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case CMD_WORK_START:
            OnFetchStart(dialog, side, role);
            break;
        case CMD_WORK_DONE:
            EndDialog(dialog, 1);
            break;
        case CMD_WORK_FAILED:
            EndDialog(dialog, 2);
            break;
        }
        return TRUE;  // every other command, IDCANCEL from Esc included, is ignored
    }
    return FALSE;
}

BOOL RunDirectoryUploadDlg(DesignListSide &side, HWND owner)
{
    INT_PTR result = RunFetchDialog(side, owner, DirectoryUploadDlgProc);
    if (result == -1 || result == 0) {
        MessageBoxA(owner, "Failed to create Window.", side.listCaption, MB_ICONHAND | MB_TOPMOST);
        return FALSE;
    }
    side.lastPreviewedItem = -1;
    return TRUE;
}

DWORD DirectoryUploadThread(DesignListSide &side, HWND dialog)
{
    HANDLE cancel = side.cancelEvent.Take();
    ResetEvent(cancel);
    side.progressTarget = dialog;
    if (IsWindow(dialog)) {
        BOOL written = ChooseLinkRoad(dialog, cancel, [&](auto road) {
            ResetEvent(cancel);
            char path[MAX_PATH];
            CopyTempFilePath(DIRECTORY_FILE, path);
            int location = side.locationCode;
            VembProgressCallback progress = side.transferProgress;
            return RunOnRoad(road, dialog, DIRECTORY_UPLOAD_CAPTION, cancel, [&](auto link, DWORD *detail) {
                       return link.DirUpload(path, location, detail, progress);
                   }) == 0;
        });
        side.cancelEvent.Close(cancel);
        if (IsWindow(dialog))
            PostMessageA(dialog, WM_COMMAND, written ? CMD_WORK_DONE : CMD_WORK_FAILED, 0);
    } else {
        side.cancelEvent.Close(cancel);
    }
    return 1;
}

int TransferProgressCallback(DesignListSide &side, DWORD done, DWORD total)
{
    SendDlgItemMessageA(side.progressTarget, IDC_UPLOAD_PROGRESS, PBM_SETPOS, ProgressPercent(done, total),
                        0);
    return 1;
}
