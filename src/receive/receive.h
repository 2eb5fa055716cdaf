#pragma once
// Receiving designs: the Receive Designs dialog (103) over the machine design list of the
// receive side builds the receive list of the ticked designs; the receive step fetches
// them into the receive folder under progress dialog 106.
#include <windows.h>

#include "link/design_entry.h"

// ---- module state of the receive side ----
extern char g_receiveFolder[VEMB_NAME_FIELD];  // shown in edit 1021, used by the receive step
extern DesignEntry *g_receiveList;             // the receive list's locked address
extern UINT g_receiveCount;                    // entries in the receive list

// ---- the receive step ----
// Builds the receive list from the ticked designs: 1 when built, 0 when the list is empty,
// nothing is ticked, memory cannot be had or a path does not fit (after a message).
int BuildReceiveList(HWND dialog);
// Frees the receive list, if one was built.
void FreeReceiveList();
// Runs dialog 106 over `owner`: 1 when the worker ran, 2 when the user closed the dialog
// without starting or it cannot be created.
INT_PTR ReceiveSelectedDesigns(HWND owner, DesignEntry *list, UINT count);
