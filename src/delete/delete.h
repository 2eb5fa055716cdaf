#pragma once
// Deleting designs: the Delete Designs dialog (108) builds the delete list of the ticked
// designs of the delete side's machine design list, and runs the wait dialog (109) over
// it, whose worker deletes them one by one.
#include <windows.h>

#include "link/design_entry.h"

// The caption of the deletion's messages, also the link caption.
constexpr char DELETE_CAPTION[] = "Delete";

// The delete list, highest design number first: its locked address and its entries (the
// selected count).
extern DesignEntry *g_deleteList;
extern UINT g_deleteCount;

// The wait dialog: its worker deletes the entries of the delete list.
INT_PTR CALLBACK DeleteWaitDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
