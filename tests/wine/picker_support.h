#pragma once
// Driving the design picker as a user would: the common file-open dialog of the system
// with the module's child dialog (template 101) inside. The file name box, the file list
// and the buttons are the common dialog's own; everything is found by class and id.
//
// Under Wine the common dialog's file name box is the edit edt1 (1152) for an open-file
// structure of 76 bytes with a hook (else the combo box cmb13 holds an edit); the file
// list is a SysListView32 with id 1 inside a "SHELLDLL_DefView" window (1121). Selecting
// files in that list writes their names into the file name box (quoted when several) and
// then notifies CDN_SELCHANGE, all within the selecting message.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "designgen/design_writer.h"
#include "picker_res.h"
#include "resource.h"
#include "vemb_fixture.h"

namespace pt {

using vt::Ui;

const char PICKER_CAPTION[] = "Select Designs";

inline std::string ClassOf(HWND window)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

inline BOOL CALLBACK CollectWindow(HWND w, LPARAM p)
{
    reinterpret_cast<std::vector<HWND> *>(p)->push_back(w);
    return TRUE;
}

inline std::vector<HWND> Descendants(HWND parent)
{
    std::vector<HWND> all;
    EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&all));
    return all;
}

// One opening of the picker as the script sees it.
struct PickerWindows {
    HWND common = NULL;   // the common dialog ("Select Designs")
    HWND child = NULL;    // the module's child dialog (template 101)
    HWND nameBox = NULL;  // the common dialog's file name box
    HWND chosen = NULL;   // the chosen-designs list (1001)
};

// Proves that the host's thread has handled everything posted to it before: a message
// window of that thread counts the markers it receives. A nested modal loop (a message
// box) lets a marker through as well. Create it on the test's main thread.
class MainThreadBarrier {
public:
    MainThreadBarrier()
    {
        window_ = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
        SetWindowLongPtrA(window_, GWLP_USERDATA, (LONG_PTR)this);
        previous_ = (WNDPROC)SetWindowLongPtrA(window_, GWLP_WNDPROC, (LONG_PTR)Proc);
    }
    ~MainThreadBarrier() { DestroyWindow(window_); }
    MainThreadBarrier(const MainThreadBarrier &) = delete;
    MainThreadBarrier &operator=(const MainThreadBarrier &) = delete;

    void Pass(Ui &u)
    {
        LONG marker = InterlockedIncrement(&posted_);
        PostMessageA(window_, WM_APP, (WPARAM)marker, 0);
        u.WaitUntil([&] { return seen_ >= marker; }, "the host's thread to handle what was posted");
    }

private:
    static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp)
    {
        MainThreadBarrier *self = (MainThreadBarrier *)GetWindowLongPtrA(w, GWLP_USERDATA);
        if (m == WM_APP && self) {
            InterlockedExchange(&self->seen_, (LONG)wp);
            return 0;
        }
        return CallWindowProcA(self->previous_, w, m, wp, lp);
    }
    HWND window_ = NULL;
    WNDPROC previous_ = NULL;
    volatile LONG posted_ = 0;
    volatile LONG seen_ = 0;
};

inline PickerWindows FindPicker(HWND common)
{
    PickerWindows p;
    p.common = common;
    for (HWND w : Descendants(common)) {
        std::string cls = ClassOf(w);
        if (cls == "#32770" && GetParent(w) == common && GetDlgItem(w, IDC_PICKER_LIST))
            p.child = w;
    }
    p.nameBox = GetDlgItem(common, edt1);
    if (!p.nameBox) {
        HWND combo = GetDlgItem(common, cmb13);
        p.nameBox = combo ? FindWindowExA(combo, NULL, "Edit", NULL) : NULL;
    }
    if (p.child)
        p.chosen = GetDlgItem(p.child, IDC_PICKER_LIST);
    return p;
}

inline PickerWindows WaitPicker(Ui &u)
{
    HWND common = u.WaitDialog(PICKER_CAPTION);
    PickerWindows p;
    u.WaitUntil([&] {
        p = FindPicker(common);
        return p.child && p.nameBox && IsWindowVisible(p.child);
    }, "the picker's child dialog and file name box");
    return p;
}

inline std::string TextOf(HWND window)
{
    std::vector<char> text(32768);
    SendMessageTimeoutA(window, WM_GETTEXT, text.size(), (LPARAM)text.data(), SMTO_ABORTIFHUNG, 5000, NULL);
    return text.data();
}

