// The design picker (TransferVBDFiles) driven as a user drives it: Wine's own common
// file-open dialog with the module's child dialog (template 101), files typed into the file
// name box or selected in the file list, ">>", "<<", "All Clear", "Open Folder", the
// Open/Save check box, and Send with the Send Designs dialog that follows.
//
// Under Wine the file name box is the edit edt1 (else the combo box cmb13 holds an edit);
// the file list is a SysListView32 inside the shell view. Selecting files in that list
// writes their names into the file name box and notifies CDN_SELCHANGE within the
// selecting message.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "designgen/design_writer.h"
#include "picker_res.h"
#include "resource.h"
#include "vemb_helpers.h"

using namespace vt;
using Names = std::vector<std::string>;

namespace {

const char LIST_FULL[] = "100 designs have been selected.\nNo more design can be selected.";
const char LONG_NAMES_DROPPED[] = "The Open/Save Folder does not support the long file names of more than 32 "
                                  "characters.Some files failed to transfer.";
const char SEND_DESIGNS[] = "Send Designs - COM Port";

std::string ClassOf(HWND window)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

BOOL CALLBACK Collect(HWND w, LPARAM p)
{
    reinterpret_cast<std::vector<HWND> *>(p)->push_back(w);
    return TRUE;
}

// One opening of the picker as the script sees it.
struct Picker {
    HWND common = NULL;   // the common dialog ("Select Designs")
    HWND child = NULL;    // the module's child dialog
    HWND nameBox = NULL;  // the common dialog's file name box
    HWND chosen = NULL;   // the chosen-designs list

    std::vector<HWND> Descendants() const
    {
        std::vector<HWND> all;
        EnumChildWindows(common, Collect, reinterpret_cast<LPARAM>(&all));
        return all;
    }
    // The common dialog's file list; the shell view makes a new one for every folder.
    HWND FileList() const
    {
        for (HWND w : Descendants())
            if (ClassOf(w) == "SysListView32" && w != chosen && IsWindowVisible(w))
                return w;
        return NULL;
    }
    // Selects the file list's items with these texts, all others deselected unless `add`.
    void Select(const Names &names, bool add = false) const
    {
        HWND files = FileList();
        if (!add)
            SetSelected(files, -1, false);
        Names items = ListItemTexts(files);
        for (const std::string &name : names) {
            auto at = std::find(items.begin(), items.end(), name);
            EXPECT_NE(at, items.end()) << "no file list item \"" << name << "\"";
            if (at != items.end())
                SetSelected(files, (int)(at - items.begin()), true);
        }
    }
    static void SetSelected(HWND list, int item, bool selected)
    {
        LVITEMA lv = {};
        lv.stateMask = LVIS_SELECTED | (selected ? LVIS_FOCUSED : 0);
        lv.state = selected ? LVIS_SELECTED | LVIS_FOCUSED : 0;
        SendMessageA(list, LVM_SETITEMSTATE, item, (LPARAM)&lv);
    }
    void SelectRows(const std::vector<int> &rows) const
    {
        SetSelected(chosen, -1, false);
        for (int row : rows)
            SetSelected(chosen, row, true);
    }
    // Types into the file name box, with nothing selected in the file list.
    void Type(const std::string &text) const
    {
        Select({});
        SendMessageTimeoutA(nameBox, WM_SETTEXT, 0, (LPARAM)text.c_str(), SMTO_ABORTIFHUNG, 5000, NULL);
    }
    std::string Folder() const
    {
        char folder[MAX_PATH * 2] = "";
        SendMessageA(common, CDM_GETFOLDERPATH, sizeof folder, (LPARAM)folder);
        return folder;
    }
    // Waits until the host's thread has handled what was posted to it (the picker's
    // windows all belong to it).
    void Pass(Ui &u) const { PassPosted(u, chosen); }
    // Presses a button and waits until the host's thread has handled the press (or shows a
    // message box).
    void Press(Ui &u, HWND dialog, int controlId) const
    {
        u.Click(dialog, controlId);
        Pass(u);
    }
    // Types each name and presses ">>".
    void AddTyped(Ui &u, const Names &names) const
    {
        for (const std::string &name : names) {
            Type(name);
            Press(u, child, IDC_PICKER_ADD);
        }
    }
    Names Rows(int column = 0) const { return ListItemTexts(chosen, column); }
    std::string Totals() const { return ControlText(child, IDC_PICKER_TOTALS); }
    // The preview as the child dialog paints it: the design on show (the preview box's
    // tooltip) and its hoop.
    std::string Shown() const
    {
        UpdateWindow(child);
        return ToolTip(IDC_PREVIEW_BOX);
    }
    std::string Hoop() const
    {
        UpdateWindow(child);
        return ControlText(child, IDC_HOOP_LABEL);
    }
    // The text the child dialog's tooltip gives for one of its controls, asked like the
    // tooltip asks when the mouse rests on it. The tooltip window is owned by the common
    // dialog; the ANSI query gives at most 80 characters under Wine, the wide one all.
    std::string ToolTip(int controlId) const
    {
        std::vector<HWND> all;
        EnumWindows(Collect, reinterpret_cast<LPARAM>(&all));
        for (HWND w : all) {
            TOOLINFOW tool = {};
            tool.cbSize = TTTOOLINFOW_V2_SIZE;
            tool.hwnd = child;
            tool.uId = (UINT_PTR)GetDlgItem(child, controlId);
            if (ClassOf(w) != TOOLTIPS_CLASSA || GetWindow(w, GW_OWNER) != common ||
                !SendMessageW(w, TTM_GETTOOLINFOW, 0, (LPARAM)&tool))
                continue;
            wchar_t text[1024] = L"";
            tool.lpszText = text;
            SendMessageW(w, TTM_GETTEXTW, 1024, (LPARAM)&tool);
            char narrow[2048] = "";
            WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, NULL, NULL);
            return narrow;
        }
        return "(no tool)";
    }
    // Pixels of the preview box on the screen, once painted, that are neither the drawing
    // area's white nor the grey around it: the stitches drawn. The box has 3 pixels of border
    // and draws a 2-pixel etched frame over its client area.
    int StitchPixels() const
    {
        UpdateWindow(child);
        RECT box;
        GetWindowRect(GetDlgItem(child, IDC_PREVIEW_BOX), &box);
        HDC screen = GetDC(NULL);
        int count = 0;
        for (int y = box.top + 5; y < box.bottom - 5; ++y)
            for (int x = box.left + 5; x < box.right - 5; ++x) {
                COLORREF c = GetPixel(screen, x, y);
                count += c != RGB(255, 255, 255) && c != RGB(192, 192, 192);
            }
        ReleaseDC(NULL, screen);
        return count;
    }
};

