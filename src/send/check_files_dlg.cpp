#include "send/check_files_dlg.h"

#include <string.h>

#include "frame/handles.h"
#include "frame/module.h"
#include "frame/transfer_frame.h"
#include "link/link_run.h"
#include "machinelist/directory_info.h"
#include "resource.h"
#include "send/send_state.h"

namespace {

// The Check Files worker. Its dialog ends as soon as the worker has posted its report, so
// CountStoredDesigns waits for the thread itself before it reads the file: the worker is
// then wholly gone before the send worker may start, and before the export returns.
HANDLE g_checkFilesThread;

int ReadStoredCount(const char *path)
{
    OwnedHandle file(
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file) {
        DeleteFileA(path);
        return -1;
    }
    DWORD size = GetFileSize(file.Get(), NULL);
    unsigned char head[DIRECTORY_HEADER_SIZE];
    DWORD got = 0;
    unsigned count = 0;
    bool ok = size != 0 && size != INVALID_FILE_SIZE && ReadFile(file.Get(), head, sizeof head, &got, NULL) &&
              ReadDirectoryCount(head, got, &count);
    file.Close();  // before the delete, which an open file would refuse
    DeleteFileA(path);
    return ok ? (int)count : 0;
}

DWORD WINAPI CheckFilesThread(LPVOID param)
{
    HWND dialog = (HWND)param;
    g_sendCancel.Reset();
    if (!IsWindow(dialog))
        return 1;
    int result = ChooseLinkRoad(dialog, g_sendCancel.Current(), [&](auto road) {
        g_sendCancel.Reset();
        char path[MAX_PATH];
        CopyTempFilePath(DIRECTORY_FILE, path);
        return RunOnRoad(road, dialog, DIRECTORY_UPLOAD_CAPTION, g_sendCancel.Current(), [&path](auto link, DWORD *detail) {
                   return link.DirUpload(path, g_sendLocation, detail, NULL);
               }) == 0;
    });
    if (IsWindow(dialog))
        PostMessageA(dialog, WM_COMMAND, result ? CMD_WORK_DONE : CMD_WORK_FAILED, 0);
    return 1;
}

BOOL OnInitDialog(HWND dialog)
{
    CenterWindow(dialog);
    if (!g_sendCancel.Put()) {
        MessageBoxA(dialog, "Failed to create event object.", "Directory Information Upload", MB_ICONHAND);
        EndDialog(dialog, 2);
        return TRUE;
    }
    PostMessageA(dialog, WM_COMMAND, CMD_WORK_START, 0);
    return TRUE;
}

void OnWorkStart(HWND dialog)
{
    WaitAndCloseThread(&g_checkFilesThread);  // none is left over; this only keeps the handle single
    g_checkFilesThread = CreateThread(NULL, 0, CheckFilesThread, dialog, 0, NULL);
    // Without a worker nothing would ever end the dialog; the send then ends as after a
    // failed upload (no directory information).
    if (!g_checkFilesThread)
        EndDialog(dialog, 2);
}

INT_PTR CALLBACK CheckFilesDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case CMD_WORK_START:
            OnWorkStart(dialog);
            return TRUE;
        case CMD_WORK_DONE:
            EndDialog(dialog, 1);
            return TRUE;
        case CMD_WORK_FAILED:
            EndDialog(dialog, 2);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        // The dialog stays until the worker reports: the link library gives up when it
        // sees the event.
        g_sendCancel.Set();
        return TRUE;
    case WM_PAINT:
        return PaintNothing(dialog);
    }
    return FALSE;
}

}  // namespace

int CountStoredDesigns(HWND dialog)
{
    INT_PTR result = OpenModuleDialog(IDD_CHECK_FILES, dialog, CheckFilesDlgProc);
    WaitAndCloseThread(&g_checkFilesThread);
    if (result != 1 && result != 2) {
        MessageBoxA(dialog, "Failed to create Window.", "Error", MB_TOPMOST | MB_ICONHAND);
        return 0;
    }
    char path[MAX_PATH];
    CopyTempFilePath(DIRECTORY_FILE, path);
    return ReadStoredCount(path);
}

