// The design picker (TransferVBDFiles) driven as a user drives it: Wine's common file-open dialog with the
// module's child dialog, its buttons, and Send with the Send Designs dialog that follows.
#include <windows.h>
#include <commctrl.h>
#include <string.h>
#include <commdlg.h>
#include <dlgs.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>

#include "designgen/design_writer.h"
#include "picker_res.h"
#include "machine_version_res.h"
#include "resource.h"
#include "send_designs_res.h"
#include "send/picker.h"
#include "vemb_helpers.h"

using namespace vt;

namespace {

const char SEND_DESIGNS[] = "Send Designs - COM Port";

// One opening of the picker as the script sees it: the common dialog, the module's child dialog, the file
// name box (under Wine the edit edt1, else the combo box cmb13's edit) and the chosen-designs list.
struct Picker {
    HWND common = NULL, child = NULL, nameBox = NULL, chosen = NULL;

    // Selects the file list's items with these texts, all others deselected unless `add`; selecting writes
    // the names into the file name box and notifies CDN_SELCHANGE within the selecting message.
    void Select(const Names &names, bool add = false) const
    {
        HWND files = uidrive::FindPickerWindows(common).files;  // a new one for every folder
        LVITEMA none = {0, 0, 0, 0, LVIS_SELECTED};
        if (!add)
            SendMessageA(files, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&none);
        EXPECT_EQ(uidrive::SelectListItemsByText(files, names), (int)names.size()) << "file list items missing";
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
    // Presses a button and waits until the host's thread (which owns every picker window) has handled the
    // press, or shows a message box.
    void Press(Ui &u, int controlId, HWND dialog = NULL) const
    {
        u.Click(dialog ? dialog : child, controlId);
        PassPosted(u, chosen);
    }
    void AddTyped(Ui &u, const Names &names) const
    {
        for (const std::string &name : names) {
            Type(name);
            Press(u, IDC_PICKER_ADD);
        }
    }
    void SelectRows(std::initializer_list<int> rows) const
    {
        LVITEMA lv = {0, 0, 0, 0, LVIS_SELECTED};
        SendMessageA(chosen, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&lv);
        lv.state = LVIS_SELECTED;
        for (int row : rows)
            SendMessageA(chosen, LVM_SETITEMSTATE, row, (LPARAM)&lv);
    }
    Names Rows(int column = 0) const { return ListItemTexts(chosen, column); }
    std::string Totals() const { return ControlText(child, IDC_PICKER_TOTALS); }
    std::string Hoop() const
    {
        UpdateWindow(child);
        return ControlText(child, IDC_HOOP_LABEL);
    }
    // The text the child dialog's tooltip gives for a control, asked as the tooltip asks when the mouse
    // rests on it (the wide query: the ANSI one gives at most 80 characters under Wine).
    std::string ToolTip(int controlId) const
    {
        UpdateWindow(child);
        HWND tips = ToolTipOf(GetDlgItem(child, controlId));
        if (!tips)
            return "(no tool)";
        TOOLINFOW tool = {TTTOOLINFOW_V2_SIZE, 0, child, (UINT_PTR)GetDlgItem(child, controlId)};
        wchar_t text[1024] = L"";
        tool.lpszText = text;
        SendMessageW(tips, TTM_GETTEXTW, 1024, (LPARAM)&tool);
        char narrow[2048] = "";
        WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, NULL, NULL);
        return narrow;
    }
};

int OpenMessageBoxes()
{
    int n = 0;
    for (HWND w : TopLevelWindows())
        n += uidrive::LooksLikeMessageBox(w);
    return n;
}

// A design whose design data (up to and including its end record) is exactly `bytes`, and `trailing` bytes.
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

Shown LargeDesign(const std::string &name, int limit)
{
    return {"Attention",
            "In this menu, you cannot send a large design.\nThe \"" + name + "\" design exceeds " +
                std::to_string(limit) + " stitch counts.",
            MB_ICONINFORMATION};
}

class PickerTest : public VembTest {
protected:
    void SetUp() override
    {
        VembTest::SetUp();
        PatchFaults();
    }
    // Opens the picker over `folder` beside `script`, Cancel pressed after it when the picker is still open;
    // checks the export's result and returns the folder string the caller gets back.
    std::string Run(const std::string &folder, const std::function<void(Ui &, Picker &)> &script, BOOL result = 1)
    {
        char buffer[MAX_PATH] = "";
        lstrcpynA(buffer, folder.c_str(), sizeof buffer);
        UiScript ui([&](Ui &u) {
            Picker p;
            p.common = u.WaitDialog("Select Designs");
            u.WaitUntil(
                [&] {
                    p.child = uidrive::FindPickerWindows(p.common).child;
                    HWND combo = GetDlgItem(p.common, cmb13), edit = GetDlgItem(p.common, edt1);
                    p.nameBox = edit ? edit : combo ? FindWindowExA(combo, NULL, "Edit", NULL) : NULL;
                    p.chosen = GetDlgItem(p.child, IDC_PICKER_LIST);
                    return p.child && p.nameBox && IsWindowVisible(p.child);
                },
                "the picker's child dialog and file name box");
            script(u, p);
            if (IsWindow(p.common))
                u.Click(p.common, IDCANCEL);
        });
        EXPECT_EQ(Dll().TransferVBDFiles(Owner(), buffer), result);
        ui.Join();
        return buffer;
    }
};

RECT ScreenRect(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    return r;
}

// Where the picker's own controls stand against the common dialog's buttons: what is out of place, or "".
// Send under Cancel (its left edge and width, one OK-Cancel gap below); the location group's right edge 20
// pixels left of Send, its top at Send's; "Select Open/Save folder." `raised` pixels above its place in the group.
std::string Misplaced(const Picker &p, int raised)
{
    RECT ok = ScreenRect(GetDlgItem(p.common, IDOK)), cancel = ScreenRect(GetDlgItem(p.common, IDCANCEL));
    RECT send = ScreenRect(GetDlgItem(p.child, IDC_PICKER_SEND));
    RECT group = ScreenRect(GetDlgItem(p.child, IDC_PICKER_SEND_GROUP));
    RECT openSave = ScreenRect(GetDlgItem(p.child, IDC_PICKER_OPEN_SAVE));
    RECT placed[] = {{13, 188, 13, 188}, {20, 214, 20, 214}};  // the group box and the check box in the template
    for (RECT &r : placed)
        MapDialogRect(p.child, &r);
    std::string out;
    if (send.left != cancel.left || send.right != cancel.right)
        out += "Send not under Cancel; ";
    if (send.top != cancel.bottom + (cancel.top - ok.bottom))
        out += "Send not one gap below Cancel; ";
    if (group.right != send.left - 20 || group.top != send.top)
        out += "group not beside Send; ";
    if (openSave.left - group.left != placed[1].left - placed[0].left ||
        openSave.top - group.top != placed[1].top - placed[0].top - raised)
        out += "Open/Save box " + std::to_string(placed[1].top - placed[0].top - (openSave.top - group.top)) +
               " pixels up in the group, not " + std::to_string(raised) + "; ";
    return out;
}

// The radio buttons' places in the location group, as text.
std::string RadioPlaces(const Picker &p)
{
    RECT group = ScreenRect(GetDlgItem(p.child, IDC_PICKER_SEND_GROUP));
    std::string out;
    for (int id : {IDC_PICKER_BUILTIN, IDC_PICKER_ATA_CARD}) {
        RECT r = ScreenRect(GetDlgItem(p.child, id));
        out += std::to_string(r.left - group.left) + "," + std::to_string(r.top - group.top) + " ";
    }
    return out;
}

// The picker's controls follow the common dialog's buttons at opening and again at a new size (here the
// buttons moved apart and WM_SIZE sent, as the common dialog does when it lays itself out anew); the radio
// buttons keep their places in the location group, and every layout raises the Open/Save box 3 pixels more.
// The layouts are counted as the child dialog finishes them: its WM_INITDIALOG, and each WM_SIZE once its
// controls exist (the common dialog sends one or more while it opens).
std::atomic<int> g_layouts;
LRESULT CALLBACK CountLayouts(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPRETSTRUCT *m = (const CWPRETSTRUCT *)lParam;
    if (code == HC_ACTION && (m->message == WM_INITDIALOG || m->message == WM_SIZE) &&
        GetDlgItem(m->hwnd, IDC_PICKER_OPEN_SAVE) && GetDlgItem(m->hwnd, IDC_PICKER_SEND_GROUP))
        ++g_layouts;
    return CallNextHookEx(NULL, code, wParam, lParam);
}
// Misplaced for the layouts done so far, read again should one finish while the places are read.
std::string MisplacedAfterEachLayout(const Picker &p)
{
    for (int attempt = 0;; ++attempt) {
        int layouts = g_layouts;
        std::string out = Misplaced(p, 3 * layouts);
        if (layouts == g_layouts || attempt == 10)
            return out;
    }
}
TEST_F(PickerTest, LayoutFollowsTheCommonDialogsButtons)
{
    g_layouts = 0;
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROCRET, CountLayouts, NULL, GetCurrentThreadId());
    Names misplaced, radios;
    Run(WorkDir(), [&](Ui &, Picker &p) {
        misplaced.push_back(MisplacedAfterEachLayout(p));
        radios.push_back(RadioPlaces(p));
        const int moves[][3] = {{IDOK, -40, 10}, {IDCANCEL, -40, 25}};
        for (const auto &m : moves) {
            HWND button = GetDlgItem(p.common, m[0]);
            RECT r = ScreenRect(button);
            MapWindowPoints(NULL, p.common, (POINT *)&r, 2);
            SetWindowPos(button, NULL, r.left + m[1], r.top + m[2], 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        }
        RECT client;
        GetClientRect(p.child, &client);
        SendMessageTimeoutA(p.child, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom), SMTO_NORMAL,
                            10000, NULL);
        misplaced.push_back(MisplacedAfterEachLayout(p));
        radios.push_back(RadioPlaces(p));
    });
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(misplaced, (Names{"", ""}));
    EXPECT_EQ(radios[1], radios[0]);
}

