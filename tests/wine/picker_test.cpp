// The design picker (TransferVBDFiles) driven as a user drives it: Wine's own common
// file-open dialog with the module's child dialog, files typed into the file name box or
// selected in the file list, ">>", "<<", "All Clear", "Open Folder", the Open/Save check box.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "picker_support.h"

using namespace vt;
using namespace pt;

namespace {

class Picker : public VembTest {
protected:
    // Opens the picker over `folder` with `script` running beside it; returns the export's
    // result and leaves the folder string the caller gets back in `folderOut`.
    BOOL RunPicker(const std::string &folder, std::function<void(Ui &, PickerWindows &)> script,
                   std::string *folderOut = nullptr)
    {
        char buffer[MAX_PATH] = "";
        lstrcpynA(buffer, folder.c_str(), sizeof buffer);
        UiScript ui([&](Ui &u) {
            PickerWindows p = WaitPicker(u);
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
    MainThreadBarrier barrier_;
};

const char LIST_FULL[] = "100 designs have been selected.\nNo more design can be selected.";
const char LONG_NAMES_DROPPED[] =
    "The Open/Save Folder does not support the long file names of more than 32 characters.Some files failed to "
    "transfer.";

TEST_F(Picker, OpensWithItsControlsBesideTheCommonDialogs)
{
    WriteDesign(In("rose.vbd"), 300);
    BOOL result = RunPicker(WorkDir(), [&](Ui &u, PickerWindows &p) {
        EXPECT_EQ(ControlText(p.common, IDOK), "Open Folder");
        EXPECT_EQ(ControlText(p.common, IDCANCEL), "Cancel");
        EXPECT_TRUE(IsChecked(p.child, IDC_PICKER_BUILTIN));
        EXPECT_FALSE(IsChecked(p.child, IDC_PICKER_ATA_CARD));
        EXPECT_FALSE(IsChecked(p.child, IDC_PICKER_OPEN_SAVE));
        EXPECT_FALSE(IsControlEnabled(p.child, IDC_PICKER_SEND));
        EXPECT_EQ(Totals(p), "Designs : 0  ,  Memory : 0 K bytes");
        EXPECT_EQ(CurrentFolder(p), WorkDir()) << "opens in the caller's folder";

        // Columns: title and width, in order.
        const std::pair<const char *, int> columns[] = {{"File Name", 130}, {"Size", 50}, {"Modified", 100},
                                                        {" Path", 5}};
        for (int i = 0; i < 4; ++i) {
            char title[64] = "";
            LVCOLUMNA column = {};
            column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
            column.pszText = title;
            column.cchTextMax = sizeof title;
            ASSERT_TRUE(SendMessageA(p.chosen, LVM_GETCOLUMNA, i, (LPARAM)&column)) << i;
            EXPECT_EQ(std::string(title), columns[i].first);
            EXPECT_EQ(column.cx, columns[i].second) << title;
            EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT) << title;
        }

        // Send goes below Cancel, as far below it as Cancel is below OK, as wide as Cancel;
        // the location choices follow it, 20 pixels to its left.
        RECT ok, cancel, send, group, builtin, ata, openSave;
        GetWindowRect(GetDlgItem(p.common, IDOK), &ok);
        GetWindowRect(GetDlgItem(p.common, IDCANCEL), &cancel);
        GetWindowRect(GetDlgItem(p.child, IDC_PICKER_SEND), &send);
        GetWindowRect(GetDlgItem(p.child, IDC_PICKER_SEND_GROUP), &group);
        GetWindowRect(GetDlgItem(p.child, IDC_PICKER_BUILTIN), &builtin);
        GetWindowRect(GetDlgItem(p.child, IDC_PICKER_ATA_CARD), &ata);
        GetWindowRect(GetDlgItem(p.child, IDC_PICKER_OPEN_SAVE), &openSave);
        EXPECT_EQ(send.left, cancel.left);
        EXPECT_EQ(send.right, cancel.right);
        EXPECT_EQ(send.top, cancel.bottom + (cancel.top - ok.bottom));
        EXPECT_EQ(group.top, send.top);
        EXPECT_EQ(group.right, send.left - 20);
        // Inside the group box as the template places them (in dialog units: radios 7 and
        // 54 right of its left edge and 7 below its top; the check box 26 below, 3 pixels up).
        EXPECT_EQ(builtin.top, ata.top);
        EXPECT_GT(builtin.left, group.left);
        EXPECT_GT(ata.left, builtin.right);
        EXPECT_GT(builtin.top, group.top);
        EXPECT_LT(builtin.bottom, group.bottom);
        EXPECT_EQ(openSave.left, builtin.left);
        EXPECT_GT(openSave.top, builtin.bottom - 3);
        // The whole common dialog is centred on the screen with the child dialog's size.
        RECT common, child;
        GetWindowRect(p.common, &common);
        GetWindowRect(p.child, &child);
        EXPECT_EQ(common.right - common.left, child.right - child.left);
        EXPECT_EQ(common.bottom - common.top, child.bottom - child.top);
        EXPECT_EQ(common.left, (GetSystemMetrics(SM_CXSCREEN) - (child.right - child.left)) / 2);
        EXPECT_EQ(common.top, (GetSystemMetrics(SM_CYSCREEN) - (child.bottom - child.top)) / 2);

        // The tooltip table.
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
        };
        for (auto &tip : tips)
            EXPECT_EQ(ToolTipText(p, tip.first), tip.second) << tip.first;
        EXPECT_EQ(ToolTipText(p, IDC_PICKER_OPEN_SAVE), "(no tool)") << "the check box has no tooltip";
        (void)u;
    });
    EXPECT_EQ(result, 1) << "closed without sending";
    EXPECT_TRUE(RecordedMessageBoxes().empty());
}

TEST_F(Picker, TypedNameAddsItsRowOnceWhateverTheLetterCase)
{
    WriteDesignOfSize(In("Rose.vbd"), 4150, 1000);  // 1,000 bytes behind the end record
    SetLastWrite(In("Rose.vbd"), 2001, 3, 5, 9, 7, 59);
    WriteDesignOfSize(In("tulip.vbd"), 700);
    BOOL result = RunPicker(WorkDir(), [&](Ui &u, PickerWindows &p) {
        TypeName(p, "Rose.vbd");
        Press(u, barrier_, p.child, IDC_PICKER_ADD);
        std::vector<Row> rows = Rows(p);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].name, "Rose.vbd");
        EXPECT_EQ(rows[0].size, "4,150") << "the design data size, not the file size";
        EXPECT_EQ(rows[0].date, "2001/03/05 09:07");
        EXPECT_EQ(rows[0].path, In("Rose.vbd"));
        EXPECT_EQ(Totals(p), "Designs : 1  ,  Memory : 5 K bytes");
        EXPECT_TRUE(IsControlEnabled(p.child, IDC_PICKER_SEND));

        for (const char *again : {"Rose.vbd", "ROSE.VBD", "rose.vbd"}) {
            TypeName(p, again);
            Press(u, barrier_, p.child, IDC_PICKER_ADD);
            EXPECT_EQ(Rows(p).size(), 1u) << again;
            EXPECT_EQ(OpenMessageBoxes(), 0) << again;
        }
        TypeName(p, "tulip.vbd");
        Press(u, barrier_, p.child, IDC_PICKER_ADD);
        EXPECT_EQ(RowNames(p), (std::vector<std::string>{"Rose.vbd", "tulip.vbd"})) << "appended at the end";
        EXPECT_EQ(Rows(p)[1].size, "700");
        // A name that names no file adds nothing and shows nothing.
        TypeName(p, "missing.vbd");
        Press(u, barrier_, p.child, IDC_PICKER_ADD);
        EXPECT_EQ(Rows(p).size(), 2u);
    });
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(RecordedMessageBoxes().empty());
}

