#pragma once
// Module-wide state shared by the exports, and the small services many dialogs use:
// temporary file paths, window and control centring, the Open/Save folder name limit.
#include <windows.h>

#include <atomic>

// Set by the entry point; every dialog template and animation is loaded from it.
extern HINSTANCE g_moduleInstance;
// 1 while a send, receive or delete transfer is running (read by GetTransferStatus).
extern std::atomic<UINT> g_transferStatus;
// The worker thread started by the dialog that is open now; the export waits for it.
extern HANDLE g_workerHandle;

// Private commands a dialog posts to itself (or a worker posts to it) as WM_COMMAND.
enum {
    CMD_PREVIEW_SELECTED = 49980,
    CMD_LIST_LOAD = 49996,
    CMD_WORK_FAILED = 49997,
    CMD_WORK_DONE = 49998,
    CMD_WORK_START = 49999,
};

// A design name bound for the machine's Open/Save folder may have at most 36
// characters with its extension; the messages state the limit as 32.
enum { OPEN_SAVE_NAME_MAX = 36, OPEN_SAVE_NAME_SHOWN = 32 };

// Full path of `name` in the folder of the host process's executable. The result lives
// in one module-wide buffer that the next call overwrites: use it at once. A path that
// would not fit in 260 characters gives an empty string.
const char *TempFilePath(const char *name);
// TempFilePath of `name` copied at once into `path` (260 characters and the terminator).
void CopyTempFilePath(const char *name, char path[MAX_PATH]);

// Centres the window on the screen, keeping its size, without repainting.
void CenterWindow(HWND window);
// Computes the centred position from `window`'s own size and moves its parent there,
// giving the parent that size.
void CenterParentWindow(HWND window);
// Centres a control horizontally in the dialog's client area and moves it down by the
// height the dialog lost below it (used once the buttons above it are hidden).
void CenterControl(HWND dialog, int controlId);

// File name and extension of a path (the text after its last backslash, slash or colon).
const char *PathFileName(const char *path);

// TRUE when `name` (or, when `name` is null or empty, the file name of `path`) fits the
// Open/Save folder; otherwise shows the "such as" message over `owner` and returns FALSE.
BOOL CheckOpenSaveName(HWND owner, const char *name, const char *path);
// Deletes every list-view item whose file name is too long for the Open/Save folder,
// last to first, and tells the user once when it deleted any.
void DropLongNames(HWND owner, HWND listView);
void ShowLongNamesSkipped(HWND owner);