// What the common dialog is given: the open-file structure, and the texts the child dialog gives its buttons.
struct GivenToCommonDialog {
    OPENFILENAMEA ofn;
    std::string filter, folder, title, extension;
    Names relabels;
} g_given;
BOOL WINAPI RecordingGetOpenFileName(LPOPENFILENAMEA ofn)
{
    g_given.ofn = *ofn;
    for (const char *f = ofn->lpstrFilter; f && *f; f += strlen(f) + 1)
        g_given.filter += std::string(f) + "|";
    g_given.folder = ofn->lpstrInitialDir ? ofn->lpstrInitialDir : "(none)";
    g_given.title = ofn->lpstrTitle ? ofn->lpstrTitle : "(none)";
    g_given.extension = ofn->lpstrDefExt ? ofn->lpstrDefExt : "(none)";
    return GetOpenFileNameA(ofn);
}
LRESULT CALLBACK RecordRelabels(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT *m = (const CWPSTRUCT *)lParam;
    if (code == HC_ACTION && m->message == CDM_SETCONTROLTEXT)
        g_given.relabels.push_back(std::to_string(m->wParam) + " " + (const char *)m->lParam);
    return CallNextHookEx(NULL, code, wParam, lParam);
}

// The common dialog is asked for an Explorer-style multiple selection of existing ".vbd" files into the
// 20480-character buffer, under "Select Designs", with the hook and template 101; the child dialog names its
// buttons "Open Folder" and "Cancel".
TEST_F(PickerTest, TheCommonDialogIsAskedAsDesigned)
{
    ASSERT_TRUE(
        uidrive::PatchImport(Dll().module, "comdlg32.dll", "GetOpenFileNameA", (void *)RecordingGetOpenFileName));
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, RecordRelabels, NULL, GetCurrentThreadId());
    g_given = GivenToCommonDialog();
    Run(WorkDir(), [](Ui &, Picker &) {});
    UnhookWindowsHookEx(hook);
    const OPENFILENAMEA &ofn = g_given.ofn;
    EXPECT_EQ(ofn.lStructSize, 76u);
    EXPECT_EQ(ofn.hwndOwner, Owner());
    EXPECT_EQ(ofn.hInstance, (HINSTANCE)Dll().module);
    EXPECT_EQ(g_given.filter, "Embroidery Files(*.vbd)|*.vbd|");
    EXPECT_EQ(ofn.lpstrCustomFilter, nullptr);
    EXPECT_EQ(ofn.nFilterIndex, 0u);
    EXPECT_NE(ofn.lpstrFile, nullptr);
    EXPECT_EQ(ofn.nMaxFile, 20480u);
    EXPECT_EQ(ofn.lpstrFileTitle, nullptr);
    EXPECT_EQ(g_given.folder, WorkDir());
    EXPECT_EQ(g_given.title, "Select Designs");
    EXPECT_EQ(ofn.Flags, 0x81264u);
    EXPECT_EQ(g_given.extension, "vbd");
    EXPECT_NE(ofn.lpfnHook, nullptr);
    EXPECT_EQ(ofn.lpTemplateName, MAKEINTRESOURCEA(IDD_PICKER));
    EXPECT_EQ(g_given.relabels, (Names{"1 Open Folder", "2 Cancel"}));
}