TEST_F(Picker, TotalsCountDesignDataInWholeKilobytesUntilAllClear)
{
    WriteDesignOfSize(In("thousand.vbd"), 1000, 300);
    std::vector<char> tiny(30, 0);  // no end record: its file size counts
    ASSERT_TRUE(WriteFileBytes(In("tiny.vbd"), tiny.data(), tiny.size()));
    WriteDesignOfSize(In("exact.vbd"), 1024);
    RunPicker(WorkDir(), [&](Ui &u, PickerWindows &p) {
        SelectFiles(p, {"thousand.vbd", "tiny.vbd"});
        Press(u, barrier_, p.child, IDC_PICKER_ADD);
        std::vector<Row> rows = Rows(p);
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[0].size, "1,000");
        EXPECT_EQ(rows[1].size, "30");
        EXPECT_EQ(Totals(p), "Designs : 2  ,  Memory : 2 K bytes");

        // "<<" removes the selected rows.
        SelectRows(p, {0, 1});
        Press(u, barrier_, p.child, IDC_PICKER_REMOVE);
        EXPECT_TRUE(Rows(p).empty());
        EXPECT_EQ(Totals(p), "Designs : 0  ,  Memory : 0 K bytes");
        EXPECT_FALSE(IsControlEnabled(p.child, IDC_PICKER_SEND));

        SelectFiles(p, {"exact.vbd"});
        Press(u, barrier_, p.child, IDC_PICKER_ADD);
        EXPECT_EQ(Totals(p), "Designs : 1  ,  Memory : 1 K bytes");
        SelectFiles(p, {"exact.vbd", "thousand.vbd", "tiny.vbd"});
        Press(u, barrier_, p.child, IDC_PICKER_ADD);
        EXPECT_EQ(RowNames(p), (std::vector<std::string>{"exact.vbd", "thousand.vbd", "tiny.vbd"}));
        SelectRows(p, {1});
        Press(u, barrier_, p.child, IDC_PICKER_REMOVE);
        EXPECT_EQ(RowNames(p), (std::vector<std::string>{"exact.vbd", "tiny.vbd"}));
        EXPECT_EQ(Totals(p), "Designs : 2  ,  Memory : 2 K bytes");
        SelectRows(p, {});
        Press(u, barrier_, p.child, IDC_PICKER_REMOVE);
        EXPECT_EQ(Rows(p).size(), 2u) << "no row selected: nothing removed";

        Press(u, barrier_, p.child, IDC_PICKER_CLEAR_ALL);
        EXPECT_TRUE(Rows(p).empty());
        EXPECT_EQ(Totals(p), "Designs : 0  ,  Memory : 0 K bytes");
        EXPECT_FALSE(IsControlEnabled(p.child, IDC_PICKER_SEND));

        // Send itself refuses an empty list.
        PostMessageA(p.child, WM_COMMAND, MAKEWPARAM(IDC_PICKER_SEND, BN_CLICKED),
                     (LPARAM)GetDlgItem(p.child, IDC_PICKER_SEND));
        MessageBoxInfo box = u.WaitMessageBox("Download");
        EXPECT_EQ(box.text, "no data available.");
        EXPECT_EQ(box.style, (UINT)MB_ICONEXCLAMATION);
        u.Answer(box, IDOK);
        barrier_.Pass(u);
        EXPECT_TRUE(IsWindow(p.common)) << "the picker stays open";
    });
    EXPECT_FALSE(FileExists(TempFile("SendList.tp$")));
}