// Message boxes of this process that are open now.
int OpenMessageBoxes()
{
    int n = 0;
    for (HWND w : TopLevelWindows())
        n += uidrive::LooksLikeMessageBox(w);
    return n;
}

int Count(const std::string &text)
{
    int n = 0;
    for (const MessageBoxCall &call : RecordedMessageBoxes())
        n += call.text == text;
    return n;
}

// A design whose design data (up to and including its end record) is exactly `bytes`,
// followed by `trailing` bytes.
void WriteDesignOfSize(const std::string &path, size_t bytes, size_t trailing = 0)
{
    designgen::DesignFile file;
    file.colours = {10};
    designgen::StitchData data;
    for (size_t i = 0; i < (bytes - 116 - 4 - 2) / 2; ++i)  // header, one colour entry, end record
        data.Stitch(i % 2 ? 3 : -3, 1);
    file.stitchCount = data.End().Records();
    file.stitchData = data.Bytes();
    file.trailingBytes = trailing;
    ASSERT_TRUE(designgen::WriteDesignFile(path, designgen::AssembleDesign(file))) << path;
}

std::string RepeatName(char c, size_t length)
{
    return std::string(length - 4, c) + ".vbd";
}

class PickerTest : public VembTest {
protected:
    // Opens the picker over `folder` with `script` running beside it, Cancel pressed after it
    // when the picker is still open; returns the export's result and the folder string the
    // caller gets back in `folderOut`.
    BOOL Run(const std::string &folder, const std::function<void(Ui &, Picker &)> &script,
             std::string *folderOut = nullptr)
    {
        char buffer[MAX_PATH] = "";
        lstrcpynA(buffer, folder.c_str(), sizeof buffer);
        UiScript ui([&](Ui &u) {
            Picker p;
            p.common = u.WaitDialog("Select Designs");
            u.WaitUntil([&] {
                for (HWND w : p.Descendants())
                    if (ClassOf(w) == "#32770" && GetParent(w) == p.common && GetDlgItem(w, IDC_PICKER_LIST))
                        p.child = w;
                HWND combo = GetDlgItem(p.common, cmb13);
                p.nameBox = GetDlgItem(p.common, edt1) ? GetDlgItem(p.common, edt1)
                                                       : combo ? FindWindowExA(combo, NULL, "Edit", NULL) : NULL;
                p.chosen = GetDlgItem(p.child, IDC_PICKER_LIST);
                return p.child && p.nameBox && IsWindowVisible(p.child);
            }, "the picker's child dialog and file name box");
            script(u, p);
            if (IsWindow(p.common))
                u.Click(p.common, IDCANCEL);
        });
        BOOL result = Dll().TransferVBDFiles(Owner(), buffer);
        ui.Join();
        if (folderOut)
            *folderOut = buffer;
        return result;
    }
    std::string In(const std::string &name) const { return WorkDir() + "\\" + name; }
};