// The opening: "Open Folder" over the caller's folder, Built-in chosen, an empty list and no Send; the preview
// box's tooltip names the preview, the Open/Save check box has none.
TEST_F(PickerTest, OpensOverTheCallersFolderWithAnEmptyList)
{
    Run(WorkDir(), [&](Ui &, Picker &p) {
        EXPECT_EQ(ControlText(p.common, IDOK), "Open Folder");
        EXPECT_EQ(p.Folder(), WorkDir());
        EXPECT_EQ(p.Totals(), "Designs : 0  ,  Memory : 0 K bytes");
        const struct {
            int id;
            bool checked, enabled;
        } controls[] = {{IDC_PICKER_BUILTIN, true, true},
                        {IDC_PICKER_ATA_CARD, false, true},
                        {IDC_PICKER_OPEN_SAVE, false, true},
                        {IDC_PICKER_SEND, false, false}};
        for (const auto &c : controls) {
            SCOPED_TRACE(c.id);
            EXPECT_EQ(IsChecked(p.child, c.id), c.checked);
            EXPECT_EQ(IsControlEnabled(p.child, c.id), c.enabled);
        }
        EXPECT_EQ(p.ToolTip(IDC_PREVIEW_BOX), "Preview");
        EXPECT_EQ(p.ToolTip(IDC_PICKER_OPEN_SAVE), "(no tool)");
    });
}

// With the pointer resting on a control of the tooltip table, the tooltip shows that control's text; on
// the Open/Save check box, which is not in the table, none shows.
TEST_F(PickerTest, ToolTipShowsWhileThePointerRestsOnItsControl)
{
    const struct {
        int id;
        const char *tip;
    } cases[] = {{IDC_PICKER_LIST, "Embroidery File lists"},
                 {IDC_PICKER_TOTALS, "Number of selected design and total size in byte"},
                 {IDC_PICKER_ADD, "Add embroidery file."},
                 {IDC_PICKER_OPEN_SAVE, ""}};
    Run(WorkDir(), [&](Ui &u, Picker &p) {
        HWND tips = ToolTipOf(p.chosen);
        ASSERT_TRUE(tips);
        for (const auto &c : cases)
            EXPECT_EQ(HoverTip(u, tips, GetDlgItem(p.child, c.id), *c.tip ? 10000 : 1000), c.tip)
                << "control " << c.id;
    });
}