TEST_F(Picker, HundredthDesignFillsTheListAndTheNextOnesAreRefused)
{
    std::vector<std::string> first;
    for (int i = 0; i < 99; ++i) {
        char name[16];
        snprintf(name, sizeof name, "d%03d.vbd", i);
        first.push_back(name);
        WriteDesign(In(name), 40);
    }
    for (const char *name : {"n1.vbd", "n2.vbd", "n3.vbd"})
        WriteDesign(In(name), 40);
    RunPicker(WorkDir(), [&](Ui &u, PickerWindows &p) {
        SelectFiles(p, first);
        Press(u, barrier_, p.child, IDC_PICKER_ADD);
        ASSERT_EQ(Rows(p).size(), 99u);
        EXPECT_EQ(OpenMessageBoxes(), 0);

        SelectFiles(p, {"n1.vbd", "n2.vbd", "n3.vbd"});
        u.Click(p.child, IDC_PICKER_ADD);
        MessageBoxInfo box = u.WaitMessageBox("Attention");
        EXPECT_EQ(box.text, LIST_FULL);
        EXPECT_EQ(box.style, (UINT)MB_ICONHAND);
        std::vector<std::string> names = RowNames(p);
        ASSERT_EQ(names.size(), 100u);
        EXPECT_EQ(names.back(), "n1.vbd");
        EXPECT_EQ(Totals(p).rfind("Designs : 100  ,  Memory : ", 0), 0u) << Totals(p);
        u.Answer(box, IDOK);
        barrier_.Pass(u);
        EXPECT_EQ(OpenMessageBoxes(), 0) << "shown once";

        // A design already listed is passed over even in a full list, without a message.
        SelectFiles(p, {});
        TypeName(p, "d000.vbd");
        Press(u, barrier_, p.child, IDC_PICKER_ADD);
        EXPECT_EQ(OpenMessageBoxes(), 0);
        EXPECT_EQ(Rows(p).size(), 100u);
    });
    int fullMessages = 0;
    for (const MessageBoxCall &call : RecordedMessageBoxes())
        fullMessages += call.text == LIST_FULL;
    EXPECT_EQ(fullMessages, 1);
}