TEST_F(PickerTest, OpensWithItsControlsBesideTheCommonDialogs)
{
    WriteDesign(In("rose.vbd"), 300);
    BOOL result = Run(WorkDir(), [&](Ui &, Picker &p) {
        EXPECT_EQ(ControlText(p.common, IDOK), "Open Folder");
        EXPECT_EQ(ControlText(p.common, IDCANCEL), "Cancel");
        EXPECT_TRUE(IsChecked(p.child, IDC_PICKER_BUILTIN));
        EXPECT_FALSE(IsChecked(p.child, IDC_PICKER_ATA_CARD));
        EXPECT_FALSE(IsChecked(p.child, IDC_PICKER_OPEN_SAVE));
        EXPECT_FALSE(IsControlEnabled(p.child, IDC_PICKER_SEND));
        EXPECT_EQ(p.Totals(), "Designs : 0  ,  Memory : 0 K bytes");
        EXPECT_EQ(p.Folder(), WorkDir()) << "opens in the caller's folder";
        const std::pair<const char *, int> columns[] = {{"File Name", 130}, {"Size", 50}, {"Modified", 100},
                                                        {" Path", 5}};
        for (int i = 0; i < 4; ++i) {
            char title[64] = "";
            LVCOLUMNA column = {};
            column.mask = LVCF_TEXT | LVCF_WIDTH;
            column.pszText = title;
            column.cchTextMax = sizeof title;
            ASSERT_TRUE(SendMessageA(p.chosen, LVM_GETCOLUMNA, i, (LPARAM)&column)) << i;
            EXPECT_EQ(std::string(title), columns[i].first);
            EXPECT_EQ(column.cx, columns[i].second) << title;
        }
        const std::pair<int, const char *> tips[] = {
            {IDC_PREVIEW_BOX, "Preview"},
            {IDC_PICKER_ADD, "Add embroidery file."},
            {IDC_PICKER_REMOVE, "Remove embroidery file."},
            {IDC_PICKER_CLEAR_ALL, "Remove all embroidery files."},
            {IDC_PICKER_LIST, "Embroidery File lists"},
            {IDC_PICKER_TOTALS, "Number of selected design and total size in byte"},
            {IDC_PICKER_SEND, "Start to send."},
            {IDC_PICKER_BUILTIN, "Send to Built-in memory in Loomstar."},
            {IDC_PICKER_ATA_CARD, "Send to ATA PC Card in Loomstar."},
            {IDC_PICKER_OPEN_SAVE, "(no tool)"},
        };
        for (auto &tip : tips)
            EXPECT_EQ(p.ToolTip(tip.first), tip.second) << tip.first;
    });
    EXPECT_EQ(result, 1) << "closed without sending";
    EXPECT_TRUE(RecordedMessageBoxes().empty());
}

// A row shows the design data size (not the file size) and the date without seconds; a
// file already listed is passed over whatever the letter case, and so is a missing one.
TEST_F(PickerTest, TypedNameAddsItsRowOnceWhateverTheLetterCase)
{
    WriteDesignOfSize(In("Rose.vbd"), 4150, 1000);
    SYSTEMTIME local = {2001, 3, 0, 5, 9, 7, 59, 0};
    FILETIME localTime, utc;
    SystemTimeToFileTime(&local, &localTime);
    LocalFileTimeToFileTime(&localTime, &utc);
    HANDLE file = CreateFileA(In("Rose.vbd").c_str(), FILE_WRITE_ATTRIBUTES, 0, NULL, OPEN_EXISTING, 0, NULL);
    SetFileTime(file, NULL, NULL, &utc);
    CloseHandle(file);
    WriteDesignOfSize(In("tulip.vbd"), 700);
    Run(WorkDir(), [&](Ui &u, Picker &p) {
        p.AddTyped(u, {"Rose.vbd", "ROSE.VBD", "rose.vbd", "missing.vbd", "tulip.vbd"});
        EXPECT_EQ(p.Rows(), (Names{"Rose.vbd", "tulip.vbd"}));
        EXPECT_EQ(p.Rows(1), (Names{"4,150", "700"}));
        EXPECT_EQ(p.Rows(2).at(0), "2001/03/05 09:07");
        EXPECT_EQ(p.Rows(3).at(0), In("Rose.vbd"));
        EXPECT_EQ(p.Totals(), "Designs : 2  ,  Memory : 5 K bytes");
        EXPECT_TRUE(IsControlEnabled(p.child, IDC_PICKER_SEND));
    });
    EXPECT_TRUE(RecordedMessageBoxes().empty());
}