// A row per readable design: its name, design data size grouped in thousands, local date and path; a file is
// listed once whatever the case of its name, and a missing or unreadable one is passed over in silence.
TEST_F(PickerTest, RowsShowEachReadableDesignOnce)
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
        WatchFile("tulip.vbd");
        for (CallFault *fault : {&g_fileRead, &g_fileSize}) {
            fault->Arm(0);
            p.AddTyped(u, {"tulip.vbd"});
            EXPECT_EQ(fault->failed, 1);
            EXPECT_TRUE(p.Rows().empty());
        }
        p.AddTyped(u, {"Rose.vbd", "ROSE.VBD", "rose.vbd", "missing.vbd", "tulip.vbd"});
        EXPECT_EQ(p.Rows(), (Names{"Rose.vbd", "tulip.vbd"}));
        EXPECT_EQ(p.Rows(1), (Names{"4,150", "700"}));
        EXPECT_EQ(p.Rows(2).at(0), "2001/03/05 09:07");
        EXPECT_EQ(p.Rows(3).at(0), In("Rose.vbd"));
        EXPECT_EQ(p.Totals(), "Designs : 2  ,  Memory : 5 K bytes");
        EXPECT_TRUE(IsControlEnabled(p.child, IDC_PICKER_SEND));
        EXPECT_EQ(OpenMessageBoxes(), 0);
    });
}

// The totals count the rows and their data sizes in kilobytes rounded up after every change: "<<" removes
// the selected rows, "All Clear" every row, and Send goes with the last row.
TEST_F(PickerTest, TotalsFollowAdditionsAndRemovals)
{
    WriteDesignOfSize(In("thousand.vbd"), 1000, 300);
    WriteFileBytes(In("tiny.vbd"), std::string(30, '\0').data(), 30);  // no end record: its file size
    WriteDesignOfSize(In("exact.vbd"), 1024);
    Run(WorkDir(), [&](Ui &u, Picker &p) {
        p.Select({"thousand.vbd", "tiny.vbd"});
        p.Press(u, IDC_PICKER_ADD);
        EXPECT_EQ(p.Rows(1), (Names{"1,000", "30"}));
        EXPECT_EQ(p.Totals(), "Designs : 2  ,  Memory : 2 K bytes");
        p.AddTyped(u, {"exact.vbd"});
        p.SelectRows({0, 1});
        p.Press(u, IDC_PICKER_REMOVE);
        EXPECT_EQ(p.Rows(), Names{"exact.vbd"});
        EXPECT_EQ(p.Totals(), "Designs : 1  ,  Memory : 1 K bytes");
        p.Press(u, IDC_PICKER_CLEAR_ALL);
        EXPECT_EQ(p.Totals(), "Designs : 0  ,  Memory : 0 K bytes");
        EXPECT_FALSE(IsControlEnabled(p.child, IDC_PICKER_SEND));
    });
}

// Send with an empty list (Enter reaches it while the button is disabled) says there is nothing to send and
// writes no send list.
TEST_F(PickerTest, SendWithAnEmptyListSaysSo)
{
    Run(WorkDir(), [&](Ui &u, Picker &p) {
        PostMessageA(p.child, WM_COMMAND, MAKEWPARAM(IDC_PICKER_SEND, BN_CLICKED),
                     (LPARAM)GetDlgItem(p.child, IDC_PICKER_SEND));
        u.Answer(u.WaitMessageBox("Download"), IDOK);
        PassPosted(u, p.chosen);
    });
    EXPECT_EQ(ModuleMessages(), (std::vector<Shown>{{"Download", "no data available.", MB_ICONEXCLAMATION}}));
    EXPECT_FALSE(FileExists(TempFile("SendList.tp$")));
}

// The list holds 100 designs: an addition stops at the 100th and says so once; a design already listed is
// passed over quietly however full the list is.
TEST_F(PickerTest, TheListStopsAtTheHundredthDesign)
{
    Names first;
    for (int i = 0; i < 99; ++i)
        first.push_back(WriteDesign(In("d" + std::to_string(100 + i) + ".vbd"), 40).substr(WorkDir().size() + 1));
    for (const char *name : {"n1.vbd", "n2.vbd", "n3.vbd"})
        WriteDesign(In(name), 40);
    Run(WorkDir(), [&](Ui &u, Picker &p) {
        p.Select(first);
        p.Press(u, IDC_PICKER_ADD);
        EXPECT_EQ(p.Rows().size(), 99u);
        p.Select({"n1.vbd", "n2.vbd", "n3.vbd"});
        u.Click(p.child, IDC_PICKER_ADD);
        MessageBoxInfo box = u.WaitMessageBox("Attention");
        EXPECT_EQ(box.text, "100 designs have been selected.\nNo more design can be selected.");
        EXPECT_EQ(p.Rows().size(), 100u);
        EXPECT_EQ(p.Rows().back(), "n1.vbd");
        u.Answer(box, IDOK);
        p.AddTyped(u, {"d100.vbd"});
        EXPECT_EQ(p.Rows().size(), 100u);
        EXPECT_EQ(OpenMessageBoxes(), 0);
    });
}