TEST_F(Picker, OpenFolderOpensFoldersAndNeverEndsThePicker)
{
    WriteDesign(In("rose.vbd"), 300);
    CreateDirectoryA(In("sub").c_str(), NULL);
    WriteDesign(In("sub\\daisy.vbd"), 300);
    std::string folderOut;
    BOOL result = RunPicker(
        WorkDir(),
        [&](Ui &u, PickerWindows &p) {
            SelectFiles(p, {"rose.vbd"});
            Press(u, barrier_, p.common, IDOK);
            barrier_.Pass(u);
            EXPECT_TRUE(IsWindow(p.common)) << "a file selected: the picker stays";
            EXPECT_EQ(OpenMessageBoxes(), 0);
            EXPECT_TRUE(Rows(p).empty()) << "and nothing is added";
            EXPECT_EQ(CurrentFolder(p), WorkDir());

            SelectFiles(p, {"sub"});
            Press(u, barrier_, p.common, IDOK);
            u.WaitUntil([&] { return CurrentFolder(p) == In("sub"); }, "the folder to open");
            EXPECT_EQ(FileListItems(p), std::vector<std::string>{"daisy.vbd"});
            EXPECT_TRUE(Rows(p).empty());

            // Back up, select the file again and press "Open Folder" last: the common dialog
            // writes the file's path into the file buffer, which the caller gets back.
            SelectFiles(p, {});
            TypeName(p, "..");
            Press(u, barrier_, p.common, IDOK);
            u.WaitUntil([&] { return CurrentFolder(p) == WorkDir(); }, "the folder above");
            SelectFiles(p, {"rose.vbd"});
            Press(u, barrier_, p.common, IDOK);
            EXPECT_TRUE(IsWindow(p.common));
        },
        &folderOut);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(folderOut, In("rose.vbd"));
}

