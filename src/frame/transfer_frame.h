#pragma once
// The frame every transfer export follows around its dialog.
#include <windows.h>

// Runs `openDialogs(owner)` inside the frame: worker handle cleared and the USB link
// library loaded before, and after it the worker (if any) waited for without time limit
// and closed, the USB link terminated and the library unloaded. `openDialogs` opens the
// operation's dialog (and whatever must run before the worker is waited for) and
// returns the dialog's result, negative when it could not be created. The export sets
// its own module state before calling this. Returns what `openDialogs` returned.
INT_PTR RunTransferFrame(HWND owner, INT_PTR (*openDialogs)(HWND owner));
// What `openDialogs` returns when nothing of the module ran at all (the design picker's
// common dialog failed): the frame then only unloads the USB link library, without
// terminating a link that no dialog has probed.
enum : INT_PTR { FRAME_NOTHING_RAN = -2 };

// Waits without time limit for the thread in `*thread`, if any, closes it and clears the
// slot. Messages sent to this thread meanwhile are served: a thread that is sending to one
// of our windows must not wait for us while we wait for it. Posted messages stay queued
// for the host.
void WaitAndCloseThread(HANDLE *thread);

// Registers the common control classes (list view, progress bar, animation, tooltips)
// once per process; the host may not have done it.
void EnsureCommonControls();

// Opens a modal dialog of the module: template `templateId`, owned by `owner`. The
// dialog's result, or -1 when it could not be created (also for an owner that is no window).
INT_PTR OpenModuleDialog(int templateId, HWND owner, DLGPROC procedure, LPARAM parameter = 0);

// WM_PAINT of a dialog whose controls draw everything: validates by beginning and ending a
// paint (ValidateRect alone would keep the controls from painting under Wine).
BOOL PaintNothing(HWND dialog);
// Cancel (the button, or Esc) takes the road of the close box: posts WM_CLOSE.
BOOL PostClose(HWND dialog);

// What the send and receive progress callbacks show, on the worker's thread: the counter
// "%d  /  %d" (design `index` + 1 of `count`) in control `counterId` and the progress bar
// `barId` at `position`; each callback computes the position by its own formula.
void ShowDesignProgress(HWND dialog, int counterId, int barId, DWORD index, DWORD count, int position);

// The BOOL an export returns for a dialog result: 1 when the dialog ran, 0 when it could
// not be created.
inline BOOL ExportResult(INT_PTR dialogResult)
{
    return dialogResult >= 0 ? 1 : 0;
}
