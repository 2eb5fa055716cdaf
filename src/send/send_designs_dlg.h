#pragma once
// The Send Designs dialog (template 102): the location choice, the checks of a send, the
// Check Files step, the cut to the room left on the machine, and the worker's progress.
#include <windows.h>

// The dialog's result is 1 when it ended through WM_SEND_FINISHED (after success or
// failure), 2 when it was closed before Start.
//
// Opens dialog 102 in list mode over `owner` for the send list file at `listPath` (which
// the module never deletes here). The send location, the version question flag and the
// list-cut flag are as the module state holds them (send/send_state.h).
// For use inside a transfer frame (RunTransferFrame), which waits for the worker; call
// DiscardSendLeftovers after the frame. Returns the dialog's result, -1 when it cannot be
// created.
INT_PTR OpenSendListDialog(HWND owner, const char *listPath);
// The same in direct mode, for the design and name already stored in the send state.
INT_PTR OpenSendDirectDialog(HWND owner);