TEST_F(Picker, OpenSaveFolderDropsLongNamesAndRefusesThem)
{
    const std::string name36 = RepeatName('m', 36), name37 = RepeatName('x', 37), name40 = RepeatName('y', 40);
    for (const std::string &name : {std::string("a.vbd"), name36, name37, name40})
        WriteDesign(In(name), 100);
    RunPicker(WorkDir(), [&](Ui &u, PickerWindows &p) {
        SelectFiles(p, {"a.vbd", name36, name37, name40});
        Press(u, barrier_, p.child, IDC_PICKER_ADD);
        ASSERT_EQ(Rows(p).size(), 4u);

        u.Click(p.child, IDC_PICKER_OPEN_SAVE);
        MessageBoxInfo box = u.WaitMessageBox("File Name Error");
        EXPECT_EQ(box.text, LONG_NAMES_DROPPED);
        EXPECT_EQ(box.style, (UINT)MB_ICONEXCLAMATION);
        u.Answer(box, IDOK);
        barrier_.Pass(u);
        EXPECT_EQ(OpenMessageBoxes(), 0) << "one message for both names";
        EXPECT_EQ(RowNames(p), (std::vector<std::string>{"a.vbd", name36}));
        EXPECT_EQ(Totals(p).rfind("Designs : 2  ,  Memory : ", 0), 0u) << Totals(p);

        Press(u, barrier_, p.child, IDC_PICKER_OPEN_SAVE);  // untick: nothing comes back
        EXPECT_FALSE(IsChecked(p.child, IDC_PICKER_OPEN_SAVE));
        EXPECT_EQ(Rows(p).size(), 2u);
        Press(u, barrier_, p.child, IDC_PICKER_OPEN_SAVE);  // tick again: nothing to drop
        EXPECT_TRUE(IsChecked(p.child, IDC_PICKER_OPEN_SAVE));
        EXPECT_EQ(OpenMessageBoxes(), 0);

        // While ticked, a long name cannot be added.
        SelectFiles(p, {name37});
        u.Click(p.child, IDC_PICKER_ADD);
        box = u.WaitMessageBox("File Name Error");
        EXPECT_EQ(box.text, "The Open/Save Folder does not support the long file names such as \"" + name37 +
                                "\".\nPlease shorten the file name to 32 characters or less.");
        EXPECT_EQ(box.style, (UINT)MB_ICONHAND);
        u.Answer(box, IDOK);
        barrier_.Pass(u);
        EXPECT_EQ(Rows(p).size(), 2u);
        EXPECT_EQ(OpenMessageBoxes(), 0);
    });
    int dropped = 0;
    for (const MessageBoxCall &call : RecordedMessageBoxes())
        dropped += call.text == LONG_NAMES_DROPPED;
    EXPECT_EQ(dropped, 1);
}

TEST_F(Picker, FirstLargeDesignAsksTheVersionAndDecliningSkipsTheRestOfThatAddition)
{
    WriteDesign(In("a_small.vbd"), 100);
    WriteDesign(In("b_big.vbd"), 32701);
    WriteDesign(In("c_big.vbd"), 40000);
    WriteDesign(In("d_small.vbd"), 100);
    WriteDesign(In("e_huge.vbd"), 65536);
    RunPicker(WorkDir(), [&](Ui &u, PickerWindows &p) {
        SelectFiles(p, {"a_small.vbd", "b_big.vbd", "c_big.vbd", "d_small.vbd"});
        u.Click(p.child, IDC_PICKER_ADD);
        HWND version = u.WaitDialog("Select Machine's Version");
        EXPECT_EQ(GetWindow(version, GW_OWNER), p.common) << "owned through the child dialog";
        u.Click(version, IDCANCEL);
        u.WaitGone(version);
        barrier_.Pass(u);
        EXPECT_EQ(RowNames(p), std::vector<std::string>{"a_small.vbd"}) << "the rest of the addition is skipped";
        EXPECT_EQ(OpenMessageBoxes(), 0);

        // The next addition asks again; confirming version 2.2 lets large designs in.
        u.Click(p.child, IDC_PICKER_ADD);
        version = u.WaitDialog("Select Machine's Version");
        u.Click(version, 1031 /* Version 2.2 */);
        u.Click(version, IDOK);
        u.WaitGone(version);
        barrier_.Pass(u);
        EXPECT_EQ(RowNames(p),
                  (std::vector<std::string>{"a_small.vbd", "b_big.vbd", "c_big.vbd", "d_small.vbd"}));

        // Asked once per opening: above the limit of version 2.2 the design is refused.
        SelectFiles(p, {"e_huge.vbd"});
        u.Click(p.child, IDC_PICKER_ADD);
        MessageBoxInfo box = u.WaitMessageBox("Attention");
        EXPECT_EQ(box.text,
                  "In this menu, you cannot send a large design.\nThe \"e_huge.vbd\" design exceeds 64000 stitch counts.");
        EXPECT_EQ(box.style, (UINT)MB_ICONINFORMATION);
        u.Answer(box, IDOK);
        barrier_.Pass(u);
        EXPECT_EQ(Rows(p).size(), 4u);
    });
    DWORD stored = 0;
    EXPECT_TRUE(ReadRegDword(Key::Tambora, "Protocol Ver", &stored));
    EXPECT_EQ(stored, 2u);
}

