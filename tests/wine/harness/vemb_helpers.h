#pragma once
// Helpers several Wine test programs share: design files and send lists in a test's folder,
// the simulator's calls of one operation, leak counts, registry checks, a key that refuses
// writes, a watch for dialogs that must not open, the template check and the clip marker.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

#include "ui_driver.h"
#include "vemb_fixture.h"

namespace vt {

// The calls of one operation, in order.
std::vector<SimCall> CallsOf(const std::string &op);

// A small design: a header naming `stitches` (whatever the stitch data holds), one colour
// and a zigzag of 24 stitches that `seed` makes unique and the preview shows.
std::vector<char> DesignBytes(int32_t stitches, int seed, uint32_t hoop = 0);
// Writes such a design (a fresh seed each time) to `path` and returns the path.
std::string WriteDesign(const std::string &path, int32_t stitches = 1000, uint32_t hoop = 0);
// Writes a send list as a host does, one zero-padded 260-byte record per path; returns `path`.
std::string WriteSendList(const std::string &path, const std::vector<std::string> &paths);

// The texts of a list view's items in one column.
std::string ListItemText(HWND list, int item, int column = 0);
std::vector<std::string> ListItemTexts(HWND list, int column = 0);

// Waits until the thread of a list view has handled every message posted to that thread
// before (clicks, keys): posts a change of the list's text colour behind them and waits to
// see it. A message that opens a modal loop (a message box) lets it through from there.
void PassPosted(Ui &u, HWND listView);

// What a process holds, for leak checks: open handles (counted one by one, since
// GetProcessHandleCount answers 0 under Wine), threads, heaps.
int HandleCount();
int ThreadCount();
inline DWORD HeapCount() { return GetProcessHeaps(0, NULL); }

// A DWORD value in the Brodera and the Tambora key, NO_VALUE where absent.
const DWORD NO_VALUE = 0xDEADBEEF;
std::pair<DWORD, DWORD> RegDwordBoth(const char *name);
// Whether a value of that name exists in the key, whatever its type.
bool RegValueExists(Key key, const char *name);

// Denies setting values on one of the two keys while it lives, so that the module's open
// with full access, and every read and write through it, fails.
class KeyWriteBlock {
public:
    explicit KeyWriteBlock(Key key);
    ~KeyWriteBlock();
    KeyWriteBlock(const KeyWriteBlock &) = delete;
    KeyWriteBlock &operator=(const KeyWriteBlock &) = delete;

private:
    Key key_;
    bool blocked_ = false;
};

// Counts and closes, while it lives, every dialog with one of the captions: a dialog that
// should not open fails the test instead of hanging it.
class DialogWatch {
public:
    explicit DialogWatch(std::vector<std::string> captions);
    ~DialogWatch() { Stop(); }
    int Stop();  // ends the watch; the number of dialogs seen
    DialogWatch(const DialogWatch &) = delete;
    DialogWatch &operator=(const DialogWatch &) = delete;

private:
    static DWORD WINAPI Run(LPVOID self);
    std::vector<std::string> captions_;
    HANDLE stop_ = NULL, thread_ = NULL;
    volatile LONG seen_ = 0;
};

// One control of a dialog template. Unnamed controls (id -1) are found by their text. The
// place (dialog units) and the style bits are checked only where given.
struct ControlSpec {
    int id;
    const char *cls;  // window class as GetClassName reports it
    const char *text;
    int x = 0, y = 0, w = 0, h = 0;
    DWORD style = 0;     // style bits that must be set
    DWORD typeMask = 0;  // a type field and its value
    DWORD type = 0;
};
// Checks each control's class and text (a combo box's text is its own affair), and its
// place and style where the table gives them.
void ExpectControls(HWND dialog, const std::vector<ControlSpec> &controls);
// The same after checking the dialog's client size in dialog units and its font.
void ExpectLayout(HWND dialog, int width, int height, const std::vector<ControlSpec> &controls);

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

}  // namespace vt