// Typing into the file name box.
inline void TypeName(const PickerWindows &p, const std::string &text)
{
    SendMessageTimeoutA(p.nameBox, WM_SETTEXT, 0, (LPARAM)text.c_str(), SMTO_ABORTIFHUNG, 5000, NULL);
}

inline std::string ItemText(HWND list, int item, int column = 0)
{
    char text[1024] = "";
    LVITEMA lv = {};
    lv.iSubItem = column;
    lv.pszText = text;
    lv.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, item, (LPARAM)&lv);
    return text;
}

// The common dialog's file list. The shell view makes a new one for every folder it shows.
inline HWND FileList(const PickerWindows &p)
{
    for (HWND w : Descendants(p.common))
        if (ClassOf(w) == "SysListView32" && GetDlgCtrlID(w) != IDC_PICKER_LIST && IsWindowVisible(w))
            return w;
    return NULL;
}

inline std::vector<std::string> FileListItems(const PickerWindows &p)
{
    HWND files = FileList(p);
    std::vector<std::string> items;
    int n = (int)SendMessageA(files, LVM_GETITEMCOUNT, 0, 0);
    for (int i = 0; i < n; ++i)
        items.push_back(ItemText(files, i));
    return items;
}

inline void SetSelected(HWND list, int item, bool selected)
{
    LVITEMA lv = {};
    lv.stateMask = LVIS_SELECTED | (selected ? LVIS_FOCUSED : 0);
    lv.state = selected ? LVIS_SELECTED | LVIS_FOCUSED : 0;
    SendMessageA(list, LVM_SETITEMSTATE, item, (LPARAM)&lv);
}

// Selects the file list's items with these texts, in this order, all others deselected.
inline void SelectFiles(const PickerWindows &p, const std::vector<std::string> &names)
{
    HWND files = FileList(p);
    SetSelected(files, -1, false);
    std::vector<std::string> items = FileListItems(p);
    for (const std::string &name : names) {
        bool found = false;
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i] == name) {
                SetSelected(files, (int)i, true);
                found = true;
            }
        EXPECT_TRUE(found) << "no file list item \"" << name << "\"";
    }
}

// Adds the file list's item with this text to the selection, as a click with Ctrl does.
inline void AddToSelection(const PickerWindows &p, const std::string &name)
{
    HWND files = FileList(p);
    std::vector<std::string> items = FileListItems(p);
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i] == name)
            return SetSelected(files, (int)i, true);
    ADD_FAILURE() << "no file list item \"" << name << "\"";
}

inline std::string CurrentFolder(const PickerWindows &p)
{
    char folder[MAX_PATH * 2] = "";
    SendMessageA(p.common, CDM_GETFOLDERPATH, sizeof folder, (LPARAM)folder);
    return folder;
}

// Presses a button and waits until the host's thread has handled the press (or shows a
// message box).
inline void Press(Ui &u, MainThreadBarrier &barrier, HWND dialog, int controlId)
{
    u.Click(dialog, controlId);
    barrier.Pass(u);
}

struct Row {
    std::string name, size, date, path;
};

inline std::vector<Row> Rows(const PickerWindows &p)
{
    std::vector<Row> rows;
    int n = (int)SendMessageA(p.chosen, LVM_GETITEMCOUNT, 0, 0);
    for (int i = 0; i < n; ++i)
        rows.push_back({ItemText(p.chosen, i, 0), ItemText(p.chosen, i, 1), ItemText(p.chosen, i, 2),
                        ItemText(p.chosen, i, 3)});
    return rows;
}

inline std::vector<std::string> RowNames(const PickerWindows &p)
{
    std::vector<std::string> names;
    for (const Row &r : Rows(p))
        names.push_back(r.name);
    return names;
}

inline void SelectRows(const PickerWindows &p, const std::vector<int> &rows)
{
    SetSelected(p.chosen, -1, false);
    for (int row : rows)
        SetSelected(p.chosen, row, true);
}

inline std::string Totals(const PickerWindows &p)
{
    return TextOf(GetDlgItem(p.child, IDC_PICKER_TOTALS));
}