TEST_F(Picker, LargeDesignsFollowTheStoredVersion)
{
    WriteDesign(In("exact.vbd"), 32700);
    WriteDesign(In("big.VBD"), 32701);
    WriteDesign(In("big.dat"), 40000);  // typed: only ".vbd" names meet the stitch limit
    SetRegDword(Key::Tambora, "Protocol Ver", 1);
    RunPicker(WorkDir(), [&](Ui &u, PickerWindows &p) {
        TypeName(p, "exact.vbd");
        Press(u, barrier_, p.child, IDC_PICKER_ADD);
        EXPECT_EQ(Rows(p).size(), 1u) << "32700 stitches ask nothing";
        EXPECT_EQ(OpenMessageBoxes(), 0);

        TypeName(p, "big.VBD");
        u.Click(p.child, IDC_PICKER_ADD);
        HWND version = u.WaitDialog("Confirm Machine's Version");
        u.Click(version, IDOK);  // keeps "2.1 or earlier"
        u.WaitGone(version);
        MessageBoxInfo box = u.WaitMessageBox("Attention");
        EXPECT_EQ(box.text,
                  "In this menu, you cannot send a large design.\nThe \"big.VBD\" design exceeds 32000 stitch counts.");
        u.Answer(box, IDOK);
        barrier_.Pass(u);
        EXPECT_EQ(Rows(p).size(), 1u);

        TypeName(p, "big.dat");
        Press(u, barrier_, p.child, IDC_PICKER_ADD);
        EXPECT_EQ(RowNames(p), (std::vector<std::string>{"exact.vbd", "big.dat"}));
        EXPECT_EQ(OpenMessageBoxes(), 0);
    });
}

TEST_F(Picker, VersionTwoStoredAddsLargeDesignsWithoutAsking)
{
    WriteDesign(In("big.vbd"), 40000);
    SetRegDword(Key::Tambora, "Protocol Ver", 2);
    RunPicker(WorkDir(), [&](Ui &u, PickerWindows &p) {
        TypeName(p, "big.vbd");
        Press(u, barrier_, p.child, IDC_PICKER_ADD);
        EXPECT_EQ(RowNames(p), std::vector<std::string>{"big.vbd"});
        EXPECT_EQ(OpenMessageBoxes(), 0);
        for (HWND w : vt::TopLevelWindows())
            EXPECT_EQ(WindowText(w).find("Machine's Version"), std::string::npos) << DescribeWindows();
    });
}

// C:\ is the root of the Wine prefix's drive; the names are the test's own.
TEST_F(Picker, RootFolderJoinsWithOneBackslash)
{
    const std::string a = "C:\\pickertest_a.vbd", b = "C:\\pickertest_b.vbd";
    WriteDesign(a, 100);
    WriteDesign(b, 100);
    std::string folderOut;
    RunPicker(
        "C:\\",
        [&](Ui &u, PickerWindows &p) {
            EXPECT_EQ(CurrentFolder(p), "C:\\");
            TypeName(p, "pickertest_a.vbd");
            Press(u, barrier_, p.child, IDC_PICKER_ADD);
            SelectFiles(p, {"pickertest_a.vbd", "pickertest_b.vbd"});
            Press(u, barrier_, p.child, IDC_PICKER_ADD);
            std::vector<Row> rows = Rows(p);
            ASSERT_EQ(rows.size(), 2u);
            EXPECT_EQ(rows[0].path, a);
            EXPECT_EQ(rows[1].path, b);
        },
        &folderOut);
    // A several-names reading leaves the folder without its trailing backslash.
    EXPECT_EQ(folderOut, "C:");
    DeleteFileA(a.c_str());
    DeleteFileA(b.c_str());
}

