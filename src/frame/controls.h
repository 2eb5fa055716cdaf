#pragma once
// List-view columns and tooltips, shared by the picker and the machine-list dialogs.
#include <windows.h>
#include <commctrl.h>

struct ListColumn {
    int width;          // pixels
    const char *title;
};

// One tooltip per control: its id and text. A table ends with the id -1.
struct ToolTipEntry {
    int controlId;
    const char *text;
};

// Inserts one left-aligned column per table entry into list view `controlId` of the
// dialog, the entry's position being its sub-item; returns the list view's window.
HWND InsertListColumns(HWND dialog, int controlId, const ListColumn *columns, int count);

// The text of one item (row) of a list view in one column (sub-item), cut to `size` bytes.
void GetListItemText(HWND listView, int item, int column, char *text, int size);

// Whether the check box or radio button `id` of `dialog` is checked.
bool IsChecked(HWND dialog, int id);
// The same for a button already found.
bool IsChecked(HWND button);

// The transfer clip in a progress dialog's animation control; a null control is passed
// over. Opens clip `clipId` of the module's resources.
void OpenClip(HWND animation, int clipId);
// Plays the open clip over and over.
void PlayClip(HWND animation);
// Stops the clip and closes it; the control is forgotten (`*animation` becomes null).
void StopClip(HWND *animation);

// Creates the dialog's tooltip window and one tool per table entry (the control's
// window as tool, text asked for on demand); returns the tooltip window.
HWND CreateToolTips(HWND dialog, const ToolTipEntry *table);

// Answers a TTN_NEEDTEXTA notification with the text of the entry whose control is the
// notification's tool. Returns TRUE when an entry matched.
BOOL SetToolTipText(HWND dialog, NMTTDISPINFOA *info, const ToolTipEntry *table);

// Keeps a window from redrawing while it lives, then redraws it whole: a list view that
// takes many rows at once repaints once instead of once per row (under Wine a row costs
// milliseconds otherwise).
class RedrawPause {
public:
    explicit RedrawPause(HWND window) : window_(window) { SendMessageA(window_, WM_SETREDRAW, FALSE, 0); }
    ~RedrawPause()
    {
        SendMessageA(window_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(window_, NULL, TRUE);
    }
    RedrawPause(const RedrawPause &) = delete;
    RedrawPause &operator=(const RedrawPause &) = delete;

private:
    HWND window_;
};