// The text the child dialog's tooltip gives for one of its controls (asked like the
// tooltip asks when the mouse rests on the control).
inline std::string ToolTipText(const PickerWindows &p, int controlId)
{
    // The tooltip window is owned by the common dialog (a popup's owner is a top-level
    // window), like the common dialog's own tooltips: the one that knows the tool is ours.
    std::vector<HWND> all;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
    for (HWND w : all) {
        if (ClassOf(w) != TOOLTIPS_CLASSA || GetWindow(w, GW_OWNER) != p.common)
            continue;
        TOOLINFOA tool = {};
        tool.cbSize = TTTOOLINFOA_V2_SIZE;
        tool.hwnd = p.child;
        tool.uId = (UINT_PTR)GetDlgItem(p.child, controlId);
        if (!SendMessageA(w, TTM_GETTOOLINFOA, 0, (LPARAM)&tool))
            continue;
        // The ANSI query gives at most 80 characters under Wine; the wide one all of them.
        TOOLINFOW wide = {};
        wide.cbSize = TTTOOLINFOW_V2_SIZE;
        wide.hwnd = tool.hwnd;
        wide.uId = tool.uId;
        wchar_t text[1024] = L"";
        wide.lpszText = text;
        SendMessageW(w, TTM_GETTEXTW, 1024, (LPARAM)&wide);
        char narrow[2048] = "";
        WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, NULL, NULL);
        return narrow;
    }
    return "(no tool)";
}

// Lets the child dialog paint what is invalid in it now.
inline void Paint(const PickerWindows &p)
{
    UpdateWindow(p.child);
}

// Pixels of the preview box's client area on the screen that are neither the drawing
// area's white nor the light grey around it: the stitches drawn.
inline int StitchPixels(const PickerWindows &p)
{
    RECT box;
    GetWindowRect(GetDlgItem(p.child, IDC_PREVIEW_BOX), &box);
    HDC screen = GetDC(NULL);
    int count = 0;
    // 3 pixels of border and client edge, then the 2 of the etched frame the box draws
    // over its client area when it paints itself.
    for (int y = box.top + 5; y < box.bottom - 5; ++y)
        for (int x = box.left + 5; x < box.right - 5; ++x) {
            COLORREF c = GetPixel(screen, x, y);
            if (c != RGB(255, 255, 255) && c != RGB(192, 192, 192))
                ++count;
        }
    ReleaseDC(NULL, screen);
    return count;
}

// Message boxes of this process that are open now.
inline int OpenMessageBoxes()
{
    int n = 0;
    for (HWND w : vt::TopLevelWindows())
        if (uidrive::LooksLikeMessageBox(w))
            ++n;
    return n;
}

// ---- design files ----

inline void WriteDesign(const std::string &path, int stitches, uint32_t hoop = 0, size_t trailing = 0)
{
    designgen::DesignSpec spec;
    spec.stitchCount = stitches;
    spec.hoopCode = hoop;
    spec.trailingBytes = trailing;
    ASSERT_TRUE(designgen::WriteDesignFile(path, designgen::MakeDesign(spec))) << path;
}

// A design whose design data size (up to and including its end record) is exactly
// `bytes`, followed by `trailing` bytes.
inline void WriteDesignOfSize(const std::string &path, size_t bytes, size_t trailing = 0)
{
    designgen::DesignFile file;
    file.colours = {10};
    designgen::StitchData data;
    size_t stitchBytes = bytes - 116 - 4 - 2;  // header, one colour entry, end record
    for (size_t i = 0; i < stitchBytes / 2; ++i)
        data.Stitch(i % 2 ? 3 : -3, 1);
    data.End();
    file.stitchCount = data.Records();
    file.stitchData = data.Bytes();
    file.trailingBytes = trailing;
    std::vector<char> bytesOut = designgen::AssembleDesign(file);
    ASSERT_EQ(bytesOut.size(), bytes + trailing);
    ASSERT_TRUE(designgen::WriteDesignFile(path, bytesOut)) << path;
}

inline void SetLastWrite(const std::string &path, WORD year, WORD month, WORD day, WORD hour, WORD minute,
                         WORD second)
{
    SYSTEMTIME local = {year, month, 0, day, hour, minute, second, 0};
    FILETIME localTime, utc;
    SystemTimeToFileTime(&local, &localTime);
    LocalFileTimeToFileTime(&localTime, &utc);
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    SetFileTime(file, NULL, NULL, &utc);
    CloseHandle(file);
}

inline std::string RepeatName(char c, size_t length, const std::string &extension = ".vbd")
{
    return std::string(length - extension.size(), c) + extension;
}

}  // namespace pt
