#pragma once
// Progress dialog 105 as the directory upload and the preview fetch both run it: no
// buttons, the worker started from CMD_WORK_START, the dialog ended by the worker's
// CMD_WORK_DONE (1) or CMD_WORK_FAILED (2), the close box only setting the cancel event.
#include "machinelist/design_list.h"

// What the two fetches run differently in it.
struct FetchDialogRole {
    const char *caption;                           // replaces the template's, or null
    const char *text;                              // replaces control 1017's, or null
    const char *const DesignListSide::*eventCaption;        // "Failed to create event object." caption
    const LPTHREAD_START_ROUTINE DesignListSide::*thread;   // the side's worker procedure
};

// Opens dialog 105 over `owner` with `procedure` for the side. Once the dialog has
// returned, waits for its worker: the worker posts its result before its last steps, and
// the next fetch (or the end of the export) must not overtake it. Returns the dialog's
// result, -1 when it cannot be created.
INT_PTR RunFetchDialog(DesignListSide &side, HWND owner, DLGPROC procedure);

// The message handling of dialog 105 for one role; the side comes from the dialog.
INT_PTR FetchDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam,
                           const FetchDialogRole &role);