// Totals count design data in whole kilobytes; "<<" removes the selected rows, "All Clear"
// all of them and disables Send; Send itself refuses an empty list.
TEST_F(PickerTest, TotalsCountDesignDataInWholeKilobytesUntilAllClear)
{
    WriteDesignOfSize(In("thousand.vbd"), 1000, 300);
    ASSERT_TRUE(WriteFileBytes(In("tiny.vbd"), std::vector<char>(30, 0).data(), 30));  // no end record
    WriteDesignOfSize(In("exact.vbd"), 1024);
    Run(WorkDir(), [&](Ui &u, Picker &p) {
        p.Select({"thousand.vbd", "tiny.vbd"});
        p.Press(u, p.child, IDC_PICKER_ADD);
        EXPECT_EQ(p.Rows(1), (Names{"1,000", "30"}));
        EXPECT_EQ(p.Totals(), "Designs : 2  ,  Memory : 2 K bytes");
        p.SelectRows({0, 1});
        p.Press(u, p.child, IDC_PICKER_REMOVE);
        p.AddTyped(u, {"exact.vbd", "tiny.vbd"});
        EXPECT_EQ(p.Totals(), "Designs : 2  ,  Memory : 2 K bytes");
        p.SelectRows({1});
        p.Press(u, p.child, IDC_PICKER_REMOVE);
        EXPECT_EQ(p.Rows(), Names{"exact.vbd"});
        EXPECT_EQ(p.Totals(), "Designs : 1  ,  Memory : 1 K bytes");

        p.Press(u, p.child, IDC_PICKER_CLEAR_ALL);
        EXPECT_TRUE(p.Rows().empty());
        EXPECT_EQ(p.Totals(), "Designs : 0  ,  Memory : 0 K bytes");
        EXPECT_FALSE(IsControlEnabled(p.child, IDC_PICKER_SEND));
        PostMessageA(p.child, WM_COMMAND, MAKEWPARAM(IDC_PICKER_SEND, BN_CLICKED),
                     (LPARAM)GetDlgItem(p.child, IDC_PICKER_SEND));
        MessageBoxInfo box = u.WaitMessageBox("Download");
        EXPECT_EQ(box.text, "no data available.");
        EXPECT_EQ(box.style, (UINT)MB_ICONEXCLAMATION);
        u.Answer(box, IDOK);
        p.Pass(u);
        EXPECT_TRUE(IsWindow(p.common)) << "the picker stays open";
    });
    EXPECT_FALSE(FileExists(TempFile("SendList.tp$")));
}

// With 99 rows, three new files add one and then the message; a design already listed is
// passed over even in a full list, without a message.
TEST_F(PickerTest, HundredthDesignFillsTheListAndTheNextOnesAreRefused)
{
    Names first;
    for (int i = 0; i < 99; ++i) {
        first.push_back("d" + std::to_string(100 + i) + ".vbd");
        WriteDesign(In(first.back()), 40);
    }
    for (const char *name : {"n1.vbd", "n2.vbd", "n3.vbd"})
        WriteDesign(In(name), 40);
    Run(WorkDir(), [&](Ui &u, Picker &p) {
        p.Select(first);
        p.Press(u, p.child, IDC_PICKER_ADD);
        ASSERT_EQ(p.Rows().size(), 99u);
        p.Select({"n1.vbd", "n2.vbd", "n3.vbd"});
        u.Click(p.child, IDC_PICKER_ADD);
        MessageBoxInfo box = u.WaitMessageBox("Attention");
        EXPECT_EQ(box.text, LIST_FULL);
        EXPECT_EQ(box.style, (UINT)MB_ICONHAND);
        EXPECT_EQ(p.Rows().size(), 100u);
        EXPECT_EQ(p.Rows().back(), "n1.vbd");
        u.Answer(box, IDOK);
        p.Pass(u);
        p.AddTyped(u, {"d100.vbd"});
        EXPECT_EQ(OpenMessageBoxes(), 0);
        EXPECT_EQ(p.Rows().size(), 100u);
    });
    EXPECT_EQ(Count(LIST_FULL), 1);
}