// "Open Folder" opens a selected folder and nothing else; what the common dialog wrote last goes back to the
// caller. In the root a name joins with one backslash; several names leave "C:", and that goes back.
TEST_F(PickerTest, FoldersAndWhatGoesBackToTheCaller)
{
    WriteDesign(In("rose.vbd"), 300);
    CreateDirectoryA(In("sub").c_str(), NULL);
    WriteDesign(In("sub\\daisy.vbd"), 300);
    std::string folderOut = Run(WorkDir(), [&](Ui &u, Picker &p) {
        p.Select({"rose.vbd"});
        p.Press(u, IDOK, p.common);
        PassPosted(u, p.chosen);
        EXPECT_TRUE(IsWindow(p.common) && p.Rows().empty()) << "a file selected: the picker stays, adds nothing";
        EXPECT_EQ(p.Folder(), WorkDir());
        p.Select({"sub"});
        p.Press(u, IDOK, p.common);
        u.WaitUntil([&] { return p.Folder() == In("sub"); }, "the folder to open");
        p.Select({"daisy.vbd"});
        p.Press(u, IDOK, p.common);
        EXPECT_TRUE(IsWindow(p.common));
    });
    EXPECT_EQ(folderOut, In("sub\\daisy.vbd"));
    const std::string a = "C:\\pickertest_a.vbd", b = "C:\\pickertest_b.vbd";
    WriteDesign(a, 100);
    WriteDesign(b, 100);
    folderOut = Run("C:\\", [&](Ui &u, Picker &p) {
        p.AddTyped(u, {"pickertest_a.vbd"});
        p.Select({"pickertest_a.vbd", "pickertest_b.vbd"});
        p.Press(u, IDC_PICKER_ADD);
        EXPECT_EQ(p.Rows(3), (Names{a, b}));
    });
    EXPECT_EQ(folderOut, "C:");
    DeleteFileA(a.c_str());
    DeleteFileA(b.c_str());
}

// Ticking "Select Open/Save folder." removes the rows whose name is longer than 36 characters with one
// message; unticking brings nothing back; while ticked such a file cannot be added.
TEST_F(PickerTest, OpenSaveFolderDropsLongNamesAndRefusesThem)
{
    const std::string name36 = RepeatName('m', 36), name37 = RepeatName('x', 37), name40 = RepeatName('y', 40);
    for (const std::string &name : {std::string("a.vbd"), name36, name37, name40})
        WriteDesign(In(name), 100);
    Run(WorkDir(), [&](Ui &u, Picker &p) {
        p.Select({"a.vbd", name36, name37, name40});
        p.Press(u, IDC_PICKER_ADD);
        ASSERT_EQ(p.Rows().size(), 4u);
        u.Click(p.child, IDC_PICKER_OPEN_SAVE);
        u.Answer(u.WaitMessageBox("File Name Error"), IDOK);
        PassPosted(u, p.chosen);
        EXPECT_EQ(p.Rows(), (Names{"a.vbd", name36}));
        EXPECT_EQ(p.Totals().rfind("Designs : 2  ,  Memory : ", 0), 0u) << p.Totals();
        p.Press(u, IDC_PICKER_OPEN_SAVE);  // untick: nothing comes back
        p.Press(u, IDC_PICKER_OPEN_SAVE);
        EXPECT_EQ(p.Rows().size(), 2u);
        EXPECT_EQ(OpenMessageBoxes(), 0) << "nothing left to drop";
        p.Select({name37});
        u.Click(p.child, IDC_PICKER_ADD);
        u.Answer(u.WaitMessageBox("File Name Error"), IDOK);
        PassPosted(u, p.chosen);
        EXPECT_EQ(p.Rows().size(), 2u);
    });
    EXPECT_EQ(ModuleMessages(), (std::vector<Shown>{LONG_NAMES_DROPPED, LongNameRefused(name37)}));
}

// The first ".vbd" above 32700 stitches asks the version; declined (or not askable) it skips the rest of the
// addition and asks again next time; the answer sets the limit (32000 or 64000).
TEST_F(PickerTest, LargeDesignsAskTheVersionAndFollowIt)
{
    for (const char *name : {"a_small.vbd", "d_small.vbd"})
        WriteDesign(In(name), 100);
    WriteDesign(In("b_big.vbd"), 32701);
    WriteDesign(In("c_big.vbd"), 40000);
    WriteDesign(In("e_huge.vbd"), 65536);
    const Names four = {"a_small.vbd", "b_big.vbd", "c_big.vbd", "d_small.vbd"};
    {
        DialogRefusal refusal("Confirm Machine's Version");
        Run(WorkDir(), [&](Ui &u, Picker &p) {
            p.Select(four);
            p.Press(u, IDC_PICKER_ADD);
            p.Press(u, IDC_PICKER_ADD);
            EXPECT_EQ(p.Rows(), Names{"a_small.vbd"});
        });
        EXPECT_EQ(DialogRefusal::Refused(), 2);
    }
    Run(WorkDir(), [&](Ui &u, Picker &p) {
        p.Select(four);
        for (int answer : {IDCANCEL, IDC_VERSION_22}) {
            u.Click(p.child, IDC_PICKER_ADD);
            HWND version = u.WaitDialog("Select Machine's Version");
            EXPECT_EQ(GetWindow(version, GW_OWNER), p.common) << "owned through the child dialog";
            if (answer != IDCANCEL)
                u.Click(version, answer);
            u.Click(version, answer == IDCANCEL ? IDCANCEL : IDOK);
            u.WaitGone(version);
            PassPosted(u, p.chosen);
            EXPECT_EQ(p.Rows(), answer == IDCANCEL ? Names{"a_small.vbd"} : four);
        }
        p.Select({"e_huge.vbd"});
        u.Click(p.child, IDC_PICKER_ADD);
        u.Answer(u.WaitMessageBox("Attention"), IDOK);
        PassPosted(u, p.chosen);
        EXPECT_EQ(p.Rows().size(), 4u);
    });
    EXPECT_EQ(RegDwordBoth("Protocol Ver"), std::make_pair(DWORD(2), DWORD(2)));
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
        u.Answer(u.WaitMessageBox("Attention"), IDOK);
        PassPosted(u, p.chosen);
        p.AddTyped(u, {"big.dat"});
        EXPECT_EQ(p.Rows(), (Names{"exact.vbd", "big.dat"}));
    });
    EXPECT_EQ(ModuleMessages(), (std::vector<Shown>{LargeDesign("e_huge.vbd", 64000), LargeDesign("big.VBD", 32000)}));
}

