#pragma once
// Helpers the Wine test programs share: design files and send lists, list views, leak
// counts, the clip marker, the messages
// the user saw, failures provoked from outside the module, and the machine design list of
// Receive Designs and Delete Designs driven as a user drives it.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdint.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "ui_driver.h"
#include "vemb_fixture.h"

namespace vt {

// A small design: a header naming `stitches` (whatever the stitch data holds), one colour
// and a zigzag of 24 stitches that `seed` makes unique and the preview shows.
std::vector<char> DesignBytes(int32_t stitches, int seed, uint32_t hoop = 0);
// Writes such a design (a fresh seed each time) to `path` and returns the path.
std::string WriteDesign(const std::string &path, int32_t stitches = 1000, uint32_t hoop = 0);
// Writes a send list as a host does, one zero-padded 260-byte record per path; returns `path`.
std::string WriteSendList(const std::string &path, const Names &paths);

// The texts of a list view's items in one column.
Names ListItemTexts(HWND list, int column = 0);
// Waits until the thread of a list view has handled every message posted to that thread
// before (clicks, keys): posts a change of the list's text colour behind them and waits to
// see it. A message that opens a modal loop (a message box) lets it through from there.
void PassPosted(Ui &u, HWND listView);
// Waits until the window's thread has handled everything that was queued before.
void Settle(HWND window);

// What a process holds, for leak checks: open handles (counted one by one, since
// GetProcessHandleCount answers 0 under Wine), threads, heaps.
int HandleCount();
int ThreadCount();
inline DWORD HeapCount() { return GetProcessHeaps(0, NULL); }
// Counts the GDI objects and DCs VembDlg.dll makes and gives back, at its imports (Wine answers 0
// to GetGuiResources). Once per load of the DLL.
void TrackModuleGdi();
// What the process holds now, as text: threads, handles, windows, the module's GDI objects and
// DCs, heaps. Equal texts before and after an export: it left nothing behind.
std::string Holdings();

// Watches the marker of a playing transfer clip (the PC drawn on the left, the machine on
// the right): true once two calls in a row see it step the way the clip should carry it.
class MarkerWatch {
public:
    explicit MarkerWatch(bool towardsMachine) : towardsMachine_(towardsMachine) {}
    bool Stepped(HWND animation);

private:
    bool towardsMachine_;
    double last_ = -1;
};

// Pixels the screen shows inside a dialog's preview box (1003) that are neither the drawing
// area's white nor the light grey of a cleared box: the stitches drawn.
int StitchPixels(HWND dialog);

// ---- what the user saw ----

struct Shown {
    std::string caption, text;
    UINT style;
    bool operator==(const Shown &o) const { return caption == o.caption && text == o.text && style == o.style; }
};
std::ostream &operator<<(std::ostream &os, const Shown &s);
// The module's own message boxes since the last clear, in order, with the style it asked for.
std::vector<Shown> ModuleMessages();
// Messages more than one dialog shows: a location that is full, a list cut at the room left, and
// the Open/Save folder's name limit (one name refused, long names dropped from a list).
extern const Shown LOCATION_FULL, LIST_CUT, LONG_NAMES_DROPPED;
Shown LongNameRefused(const std::string &name);
// Answers (OK) the message boxes open now; answers every one that comes until `window` goes.
void AnswerOpenBoxes(Ui &u);
void AnswerUntilGone(Ui &u, HWND window);

// ---- failures from outside the module ----

// A call of the module that fails on demand: lets `pass` calls through, then fails the next
// `fail` ones. Armed from the test's thread, taken on whichever thread calls.
struct CallFault {
    LONG pass = 0, fail = 0, failed = 0;
    void Arm(LONG passFirst, LONG failCount = 1) { pass = passFirst, fail = failCount, failed = 0; }
    bool Take();
};
// HeapCreate, HeapAlloc, GlobalAlloc, GlobalLock, CreateEventA, CreateThread and calloc fail
// with no result; ReadFile, WriteFile and GetFileSize fail only on the file named
// WatchFile; the link libraries' SIO_InitializeIO answers 2 and USB_Initialize 1.
extern CallFault g_heapCreate, g_heapAlloc, g_globalAlloc, g_globalLock, g_event, g_thread, g_calloc, g_fileRead,
    g_fileWrite, g_fileSize, g_serialOpen, g_usbOpen;
// Names the file whose reads, writes and size fail (the last one opened under that name).
void WatchFile(const std::string &name);
// Points VembDlg.dll's imports at the faulty calls (each calls on to the real one while not
// armed) and disarms them all. The module is loaded afresh for every test.
void PatchFaults();

// Refuses, on the thread that makes it, the windows of dialogs with one caption (as their
// template names it; any dialog when empty), after letting `pass` of them through:
// DialogBoxParam then fails as when a template cannot be had. Refused() counts them (a
// dialog that must not open at all).
class DialogRefusal {
public:
    explicit DialogRefusal(const std::string &caption, int pass = 0);
    ~DialogRefusal() { UnhookWindowsHookEx(hook_); }
    static int Refused();
    DialogRefusal(const DialogRefusal &) = delete;
    DialogRefusal &operator=(const DialogRefusal &) = delete;

private:
    HHOOK hook_;
};

// ---- the pointer and tooltips ----

// Puts the pointer on a screen point as a user's move does (the system then sends WM_MOUSEMOVE to
// the window under it); `window` belongs to the thread that takes the pointer's events.
void PointAt(HWND window, POINT screen);
// The tooltip window (top-level, of this process) that holds a tool for `control`, or NULL.
HWND ToolTipOf(HWND control);
// Moves the pointer onto the caption of the control's top-level window until `tips` hides, then rests
// it on the middle of `control` (the tips' delays shortened); returns the text `tips` shows within
// `limitMs`, or "" when it shows none.
std::string HoverTip(Ui &u, HWND tips, HWND control, DWORD limitMs);

// ---- the machine design list of Receive Designs and Delete Designs ----

enum class Side { Receive, Delete };
// "Receive Designs - COM Port", "Delete Designs - USB Connected", ...
std::string ListTitle(Side side, bool usb = false);
// Opens the side's dialog (UploadData or DeleteData); once the first directory upload is
// shown in the list (every message on the way answered) runs `script`; then cancels the
// dialog if it is still open. The export returns 1 whatever happened.
void RunList(HWND owner, Side side, const std::function<void(Ui &, HWND)> &script, bool usb = false);

HWND DesignList(HWND dialog);
Names ItemNames(HWND dialog);
LPARAM ItemData(HWND dialog, int index);
std::vector<int> TickedItems(HWND dialog);
int SelectedItem(HWND dialog);
// Waits until the dialog's thread has handled every message posted to it before.
inline void Barrier(Ui &u, HWND dialog)
{
    PassPosted(u, DesignList(dialog));
    Settle(dialog);
}
// Clicks as a user does, with the mouse (the cursor goes there first, since the list's owner
// asks where it is): on an item's check box, on its name, or anywhere in the list.
void ClickListAt(HWND dialog, POINT client);
void ClickCheckBox(HWND dialog, int index);
void ClickItem(HWND dialog, int index);
// Ticks the items one click at a time.
void Tick(Ui &u, HWND dialog, std::initializer_list<int> items);
// Presses an arrow key in the list, which has the focus after a click.
void PressKey(HWND dialog, WORD key);
// The directory uploads and the uploads (previews, receives) the simulator has answered.
std::vector<SimCall> DirectoryUploads();
std::vector<SimCall> Uploads();
// Waits until the `count`th directory upload, or preview fetch, has come back and the dialog
// has dealt with it.
void WaitListLoaded(Ui &u, HWND dialog, size_t count);
void WaitPreviewDone(Ui &u, HWND dialog, size_t count);

}  // namespace vt