// "Open Folder" with a file selected adds nothing and leaves the picker open; with a folder
// selected it opens the folder. What the common dialog wrote last goes back to the caller.
TEST_F(PickerTest, OpenFolderOpensFoldersAndNeverEndsThePicker)
{
    WriteDesign(In("rose.vbd"), 300);
    CreateDirectoryA(In("sub").c_str(), NULL);
    WriteDesign(In("sub\\daisy.vbd"), 300);
    std::string folderOut;
    BOOL result = Run(
        WorkDir(),
        [&](Ui &u, Picker &p) {
            p.Select({"rose.vbd"});
            p.Press(u, p.common, IDOK);
            p.Pass(u);
            EXPECT_TRUE(IsWindow(p.common)) << "a file selected: the picker stays";
            EXPECT_TRUE(p.Rows().empty()) << "and nothing is added";
            EXPECT_EQ(p.Folder(), WorkDir());
            p.Select({"sub"});
            p.Press(u, p.common, IDOK);
            u.WaitUntil([&] { return p.Folder() == In("sub"); }, "the folder to open");
            EXPECT_EQ(ListItemTexts(p.FileList()), Names{"daisy.vbd"});
            p.Select({"daisy.vbd"});
            p.Press(u, p.common, IDOK);
            EXPECT_TRUE(IsWindow(p.common));
        },
        &folderOut);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(folderOut, In("sub\\daisy.vbd"));
}

// Ticking "Select Open/Save folder." removes the rows whose name is longer than 36
// characters with one message; unticking brings nothing back; while ticked such a file
// cannot be added.
TEST_F(PickerTest, OpenSaveFolderDropsLongNamesAndRefusesThem)
{
    const std::string name36 = RepeatName('m', 36), name37 = RepeatName('x', 37), name40 = RepeatName('y', 40);
    for (const std::string &name : {std::string("a.vbd"), name36, name37, name40})
        WriteDesign(In(name), 100);
    Run(WorkDir(), [&](Ui &u, Picker &p) {
        p.Select({"a.vbd", name36, name37, name40});
        p.Press(u, p.child, IDC_PICKER_ADD);
        ASSERT_EQ(p.Rows().size(), 4u);
        u.Click(p.child, IDC_PICKER_OPEN_SAVE);
        MessageBoxInfo box = u.WaitMessageBox("File Name Error");
        EXPECT_EQ(box.text, LONG_NAMES_DROPPED);
        EXPECT_EQ(box.style, (UINT)MB_ICONEXCLAMATION);
        u.Answer(box, IDOK);
        p.Pass(u);
        EXPECT_EQ(p.Rows(), (Names{"a.vbd", name36}));
        EXPECT_EQ(p.Totals().rfind("Designs : 2  ,  Memory : ", 0), 0u) << p.Totals();
        p.Press(u, p.child, IDC_PICKER_OPEN_SAVE);  // untick: nothing comes back
        EXPECT_EQ(p.Rows().size(), 2u);
        p.Press(u, p.child, IDC_PICKER_OPEN_SAVE);
        EXPECT_EQ(OpenMessageBoxes(), 0) << "nothing left to drop";

        p.Select({name37});
        u.Click(p.child, IDC_PICKER_ADD);
        box = u.WaitMessageBox("File Name Error");
        EXPECT_EQ(box.text, "The Open/Save Folder does not support the long file names such as \"" + name37 +
                                "\".\nPlease shorten the file name to 32 characters or less.");
        EXPECT_EQ(box.style, (UINT)MB_ICONHAND);
        u.Answer(box, IDOK);
        p.Pass(u);
        EXPECT_EQ(p.Rows().size(), 2u);
    });
    EXPECT_EQ(Count(LONG_NAMES_DROPPED), 1);
}

// The first design above 32700 stitches asks the version; declining skips it and the rest of
// that addition, confirming 2.2 lets large designs in up to its own limit.
TEST_F(PickerTest, FirstLargeDesignAsksTheVersionAndDecliningSkipsTheRestOfThatAddition)
{
    WriteDesign(In("a_small.vbd"), 100);
    WriteDesign(In("b_big.vbd"), 32701);
    WriteDesign(In("c_big.vbd"), 40000);
    WriteDesign(In("d_small.vbd"), 100);
    WriteDesign(In("e_huge.vbd"), 65536);
    Run(WorkDir(), [&](Ui &u, Picker &p) {
        p.Select({"a_small.vbd", "b_big.vbd", "c_big.vbd", "d_small.vbd"});
        u.Click(p.child, IDC_PICKER_ADD);
        HWND version = u.WaitDialog("Select Machine's Version");
        EXPECT_EQ(GetWindow(version, GW_OWNER), p.common) << "owned through the child dialog";
        u.Click(version, IDCANCEL);
        u.WaitGone(version);
        p.Pass(u);
        EXPECT_EQ(p.Rows(), Names{"a_small.vbd"}) << "the rest of the addition is skipped";

        u.Click(p.child, IDC_PICKER_ADD);
        version = u.WaitDialog("Select Machine's Version");
        u.Click(version, 1031 /* Version 2.2 */);
        u.Click(version, IDOK);
        u.WaitGone(version);
        p.Pass(u);
        EXPECT_EQ(p.Rows(), (Names{"a_small.vbd", "b_big.vbd", "c_big.vbd", "d_small.vbd"}));

        p.Select({"e_huge.vbd"});
        u.Click(p.child, IDC_PICKER_ADD);
        MessageBoxInfo box = u.WaitMessageBox("Attention");
        EXPECT_EQ(box.text, "In this menu, you cannot send a large design.\nThe \"e_huge.vbd\" design "
                            "exceeds 64000 stitch counts.");
        EXPECT_EQ(box.style, (UINT)MB_ICONINFORMATION);
        u.Answer(box, IDOK);
        p.Pass(u);
        EXPECT_EQ(p.Rows().size(), 4u);
    });
    EXPECT_EQ(RegDwordBoth("Protocol Ver"), std::make_pair(DWORD(2), DWORD(2)));
}