// Our choices: of a selection of 22,135 characters the whole names among the first 20,479 are kept; a path
// beyond 259 characters is not added and ends the walk as a file that cannot be opened does.
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
    auto wide = [](const std::string &name) { return L"\\\\?\\C:\\pkn\\" + std::wstring(name.begin(), name.end()); };
    for (const std::string &name : {fits, tooLong}) {
        std::vector<char> bytes = DesignBytes(20, 1);
        HANDLE file = CreateFileW(wide(name).c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        DWORD written;
        ASSERT_TRUE(WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL)) << name.size();
        CloseHandle(file);
    }
    Run(folder, [&](Ui &u, Picker &p) {
        p.Select(names);
        EXPECT_EQ(SendMessageA(p.nameBox, WM_GETTEXTLENGTH, 0, 0), 95 * 233);
        p.Press(u, IDC_PICKER_ADD);
        // "C:\pkn\ " takes 8 of the 20,479 characters; 87 quoted names of 233 fit in the rest.
        Names rows = p.Rows();
        ASSERT_EQ(rows.size(), 87u);
        EXPECT_EQ(rows.back(), names[86]);
        EXPECT_EQ(p.Rows(3).back(), folder + "\\" + names[86]);
        p.Press(u, IDC_PICKER_CLEAR_ALL);
        p.AddTyped(u, {tooLong});
        EXPECT_TRUE(p.Rows().empty());
        p.Select({names[0], fits, tooLong, "zz.vbd"});
        p.Press(u, IDC_PICKER_ADD);
        EXPECT_EQ(p.Rows(), (Names{names[0], fits})) << "the walk ends at the long one";
        EXPECT_EQ(p.Rows(3).back().size(), 259u);
    });
    EXPECT_TRUE(RecordedMessageBoxes().empty());
    names.push_back("zz.vbd");
    for (const std::string &name : names)
        DeleteFileA((folder + "\\" + name).c_str());
    for (const std::string &name : {fits, tooLong})
        DeleteFileW(wide(name).c_str());
    RemoveDirectoryA(folder.c_str());
}

