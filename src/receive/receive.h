#pragma once
// Receiving designs: the Receive Designs dialog (103) over the machine design list of the
// receive side, and the receive step that fetches the ticked designs into the receive
// folder under progress dialog 106.
#include <windows.h>

#include "frame/sync.h"
#include "link/design_entry.h"

// WM_RECEIVE_FINISHED: posted by the receive worker to dialog 106 when it ends; lParam
// carries the worker's result.
enum { WM_RECEIVE_FINISHED = WM_USER + 50 };

// ---- module state of the receive side ----
extern char g_receiveFolder[VEMB_NAME_FIELD];  // shown in edit 1021, used by the receive step
extern HGLOBAL g_receiveListBlock;             // movable block of the receive list, or null
extern DesignEntry *g_receiveList;             // its locked address
extern UINT g_receiveCount;                    // entries in the receive list
extern HWND g_receiveProgressWindow;           // dialog 106 while it runs
extern HWND g_receiveAnimation;                // its animation control while it may play
extern CancelEventSlot g_receiveCancel;        // created by Start, closed by the worker

// ---- the Receive Designs dialog ----
INT_PTR CALLBACK ReceiveDesignsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
void BrowseReceiveFolder(HWND dialog);
int CALLBACK BrowseFolderCallback(HWND window, UINT message, LPARAM parameter, LPARAM data);

// ---- the receive step ----
// Builds the receive list from the ticked designs: 1 when built, 0 when the list is empty,
// nothing is ticked, memory cannot be had or a path does not fit (after a message).
int BuildReceiveList(HWND dialog);
// Frees the receive list, if one was built.
void FreeReceiveList();
// Runs dialog 106 over `owner`: 1 when the worker ran, 2 when the user closed the dialog
// without starting or it cannot be created.
INT_PTR ReceiveSelectedDesigns(HWND owner, DesignEntry *list, UINT count);
INT_PTR CALLBACK ReceiveProgressDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int StartReceiveWorker(HWND dialog);
DWORD WINAPI ReceiveThread(LPVOID dialog);
int SerialReceive(HWND dialog, HANDLE cancel);
int UsbReceive(HWND dialog, HANDLE cancel);
int __stdcall ReceiveProgressCallback(DWORD index, DWORD count, DWORD done, DWORD total);