// Version 1 stored: 32700 stitches ask nothing, 32701 ask and are refused with 32000 when
// the answer stays 2.1; only ".vbd" names meet the limit. Version 2 stored: nobody is asked.
TEST_F(PickerTest, LargeDesignsFollowTheStoredVersion)
{
    WriteDesign(In("exact.vbd"), 32700);
    WriteDesign(In("big.VBD"), 32701);
    WriteDesign(In("big.dat"), 40000);
    SetRegDword(Key::Tambora, "Protocol Ver", 1);
    Run(WorkDir(), [&](Ui &u, Picker &p) {
        p.AddTyped(u, {"exact.vbd"});
        EXPECT_EQ(OpenMessageBoxes(), 0);
        p.Type("big.VBD");
        u.Click(p.child, IDC_PICKER_ADD);
        HWND version = u.WaitDialog("Confirm Machine's Version");
        u.Click(version, IDOK);
        u.WaitGone(version);
        MessageBoxInfo box = u.WaitMessageBox("Attention");
        EXPECT_EQ(box.text, "In this menu, you cannot send a large design.\nThe \"big.VBD\" design exceeds "
                            "32000 stitch counts.");
        u.Answer(box, IDOK);
        p.Pass(u);
        p.AddTyped(u, {"big.dat"});
        EXPECT_EQ(p.Rows(), (Names{"exact.vbd", "big.dat"}));
    });
    SetRegDword(Key::Tambora, "Protocol Ver", 2);
    DialogWatch watch({"Confirm Machine's Version", "Select Machine's Version"});
    Run(WorkDir(), [&](Ui &u, Picker &p) {
        p.AddTyped(u, {"big.VBD"});
        EXPECT_EQ(p.Rows(), Names{"big.VBD"});
    });
    EXPECT_EQ(watch.Stop(), 0);
}

// C:\ is the root of the Wine prefix's drive; the names are the test's own. A several-name
// reading leaves the folder without its trailing backslash, and that goes back to the caller.
TEST_F(PickerTest, RootFolderJoinsWithOneBackslash)
{
    const std::string a = "C:\\pickertest_a.vbd", b = "C:\\pickertest_b.vbd";
    WriteDesign(a, 100);
    WriteDesign(b, 100);
    std::string folderOut;
    Run(
        "C:\\",
        [&](Ui &u, Picker &p) {
            p.AddTyped(u, {"pickertest_a.vbd"});
            p.Select({"pickertest_a.vbd", "pickertest_b.vbd"});
            p.Press(u, p.child, IDC_PICKER_ADD);
            EXPECT_EQ(p.Rows(3), (Names{a, b}));
        },
        &folderOut);
    EXPECT_EQ(folderOut, "C:");
    DeleteFileA(a.c_str());
    DeleteFileA(b.c_str());
}

