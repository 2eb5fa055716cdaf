#pragma once
// Deleting designs: the Delete Designs dialog (108) over the machine design list of the
// delete side, the delete list of the ticked designs, and the wait dialog (109) whose
// worker deletes them one by one.
#include <windows.h>

#include <atomic>

#include "link/design_entry.h"

// ---- module state of the delete side ----
extern HGLOBAL g_deleteListBlock;  // movable block of the delete list, or null
extern DesignEntry *g_deleteList;  // its locked address
extern UINT g_deleteCount;         // entries in the delete list: the selected count
// Raised by the wait dialog's close box on the host's thread, read by the worker before
// each design.
extern std::atomic<int> g_deleteCancelFlag;

// ---- the Delete Designs dialog ----
INT_PTR CALLBACK DeleteDesignsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Builds the delete list from the ticked designs, highest design number first: 1 when
// built, 0 when nothing is listed or ticked or memory cannot be had (after a message).
int BuildDeleteList(HWND dialog);
void FreeDeleteList();

// ---- the wait dialog and its worker ----
INT_PTR CALLBACK DeleteWaitDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
DWORD WINAPI DeleteThread(LPVOID dialog);
// Delete the entries of the delete list one by one over the link: 1 when every entry was
// handled or the user stopped, 0 on a link failure (after the library's message).
int SerialDelete(HWND dialog);
int UsbDelete(HWND dialog);
// Asks the user whether the busy machine should be tried again: 1 retry, 0 give up.
int __stdcall MachineBusyCallback();