// Ninety-five names of 230 characters make a selection of 22,135 characters: the file
// name box gives the first 20,479 and the picker keeps the whole names among them.
TEST_F(Picker, OverlongSelectionKeepsTheWholeNamesThatFit)
{
    const std::string folder = "C:\\pkn";
    CreateDirectoryA(folder.c_str(), NULL);
    std::vector<std::string> names;
    for (int i = 0; i < 95; ++i) {
        char prefix[8];
        snprintf(prefix, sizeof prefix, "%03d", i);
        names.push_back(prefix + RepeatName('w', 227));
        WriteDesign(folder + "\\" + names.back(), 20);
    }
    RunPicker(folder, [&](Ui &u, PickerWindows &p) {
        SelectFiles(p, names);
        EXPECT_EQ(TextOf(p.nameBox).size(), 95u * 233u);
        Press(u, barrier_, p.child, IDC_PICKER_ADD);
        // "C:\pkn\ " takes 8 of the 20,479 characters; 87 quoted names of 233 fit in the rest.
        std::vector<std::string> rows = RowNames(p);
        ASSERT_EQ(rows.size(), 87u);
        EXPECT_EQ(rows.front(), names[0]);
        EXPECT_EQ(rows.back(), names[86]);
        EXPECT_EQ(Rows(p).back().path, folder + "\\" + names[86]);
        EXPECT_EQ(OpenMessageBoxes(), 0);
    });
    for (const std::string &name : names)
        DeleteFileA((folder + "\\" + name).c_str());
    RemoveDirectoryA(folder.c_str());
}