// The preview (and its tooltip) follows the selection, a click on a row and the keys, across folders; a
// design that cannot be drawn (its file, no heap, no memory) clears both.
TEST_F(PickerTest, PreviewFollowsTheSelectionAndTheChosenRows)
{
    WriteDesign(In("rose.vbd"), 1500, 0);
    WriteDesign(In("tulip.vbd"), 1500, 1);
    WriteFileText(In("broken.vbd"), "not a design");
    CreateDirectoryA(In("sub").c_str(), NULL);
    WriteDesign(In("sub\\daisy.vbd"), 1500, 2);
    const std::string rose = In("rose.vbd"), tulip = In("tulip.vbd"), daisy = In("sub\\daisy.vbd");
    Run(WorkDir(), [&](Ui &u, Picker &p) {
        // What the preview box shows: its tooltip, and the hoop label when `hoop` is given.
        auto expectShown = [&](const std::string &tip, const char *hoop = nullptr) {
            EXPECT_EQ(p.ToolTip(IDC_PREVIEW_BOX), tip);
            if (hoop)
                EXPECT_EQ(p.Hoop(), hoop);
        };
        EXPECT_EQ(StitchPixels(p.child), 0) << "nothing on show";
        const std::function<void()> undrawable[] = {[&] { p.Select({"broken.vbd"}); },
                                                    [&] { g_heapCreate.Arm(0, 1000); },  // every paint draws anew
                                                    [&] { g_heapAlloc.Arm(0, 1000); }};
        for (auto &make : undrawable) {
            g_heapCreate = g_heapAlloc = CallFault();
            p.Select({"rose.vbd"});
            InvalidateRect(p.child, NULL, FALSE);
            EXPECT_GT(StitchPixels(p.child), 50);
            make();
            InvalidateRect(p.child, NULL, FALSE);
            EXPECT_EQ(StitchPixels(p.child), 0);
            expectShown("Preview", " ");
        }
        g_heapCreate = g_heapAlloc = CallFault();
        p.Select({"rose.vbd"});
        p.Select({"tulip.vbd"}, true);  // the newly selected one is previewed
        expectShown(tulip, "Small Hoop");
        p.Press(u, IDC_PICKER_ADD);
        p.Select({"sub"});
        p.Press(u, IDOK, p.common);
        u.WaitUntil([&] { return p.Folder() == In("sub"); }, "the folder to open");
        PassPosted(u, p.chosen);
        expectShown("Preview");
        p.Select({"daisy.vbd"});
        expectShown(daisy, "Large Hoop");
        p.Press(u, IDC_PICKER_ADD);
        ASSERT_EQ(p.Rows(), (Names{"rose.vbd", "tulip.vbd", "daisy.vbd"}));
        RECT row = {LVIR_BOUNDS};
        SendMessageA(p.chosen, LVM_GETITEMRECT, 0, (LPARAM)&row);
        LPARAM at = MAKELPARAM(row.left + 5, (row.top + row.bottom) / 2);
        PostMessageA(p.chosen, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageA(p.chosen, WM_LBUTTONUP, 0, at);
        PassPosted(u, p.chosen);
        expectShown(rose, "Normal Hoop");
        const struct {
            int key;
            const std::string &shown;
        } keys[] = {{VK_DOWN, tulip}, {VK_END, daisy}, {VK_UP, tulip}, {VK_PRIOR, rose}, {VK_NEXT, daisy},
                    {VK_SPACE, daisy}};
        for (const auto &k : keys) {
            PostMessageA(p.chosen, WM_KEYDOWN, k.key, 0);
            PassPosted(u, p.chosen);
            PassPosted(u, p.chosen);  // the key's own preview command, posted while it was handled
            expectShown(k.shown);
        }
        EXPECT_GT(StitchPixels(p.child), 50);
    });
    EXPECT_TRUE(RecordedMessageBoxes().empty());
}

// Send writes 260-byte records in row order and presets the location (6); a list that cannot be made or
// written is told and the picker stays open. The writer itself (linked in) refuses an empty list.
TEST_F(PickerTest, SendWritesTheListOrStaysOpenWhenItCannot)
{
    for (const char *name : {"c.vbd", "a.vbd", "b.vbd"})
        WriteDesign(In(name), 300);
    std::vector<char> list;
    Run(WorkDir(), [&](Ui &u, Picker &p) {
        p.AddTyped(u, {"c.vbd", "a.vbd", "b.vbd"});
        u.Click(p.child, IDC_PICKER_ATA_CARD);
        u.Click(p.child, IDC_PICKER_OPEN_SAVE);
        CreateDirectoryA(TempFile("SendList.tp$").c_str(), NULL);
        WatchFile("SendList.tp$");
        g_fileWrite.Arm(0);
        for (int i = 0; i < 2; ++i) {  // the folder in the way, then the write that fails
            u.Click(p.child, IDC_PICKER_SEND);
            u.Answer(u.WaitMessageBox("Error"), IDOK);
            PassPosted(u, p.chosen);
            PassPosted(u, p.chosen);  // focus coming back to Send sends nothing
            EXPECT_TRUE(IsWindow(p.common)) << "the picker stays open";
            EXPECT_EQ(OpenMessageBoxes(), 0);
            RemoveDirectoryA(TempFile("SendList.tp$").c_str());
        }
        u.Click(p.child, IDC_PICKER_SEND);
        u.WaitGone(p.common);
        HWND send = u.WaitDialog(SEND_DESIGNS);
        list = ReadFileBytes(TempFile("SendList.tp$"));
        EXPECT_FALSE(IsChecked(send, IDC_SEND_BUILTIN));
        EXPECT_TRUE(IsChecked(send, IDC_SEND_ATA_CARD));
        EXPECT_TRUE(IsChecked(send, IDC_SEND_OPEN_SAVE));
        u.Click(send, IDOK);
        u.WaitGone(send, 60000);
    });
    std::vector<char> expected(780, 0);
    for (int i = 0; i < 3; ++i)
        strcpy(&expected[260 * i], In("cab"[i] + std::string(".vbd")).c_str());
    EXPECT_TRUE(list == expected);
    EXPECT_EQ(StoredNames(6), (Names{"c.vbd", "a.vbd", "b.vbd"}));
    EXPECT_EQ(CallsOf("Protocol_Seq_Download").size(), 1u);
    EXPECT_FALSE(FileExists(TempFile("SendList.tp$")));
    EXPECT_EQ(Dll().GetTransferStatus(), 0u);
    HWND rows = CreateWindowA(WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 0, 100, 100, Owner(), NULL, NULL, NULL);
    UiScript ui([](Ui &u) { u.Answer(u.WaitMessageBox("error"), IDOK); });
    EXPECT_FALSE(::WriteSendList(Owner(), rows, In("SendList.tp$").c_str()));
    ui.Join();
    DestroyWindow(rows);
    EXPECT_FALSE(FileExists(In("SendList.tp$")));
    EXPECT_EQ(ModuleMessages(), (std::vector<Shown>{{"Error", "Failed to open a temporary file.", MB_ICONEXCLAMATION},
                                                    {"Error", "Failed to write a temporary file.", MB_ICONEXCLAMATION},
                                                    {"error", "No data available.", MB_ICONEXCLAMATION}}));
}

// The list-cut flag outlives its export: after a host's list was cut to fill the built-in memory, a picker
// send there is refused, and the cut's message follows the refusal.
TEST_F(PickerTest, AFormerCutIsToldAgainAfterARefusedPickerSend)
{
    std::vector<char> seed = DesignBytes(10, 0);
    for (int i = 0; i < 97; ++i)
        linksim::StoreDesign(1, "seed" + std::to_string(i) + ".vbd", seed.data(), seed.size());
    Names paths;
    for (const char *name : {"a.vbd", "b.vbd", "c.vbd", "d.vbd", "e.vbd"})
        paths.push_back(WriteDesign(In(name), 300));
    UiScript host([](Ui &u) {
        HWND send = u.WaitDialog(SEND_DESIGNS);
        u.Click(send, IDOK);
        AnswerUntilGone(u, send);
    });
    EXPECT_EQ(Dll().DirectFilesDownload(Owner(), WriteSendList(In("host.lst"), paths).c_str(), 0), 1);
    host.Join();
    ASSERT_EQ(ModuleMessages(), std::vector<Shown>{LIST_CUT});
    ClearRecordedMessageBoxes();
    Run(WorkDir(), [&](Ui &u, Picker &p) {
        p.AddTyped(u, {"e.vbd"});
        u.Click(p.child, IDC_PICKER_SEND);
        u.WaitGone(p.common);
        HWND send = u.WaitDialog(SEND_DESIGNS);
        u.Click(send, IDOK);
        AnswerUntilGone(u, send);
    });
    EXPECT_EQ(ModuleMessages(), (std::vector<Shown>{LOCATION_FULL, LIST_CUT}));
    EXPECT_EQ(StoredNames(1).size(), 100u);
}

BOOL WINAPI FailingOpenDialog(LPOPENFILENAMEA)
{
    return FALSE;
}
DWORD WINAPI DialogFailure()
{
    return CDERR_DIALOGFAILURE;
}

// The send list goes on every way out: Send Designs closed before Start, the picker closed, Send Designs not
// created (0, USB terminated), the common dialog failing (0, USB unloaded without Terminate).
TEST_F(PickerTest, EveryWayOutDeletesTheSendList)
{
    WriteDesign(In("rose.vbd"), 300);
    Run(WorkDir(), [&](Ui &u, Picker &p) {
        p.AddTyped(u, {"rose.vbd"});
        u.Click(p.child, IDC_PICKER_SEND);
        HWND send = u.WaitDialog(SEND_DESIGNS);
        EXPECT_TRUE(FileExists(TempFile("SendList.tp$"))) << "the list written";
        EXPECT_TRUE(IsChecked(send, IDC_SEND_BUILTIN));
        EXPECT_FALSE(IsChecked(send, IDC_SEND_ATA_CARD));
        EXPECT_FALSE(IsChecked(send, IDC_SEND_OPEN_SAVE));
        u.Click(send, IDCANCEL);
        u.WaitGone(send);
    });
    EXPECT_FALSE(FileExists(TempFile("SendList.tp$")));
    WriteFileText(TempFile("SendList.tp$"), std::string(260, 'x'));
    Run(WorkDir(), [&](Ui &u, Picker &p) {
        p.AddTyped(u, {"rose.vbd"});
        u.Close(p.common);
        u.WaitGone(p.common);
    });
    EXPECT_FALSE(FileExists(TempFile("SendList.tp$")));
    EXPECT_TRUE(SimOps().empty()) << "nothing reached the machine";
    UseUsb(Usb::Present);
    std::unique_ptr<DialogRefusal> refusal(new DialogRefusal("Send Designs"));
    Run(WorkDir(), [&](Ui &u, Picker &p) {
        p.AddTyped(u, {"rose.vbd"});
        u.Click(p.child, IDC_PICKER_SEND);
        u.WaitGone(p.common);
    }, 0);
    EXPECT_EQ(DialogRefusal::Refused(), 1);
    refusal.reset();
    EXPECT_FALSE(FileExists(TempFile("SendList.tp$")));
    EXPECT_EQ(SimOps(), Names{"USB_Terminate"});
    EXPECT_EQ(GetModuleHandleA("VEMBUSB.DLL"), (HMODULE)NULL);
    // Wine's own dialog opens in every case a test can make, so its answer is replaced.
    linksim::ResetMachine();
    WriteFileText(TempFile("SendList.tp$"), std::string(260, 'x'));
    ASSERT_TRUE(uidrive::PatchImport(Dll().module, "comdlg32.dll", "GetOpenFileNameA", (void *)FailingOpenDialog));
    ASSERT_TRUE(uidrive::PatchImport(Dll().module, "comdlg32.dll", "CommDlgExtendedError", (void *)DialogFailure));
    char folder[MAX_PATH];
    lstrcpynA(folder, WorkDir().c_str(), sizeof folder);
    EXPECT_EQ(Dll().TransferVBDFiles(Owner(), folder), 0);
    EXPECT_FALSE(FileExists(TempFile("SendList.tp$")));
    EXPECT_TRUE(SimOps().empty()) << "no USB_Terminate";
    EXPECT_EQ(GetModuleHandleA("VEMBUSB.DLL"), (HMODULE)NULL);
    EXPECT_TRUE(ModuleMessages().empty());
}

}  // namespace
