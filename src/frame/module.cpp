#include "frame/module.h"

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include "frame/controls.h"

HINSTANCE g_moduleInstance;
std::atomic<UINT> g_transferStatus;
HANDLE g_workerHandle;

// Result buffer of TempFilePath, overwritten by every call.
static char g_tempPath[MAX_PATH];

const char *TempFilePath(const char *name)
{
    char exe[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, exe, MAX_PATH);
    g_tempPath[0] = '\0';
    if (n == 0 || n >= MAX_PATH)
        return g_tempPath;
    // Reduce to drive and directory: cut where the file name starts.
    exe[PathFileName(exe) - exe] = '\0';
    if (strlen(exe) + strlen(name) >= MAX_PATH)
        return g_tempPath;
    strcpy(g_tempPath, exe);
    strcat(g_tempPath, name);
    return g_tempPath;
}

void CopyTempFilePath(const char *name, char path[MAX_PATH])
{
    lstrcpynA(path, TempFilePath(name), MAX_PATH);
}

static void CenteredPosition(HWND window, int *x, int *y, int *width, int *height)
{
    RECT r;
    GetWindowRect(window, &r);
    *width = r.right - r.left;
    *height = r.bottom - r.top;
    // Integer division truncates toward zero, also for a window larger than the screen.
    *x = (GetSystemMetrics(SM_CXSCREEN) - *width) / 2;
    *y = (GetSystemMetrics(SM_CYSCREEN) - *height) / 2;
}

void CenterWindow(HWND window)
{
    int x, y, w, h;
    CenteredPosition(window, &x, &y, &w, &h);
    MoveWindow(window, x, y, w, h, FALSE);
}

void CenterParentWindow(HWND window)
{
    int x, y, w, h;
    CenteredPosition(window, &x, &y, &w, &h);
    MoveWindow(GetParent(window), x, y, w, h, FALSE);
}

void CenterControl(HWND dialog, int controlId)
{
    HWND control = GetDlgItem(dialog, controlId);
    RECT controlRect, dialogRect, client;
    GetWindowRect(control, &controlRect);
    GetWindowRect(dialog, &dialogRect);
    GetClientRect(dialog, &client);
    int w = controlRect.right - controlRect.left;
    int h = controlRect.bottom - controlRect.top;
    int x = (client.right - w) / 2;
    int y = controlRect.top - dialogRect.bottom + client.bottom;
    MoveWindow(control, x, y, w, h, TRUE);
}

const char *PathFileName(const char *path)
{
    const char *name = path;
    for (const char *p = path; *p; p = CharNextA(p))
        if (*p == '\\' || *p == '/' || *p == ':')
            name = p + 1;
    return name;
}

BOOL CheckOpenSaveName(HWND owner, const char *name, const char *path)
{
    const char *tested = (name && *name) ? name : PathFileName(path ? path : "");
    if (strlen(tested) <= OPEN_SAVE_NAME_MAX)
        return TRUE;
    static const char format[] =
        "The Open/Save Folder does not support the long file names such as \"%s\".\n"
        "Please shorten the file name to %d characters or less.";
    char text[sizeof format + MAX_PATH + 16];
    // The tested text is at most one path long; longer input is cut, never overrun.
    snprintf(text, sizeof text, format, tested, OPEN_SAVE_NAME_SHOWN);
    MessageBoxA(owner, text, "File Name Error", MB_ICONHAND);
    return FALSE;
}

void DropLongNames(HWND owner, HWND listView)
{
    bool dropped = false;
    for (int item = (int)SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0) - 1; item >= 0; --item) {
        char text[MAX_PATH];
        GetListItemText(listView, item, 0, text, MAX_PATH);
        if (strlen(PathFileName(text)) > OPEN_SAVE_NAME_MAX) {
            SendMessageA(listView, LVM_DELETEITEM, item, 0);
            dropped = true;
        }
    }
    if (dropped)
        ShowLongNamesSkipped(owner);
}

void ShowLongNamesSkipped(HWND owner)
{
    MessageBoxA(owner,
                "The Open/Save Folder does not support the long file names of more than 32 "
                "characters.Some files failed to transfer.",
                "File Name Error", MB_ICONEXCLAMATION);
}