// A file whose folder and name together pass 259 characters cannot be a row (nor be read
// by the module): it is not added, and the walk ends at it as at a file that cannot be
// opened.
TEST_F(Picker, PathBeyondTwoHundredSixtyIsNotAdded)
{
    const std::string folder = "C:\\pkl";
    CreateDirectoryA(folder.c_str(), NULL);
    const std::string longName = RepeatName('b', 252);  // C:\pkl\ + 252 = 259: still fits
    const std::string longer = RepeatName('c', 253);    // 260: too long
    WriteDesign(folder + "\\a.vbd", 20);
    WriteDesign(folder + "\\d.vbd", 20);
    for (const std::string &name : {longName, longer}) {
        std::wstring wide = L"\\\\?\\" + std::wstring(folder.begin(), folder.end()) + L"\\" +
                            std::wstring(name.begin(), name.end());
        HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << name.size();
        std::vector<char> bytes = designgen::MakeDesign({20, 0, {10}});
        DWORD written;
        WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL);
        CloseHandle(file);
    }
    RunPicker(folder, [&](Ui &u, PickerWindows &p) {
        TypeName(p, longer);
        Press(u, barrier_, p.child, IDC_PICKER_ADD);
        EXPECT_TRUE(Rows(p).empty());
        SelectFiles(p, {"a.vbd", longName});
        Press(u, barrier_, p.child, IDC_PICKER_ADD);
        EXPECT_EQ(RowNames(p), (std::vector<std::string>{"a.vbd", longName}));
        EXPECT_EQ(Rows(p)[1].path.size(), 259u);
        SelectFiles(p, {"a.vbd", longer, "d.vbd"});
        Press(u, barrier_, p.child, IDC_PICKER_ADD);
        EXPECT_EQ(RowNames(p), (std::vector<std::string>{"a.vbd", longName})) << "the walk ends at the long one";
        EXPECT_EQ(OpenMessageBoxes(), 0);
    });
    EXPECT_TRUE(RecordedMessageBoxes().empty());
    for (const std::string &name : {longName, longer}) {
        std::wstring wide = L"\\\\?\\" + std::wstring(folder.begin(), folder.end()) + L"\\" +
                            std::wstring(name.begin(), name.end());
        DeleteFileW(wide.c_str());
    }
    DeleteFileA((folder + "\\a.vbd").c_str());
    DeleteFileA((folder + "\\d.vbd").c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST_F(Picker, PreviewFollowsTheSelectionAndTheChosenRows)
{
    WriteDesign(In("rose.vbd"), 1500, 0);
    WriteDesign(In("tulip.vbd"), 1500, 1);
    CreateDirectoryA(In("sub").c_str(), NULL);
    WriteDesign(In("sub\\daisy.vbd"), 1500, 2);
    RunPicker(WorkDir(), [&](Ui &u, PickerWindows &p) {
        Paint(p);
        EXPECT_EQ(StitchPixels(p), 0) << "nothing on show";
        EXPECT_EQ(ToolTipText(p, IDC_PREVIEW_BOX), "Preview");

        SelectFiles(p, {"rose.vbd"});
        Paint(p);
        EXPECT_EQ(ToolTipText(p, IDC_PREVIEW_BOX), In("rose.vbd"));
        EXPECT_EQ(ControlText(p.child, IDC_HOOP_LABEL), "Normal Hoop");
        EXPECT_GT(StitchPixels(p), 50);

        // Adding a file to the selection previews the newly selected one.
        AddToSelection(p, "tulip.vbd");
        Paint(p);
        EXPECT_EQ(ToolTipText(p, IDC_PREVIEW_BOX), In("tulip.vbd"));
        EXPECT_EQ(ControlText(p.child, IDC_HOOP_LABEL), "Small Hoop");
        Press(u, barrier_, p.child, IDC_PICKER_ADD);

        // A change of folder resets the tooltip only.
        SelectFiles(p, {"sub"});
        Press(u, barrier_, p.common, IDOK);
        u.WaitUntil([&] { return CurrentFolder(p) == In("sub"); }, "the folder to open");
        barrier_.Pass(u);
        EXPECT_EQ(ToolTipText(p, IDC_PREVIEW_BOX), "Preview");

        SelectFiles(p, {"daisy.vbd"});
        Paint(p);
        EXPECT_EQ(ToolTipText(p, IDC_PREVIEW_BOX), In("sub\\daisy.vbd"));
        EXPECT_EQ(ControlText(p.child, IDC_HOOP_LABEL), "Large Hoop");
        Press(u, barrier_, p.child, IDC_PICKER_ADD);
        ASSERT_EQ(RowNames(p), (std::vector<std::string>{"rose.vbd", "tulip.vbd", "daisy.vbd"}));

        // A click on a chosen row previews it, and so does every arrow or paging key.
        RECT row = {LVIR_BOUNDS, 0, 0, 0};
        SendMessageA(p.chosen, LVM_GETITEMRECT, 0, (LPARAM)&row);
        LPARAM at = MAKELPARAM(row.left + 5, (row.top + row.bottom) / 2);
        PostMessageA(p.chosen, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageA(p.chosen, WM_LBUTTONUP, 0, at);
        barrier_.Pass(u);
        Paint(p);
        EXPECT_EQ(ToolTipText(p, IDC_PREVIEW_BOX), In("rose.vbd"));
        EXPECT_EQ(ControlText(p.child, IDC_HOOP_LABEL), "Normal Hoop");

        const std::pair<int, std::string> keys[] = {{VK_DOWN, In("tulip.vbd")},
                                                    {VK_END, In("sub\\daisy.vbd")},
                                                    {VK_UP, In("tulip.vbd")},
                                                    {VK_HOME, In("rose.vbd")},
                                                    {VK_NEXT, In("sub\\daisy.vbd")},
                                                    {VK_PRIOR, In("rose.vbd")}};
        for (auto &key : keys) {
            PostMessageA(p.chosen, WM_KEYDOWN, key.first, 0);
            barrier_.Pass(u);
            barrier_.Pass(u);  // the key's own CMD_PREVIEW_SELECTED, posted while it was handled
            Paint(p);
            EXPECT_EQ(ToolTipText(p, IDC_PREVIEW_BOX), key.second) << "key " << key.first;
        }
        // Other keys preview nothing new.
        PostMessageA(p.chosen, WM_KEYDOWN, VK_DOWN, 0);
        barrier_.Pass(u);
        barrier_.Pass(u);
        PostMessageA(p.chosen, WM_KEYDOWN, VK_SPACE, 0);
        barrier_.Pass(u);
        barrier_.Pass(u);
        Paint(p);
        EXPECT_EQ(ToolTipText(p, IDC_PREVIEW_BOX), In("tulip.vbd"));
        EXPECT_GT(StitchPixels(p), 50);
        EXPECT_TRUE(uidrive::SaveWindowPng(p.common, ExeDir() + "picker.png"));
    });
    EXPECT_TRUE(RecordedMessageBoxes().empty());
}

}  // namespace
