#pragma once
// Drives dialogs as a user would, from another thread of the same process: waits for a
// dialog by caption, reads controls, clicks, answers message boxes. Every wait has a
// timeout and throws UiTimeout when it passes. Used by the Wine tests (with a test
// runner around it) and by the demo host's scripted tour.
#include <windows.h>

#include <stdint.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace uidrive {

enum : DWORD { DEFAULT_TIMEOUT_MS = 30000 };

// A message box as the user sees it. `style` is rebuilt from what is on screen: the
// icon (MB_ICONHAND, MB_ICONEXCLAMATION, MB_ICONINFORMATION, MB_ICONQUESTION), the
// button set (MB_OK, MB_OKCANCEL, MB_YESNO, MB_RETRYCANCEL, ...) and MB_TOPMOST.
struct MessageBoxInfo {
    HWND hwnd = NULL;
    HWND owner = NULL;
    std::string caption;
    std::string text;
    UINT style = 0;
};

// Thrown by a wait that timed out; UiScript turns it into a test failure.
struct UiTimeout {
    std::string what;
};

class Ui {
public:
    // A visible top-level dialog (class #32770) of this process with exactly this caption.
    HWND WaitDialog(const std::string &caption, DWORD timeoutMs = DEFAULT_TIMEOUT_MS);
    // The same, for a caption that starts with `prefix`.
    HWND WaitDialogPrefix(const std::string &prefix, DWORD timeoutMs = DEFAULT_TIMEOUT_MS);
    // The next message box with this caption (any caption when empty) that this script has
    // not answered yet.
    MessageBoxInfo WaitMessageBox(const std::string &caption = "", DWORD timeoutMs = DEFAULT_TIMEOUT_MS);
    // Presses a button of the message box (IDOK, IDYES, IDNO, IDRETRY, IDCANCEL) and waits
    // until the box has gone.
    void Answer(const MessageBoxInfo &box, int buttonId, DWORD timeoutMs = DEFAULT_TIMEOUT_MS);
    // Waits until the window no longer exists.
    void WaitGone(HWND window, DWORD timeoutMs = DEFAULT_TIMEOUT_MS);
    // Waits until `condition` holds, polling; `what` names it in the failure.
    void WaitUntil(const std::function<bool()> &condition, const std::string &what,
                   DWORD timeoutMs = DEFAULT_TIMEOUT_MS);
    // Pauses the script, letting the dialogs run.
    void Sleep(DWORD ms);

    // Clicks a button, radio button or check box (posts BM_CLICK, as a mouse click does).
    void Click(HWND dialog, int controlId);
    // Posts WM_CLOSE, as the close box does.
    void Close(HWND window);
    // Types text into an edit control (WM_SETTEXT).
    void SetText(HWND dialog, int controlId, const std::string &text);

private:
    std::set<HWND> answered_;  // boxes this driver has answered and is waiting to close
};

// After a failed script: ends whatever is open so that the modal loop returns. Message
// boxes are cancelled (or answered), dialogs get WM_CLOSE.
void Rescue();
// True for a dialog that shows only a text, an icon and standard buttons.
bool LooksLikeMessageBox(HWND window);

// Reading controls: usable from the script and from the main thread.
std::string WindowText(HWND window);
std::string ControlText(HWND dialog, int controlId);
bool IsChecked(HWND dialog, int controlId);
bool IsControlEnabled(HWND dialog, int controlId);
bool IsControlVisible(HWND dialog, int controlId);
// Visible top-level windows of this process, one line each with class, caption and the
// texts of their controls: for failure messages.
std::string DescribeWindows();
// Reads what a message box shows.
MessageBoxInfo ReadMessageBox(HWND box);
// The visible top-level windows of this process.
std::vector<HWND> TopLevelWindows();

}  // namespace uidrive

namespace uidrive {

std::string ClassOf(HWND window);
// The folder of the running program, with its trailing backslash.
std::string ExeDir();
// Every window below `parent`, at any depth.
std::vector<HWND> Descendants(HWND parent);
// Selects (LVIS_SELECTED and focused) the items of a list view whose first column has one
// of these texts, as clicks with Ctrl would; returns how many it selected.
int SelectListItemsByText(HWND listView, const std::vector<std::string> &texts);
// Ticks an item's check box (state image 2) the way the list does for a click on it.
void TickListItem(HWND listView, int item);
// The design picker: the common dialog "Select Designs" with the module's child dialog
// (the one holding the chosen-designs list 1001) and the shell's file list.
struct PickerWindows {
    HWND common = NULL, child = NULL, files = NULL;
};
PickerWindows FindPickerWindows(HWND common);

// What the screen shows of a window (frame included), 3 bytes (red, green, blue) per
// pixel, top row first.
bool CaptureWindow(HWND window, std::vector<uint8_t> *rgb, int *width, int *height);
// The same into a PNG file.
bool SaveWindowPng(HWND window, const std::string &path);
// How many dark (text-coloured) pixels the screen shows inside a control: 0 for a control
// that has not painted its text.
int DarkPixelsOf(HWND control);

}  // namespace uidrive