// Our choices for overlong joins. Ninety-five names of 230 characters make a selection of
// 22,135 characters: the file name box gives the first 20,479 and the picker keeps the whole
// names among them. A file whose folder and name pass 259 characters is not added, and the
// walk ends at it as at a file that cannot be opened.
TEST_F(PickerTest, OverlongSelectionsAndPathsAreCut)
{
    const std::string folder = "C:\\pkn";
    CreateDirectoryA(folder.c_str(), NULL);
    Names names;
    for (int i = 0; i < 95; ++i) {
        names.push_back(std::to_string(100 + i) + RepeatName('w', 227));
        WriteDesign(folder + "\\" + names.back(), 20);
    }
    WriteDesign(folder + "\\zz.vbd", 20);
    const std::string fits = RepeatName('b', 252), tooLong = RepeatName('c', 253);  // C:\pkn\ + 252 = 259
    for (const std::string &name : {fits, tooLong}) {
        std::vector<char> bytes = DesignBytes(20, 1);
        HANDLE file = CreateFileW((L"\\\\?\\C:\\pkn\\" + std::wstring(name.begin(), name.end())).c_str(),
                                  GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        DWORD written;
        ASSERT_TRUE(WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL)) << name.size();
        CloseHandle(file);
    }
    Run(folder, [&](Ui &u, Picker &p) {
        p.Select(names);
        EXPECT_EQ(SendMessageA(p.nameBox, WM_GETTEXTLENGTH, 0, 0), 95 * 233);
        p.Press(u, p.child, IDC_PICKER_ADD);
        // "C:\pkn\ " takes 8 of the 20,479 characters; 87 quoted names of 233 fit in the rest.
        Names rows = p.Rows();
        ASSERT_EQ(rows.size(), 87u);
        EXPECT_EQ(rows.back(), names[86]);
        EXPECT_EQ(p.Rows(3).back(), folder + "\\" + names[86]);

        p.Press(u, p.child, IDC_PICKER_CLEAR_ALL);
        p.AddTyped(u, {tooLong});
        EXPECT_TRUE(p.Rows().empty());
        p.Select({names[0], fits, tooLong, "zz.vbd"});
        p.Press(u, p.child, IDC_PICKER_ADD);
        EXPECT_EQ(p.Rows(), (Names{names[0], fits})) << "the walk ends at the long one";
        EXPECT_EQ(p.Rows(3).back().size(), 259u);
    });
    EXPECT_TRUE(RecordedMessageBoxes().empty());
    names.push_back("zz.vbd");
    for (const std::string &name : names)
        DeleteFileA((folder + "\\" + name).c_str());
    for (const std::string &name : {fits, tooLong})
        DeleteFileW((L"\\\\?\\C:\\pkn\\" + std::wstring(name.begin(), name.end())).c_str());
    RemoveDirectoryA(folder.c_str());
}

// The preview follows the selection in the common dialog, a click on a chosen row and the
// arrow and paging keys, whatever folder the row comes from; the box's tooltip names the
// design on show, and a change of folder resets only the tooltip.
TEST_F(PickerTest, PreviewFollowsTheSelectionAndTheChosenRows)
{
    WriteDesign(In("rose.vbd"), 1500, 0);
    WriteDesign(In("tulip.vbd"), 1500, 1);
    CreateDirectoryA(In("sub").c_str(), NULL);
    WriteDesign(In("sub\\daisy.vbd"), 1500, 2);
    Run(WorkDir(), [&](Ui &u, Picker &p) {
        EXPECT_EQ(p.StitchPixels(), 0) << "nothing on show";
        p.Select({"rose.vbd"});
        EXPECT_EQ(p.Shown(), In("rose.vbd"));
        EXPECT_EQ(p.Hoop(), "Normal Hoop");
        EXPECT_GT(p.StitchPixels(), 50);
        p.Select({"tulip.vbd"}, true);  // the newly selected one is previewed
        EXPECT_EQ(p.Shown(), In("tulip.vbd"));
        EXPECT_EQ(p.Hoop(), "Small Hoop");
        p.Press(u, p.child, IDC_PICKER_ADD);

        p.Select({"sub"});
        p.Press(u, p.common, IDOK);
        u.WaitUntil([&] { return p.Folder() == In("sub"); }, "the folder to open");
        p.Pass(u);
        EXPECT_EQ(p.ToolTip(IDC_PREVIEW_BOX), "Preview");
        p.Select({"daisy.vbd"});
        EXPECT_EQ(p.Hoop(), "Large Hoop");
        p.Press(u, p.child, IDC_PICKER_ADD);
        ASSERT_EQ(p.Rows(), (Names{"rose.vbd", "tulip.vbd", "daisy.vbd"}));

        RECT row = {LVIR_BOUNDS, 0, 0, 0};
        SendMessageA(p.chosen, LVM_GETITEMRECT, 0, (LPARAM)&row);
        LPARAM at = MAKELPARAM(row.left + 5, (row.top + row.bottom) / 2);
        PostMessageA(p.chosen, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageA(p.chosen, WM_LBUTTONUP, 0, at);
        p.Pass(u);
        EXPECT_EQ(p.Shown(), In("rose.vbd"));
        EXPECT_EQ(p.Hoop(), "Normal Hoop");
        const std::pair<int, std::string> keys[] = {
            {VK_DOWN, In("tulip.vbd")}, {VK_END, In("sub\\daisy.vbd")},  {VK_UP, In("tulip.vbd")},
            {VK_PRIOR, In("rose.vbd")}, {VK_NEXT, In("sub\\daisy.vbd")}, {VK_SPACE, In("sub\\daisy.vbd")}};
        for (auto &key : keys) {
            PostMessageA(p.chosen, WM_KEYDOWN, key.first, 0);
            p.Pass(u);
            p.Pass(u);  // the key's own preview command, posted while it was handled
            EXPECT_EQ(p.Shown(), key.second) << "key " << key.first;
        }
        EXPECT_GT(p.StitchPixels(), 50);
    });
    EXPECT_TRUE(RecordedMessageBoxes().empty());
}

// ---- Send ----

// Send writes the rows in order as 260-byte zero-padded records, presets the Send Designs
// dialog with the location ("ATA PC Card" with the Open/Save folder is 6, "Built-in"
// without it 1) and deletes the list when that dialog has gone.
TEST_F(PickerTest, SendWritesTheListAndTheDesignsReachTheChosenLocation)
{
    for (const char *name : {"c.vbd", "a.vbd", "b.vbd"})
        WriteDesign(In(name), 300);
    for (bool ataOpenSave : {true, false}) {
        SCOPED_TRACE(ataOpenSave ? "ATA PC Card, Open/Save folder" : "Built-in");
        linksim::ResetMachine();
        std::vector<char> list;
        Run(WorkDir(), [&](Ui &u, Picker &p) {
            p.AddTyped(u, {"c.vbd", "a.vbd", "b.vbd"});
            if (ataOpenSave) {
                u.Click(p.child, IDC_PICKER_ATA_CARD);
                u.Click(p.child, IDC_PICKER_OPEN_SAVE);
            }
            u.Click(p.child, IDC_PICKER_SEND);
            u.WaitGone(p.common);
            HWND send = u.WaitDialog(SEND_DESIGNS);
            list = ReadFileBytes(TempFile("SendList.tp$"));
            EXPECT_EQ(IsChecked(send, 1009), ataOpenSave) << "ATA PC Card";
            EXPECT_EQ(IsChecked(send, 1029), ataOpenSave) << "Open/Save folder";
            u.Click(send, IDOK);
            u.WaitGone(send, 60000);
        });
        std::vector<char> expected(780, 0);
        for (int i = 0; i < 3; ++i)
            strcpy(&expected[260 * i], In("cab"[i] + std::string(".vbd")).c_str());
        EXPECT_TRUE(list == expected);
        EXPECT_EQ(StoredNames(ataOpenSave ? 6 : 1), (Names{"c.vbd", "a.vbd", "b.vbd"}));
        EXPECT_FALSE(FileExists(TempFile("SendList.tp$")));
        EXPECT_EQ(Dll().GetTransferStatus(), 0u);
    }
}

// Closing the Send Designs dialog before Start sends nothing; closing the picker deletes a
// send list left over and opens no Send Designs dialog.
TEST_F(PickerTest, ClosingEitherDialogSendsNothing)
{
    WriteDesign(In("rose.vbd"), 300);
    bool listWritten = false;
    Run(WorkDir(), [&](Ui &u, Picker &p) {
        p.AddTyped(u, {"rose.vbd"});
        u.Click(p.child, IDC_PICKER_SEND);
        HWND send = u.WaitDialog(SEND_DESIGNS);
        listWritten = FileExists(TempFile("SendList.tp$"));
        u.Click(send, IDCANCEL);
        u.WaitGone(send);
    });
    EXPECT_TRUE(listWritten);
    EXPECT_FALSE(FileExists(TempFile("SendList.tp$")));

    ASSERT_TRUE(WriteFileText(TempFile("SendList.tp$"), std::string(260, 'x')));
    BOOL result = Run(WorkDir(), [&](Ui &u, Picker &p) {
        p.AddTyped(u, {"rose.vbd"});
        u.Close(p.common);
        u.WaitGone(p.common);
    });
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(FileExists(TempFile("SendList.tp$")));
    EXPECT_TRUE(SimOps().empty()) << "nothing reached the machine";
}

TEST_F(PickerTest, UnwritableSendListKeepsThePickerOpen)
{
    // A folder where the file would be: the file cannot be made.
    ASSERT_TRUE(CreateDirectoryA(TempFile("SendList.tp$").c_str(), NULL));
    WriteDesign(In("rose.vbd"), 300);
    EXPECT_EQ(Run(WorkDir(),
                  [&](Ui &u, Picker &p) {
                      p.AddTyped(u, {"rose.vbd"});
                      u.Click(p.child, IDC_PICKER_SEND);
                      MessageBoxInfo box = u.WaitMessageBox("Error");
                      EXPECT_EQ(box.text, "Failed to open a temporary file.");
                      EXPECT_EQ(box.style, (UINT)MB_ICONEXCLAMATION);
                      u.Answer(box, IDOK);
                      p.Pass(u);
                      p.Pass(u);
                      EXPECT_TRUE(IsWindow(p.common)) << "the picker stays open";
                      EXPECT_EQ(OpenMessageBoxes(), 0) << "focus coming back to Send sends nothing";
                  }),
              1);
    RemoveDirectoryA(TempFile("SendList.tp$").c_str());
    EXPECT_TRUE(SimOps().empty());
}

}  // namespace
