// Receiving designs through UploadData: the Receive Designs dialog over the simulator's
// machine, ticking designs, the receive folder, and the receive step with its progress
// dialog and worker.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <shlobj.h>

#include "VembDlg.h"
#include "designgen/design_writer.h"
#include "machinelist_support.h"
#include "receive/receive.h"
#include "receive_designs_res.h"
#include "receive_progress_res.h"
#include "resource.h"
#include "settings_support.h"
#include "vemb_fixture.h"

using namespace vt;

namespace {

const char RECEIVE_COM[] = "Receive Designs - COM Port";

class Receive : public VembTest {
protected:
    // Five designs whose names show byte order, stored in this order (design numbers 1-5).
    void SeedFive()
    {
        for (size_t i = 0; i < NAMES.size(); ++i)
            SeedDesign(1, NAMES[i], Design(i));
    }
    static std::vector<char> Design(size_t i)
    {
        designgen::DesignSpec spec;
        spec.stitchCount = 200 + 10 * (int)i;
        spec.hoopCode = (uint32_t)(i % 3);
        return designgen::MakeDesign(spec);
    }
    void UseReceiveFolder(const std::string &folder) { SetRegString(Key::Tambora, "RcvPath", folder); }
    // Files in the receive folder, sorted.
    std::vector<std::string> ReceivedFiles()
    {
        std::vector<std::string> files;
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA((WorkDir() + "\\*").c_str(), &found);
        if (find == INVALID_HANDLE_VALUE)
            return files;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                files.push_back(found.cFileName);
        } while (FindNextFileA(find, &found));
        FindClose(find);
        std::sort(files.begin(), files.end());
        return files;
    }
    static void ExpectNoTempFiles()
    {
        EXPECT_FALSE(FileExists(TempFile("$$UPLDir.tmp")));
        EXPECT_FALSE(FileExists(TempFile("$$UPLPrv.tmp")));
    }

    const std::vector<std::string> NAMES = {"Zed.ptn", "apple.vbd", "A10.vbd", "A9.vbd", "rose.PtN"};
    // The list in byte order, with each design's number (its position on the machine).
    const std::vector<std::string> SORTED = {"A10.vbd", "A9.vbd", "Zed.ptn", "apple.vbd", "rose.PtN"};
    const std::vector<int> SORTED_NUMBERS = {3, 4, 1, 2, 5};
};

// The receive path: five stored designs listed in byte order, three of them ticked with
// the mouse and received, byte-identical, ".ptn" saved as ".vbd".
TEST_F(Receive, TickedDesignsArriveInTheReceiveFolder)
{
    SeedFive();
    UseReceiveFolder(WorkDir() + "\\");
    WriteFileText(WorkDir() + "\\keep.txt", "not ours");
    std::vector<std::string> shown;
    std::vector<int> numbers;
    std::string label;
    bool enabled = false;
    UINT statusBeforeStart = 9;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        WaitListLoaded(u, dlg, 1);
        shown = ItemNames(dlg);
        for (int i = 0; i < ItemCount(dlg); ++i)
            numbers.push_back((int)(ItemData(dlg, i) & 0xFFFF));
        for (int item : {0, 2, 4}) {
            ClickCheckBox(dlg, item);
            Barrier(u, dlg);
        }
        label = ControlText(dlg, IDC_SELECTED_COUNT);
        enabled = IsControlEnabled(dlg, IDOK);
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
        HWND progress = u.WaitDialog(RECEIVE_COM);
        statusBeforeStart = Dll().GetTransferStatus();
        u.Click(progress, IDOK);
        u.WaitGone(progress);
    });
    BOOL result = Dll().UploadData(Owner());
    ui.Join();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(shown, SORTED);
    EXPECT_EQ(numbers, SORTED_NUMBERS);
    EXPECT_EQ(label, "Selected designs : 3");
    EXPECT_TRUE(enabled);
    EXPECT_EQ(statusBeforeStart, 0u);
    EXPECT_EQ(Dll().GetTransferStatus(), 0u);

    std::vector<SimCall> uploads = Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].op, "Protocol_Seq_Upload");
    EXPECT_EQ(uploads[0].Arg("count"), "3");
    EXPECT_EQ(uploads[0].Arg("speed"), "38400");
    EXPECT_EQ(uploads[0].Arg("progress"), "yes");
    ASSERT_EQ(uploads[0].entries.size(), 3u);
    const char *expectedNames[] = {"A10.vbd", "Zed.vbd", "rose.vbd"};
    const int expectedNumbers[] = {3, 1, 5};
    for (int i = 0; i < 3; ++i) {
        // One backslash between folder and name, though the folder ended in one.
        EXPECT_EQ(uploads[0].entries[i].name, WorkDir() + "\\" + expectedNames[i]);
        EXPECT_EQ(uploads[0].entries[i].location, 1);
        EXPECT_EQ(uploads[0].entries[i].number, expectedNumbers[i]);
    }
    EXPECT_EQ(ReceivedFiles(), (std::vector<std::string>{"A10.vbd", "Zed.vbd", "keep.txt", "rose.vbd"}));
    EXPECT_EQ(ReadFileBytes(WorkDir() + "\\A10.vbd"), Design(2));
    EXPECT_EQ(ReadFileBytes(WorkDir() + "\\Zed.vbd"), Design(0));
    EXPECT_EQ(ReadFileBytes(WorkDir() + "\\rose.vbd"), Design(4));
    EXPECT_EQ(StoredNames(1), NAMES);
    EXPECT_TRUE(RecordedMessageBoxes().empty());
    ExpectNoTempFiles();
}

// The receive list as the link library gets it: list order, the closing entry zero, the
// count beside it. Read from the module's state while the progress dialog waits for Start.
TEST_F(Receive, ReceiveListHoldsTheTickedDesignsAndAZeroClosingEntry)
{
    SeedFive();
    UseReceiveFolder("C:\\Designs");
    std::vector<DesignEntry> entries;
    UINT count = 0;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        WaitListLoaded(u, dlg, 1);
        for (int item : {4, 1, 3}) {
            ClickCheckBox(dlg, item);
            Barrier(u, dlg);
        }
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
        HWND progress = u.WaitDialog(RECEIVE_COM);
        count = g_receiveCount;
        if (g_receiveList)
            entries.assign(g_receiveList, g_receiveList + 4);
        u.Click(progress, IDCANCEL);
        u.WaitGone(progress);
    });
    BOOL result = UploadData(Owner());  // the module's code linked into this program
    ui.Join();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(count, 3u);
    ASSERT_EQ(entries.size(), 4u);
    const char *names[] = {"C:\\Designs\\A9.vbd", "C:\\Designs\\apple.vbd", "C:\\Designs\\rose.vbd"};
    const int numbers[] = {4, 2, 5};
    for (int i = 0; i < 3; ++i) {
        EXPECT_STREQ(entries[i].name, names[i]);
        EXPECT_EQ(entries[i].location, 1);
        EXPECT_EQ(entries[i].number, numbers[i]);
    }
    std::vector<char> zero(sizeof(DesignEntry), 0);
    EXPECT_EQ(memcmp(&entries[3], zero.data(), sizeof(DesignEntry)), 0);
    EXPECT_EQ(g_receiveList, nullptr) << "the list is freed when UploadData ends";
    EXPECT_TRUE(Uploads().empty());
}

TEST_F(Receive, LabelAndReceiveButtonFollowTheTicks)
{
    SeedFive();
    UseReceiveFolder(WorkDir());
    struct Seen {
        std::string label;
        bool enabled;
        int selected;
    };
    std::vector<Seen> seen;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        WaitListLoaded(u, dlg, 1);
        auto look = [&] {
            seen.push_back(
                {ControlText(dlg, IDC_SELECTED_COUNT), IsControlEnabled(dlg, IDOK), SelectedItem(dlg)});
        };
        look();  // 0: nothing ticked
        ClickCheckBox(dlg, 2);
        Barrier(u, dlg);
        look();  // 1: ticking selects the item
        ClickCheckBox(dlg, 4);
        Barrier(u, dlg);
        look();  // 2
        ClickCheckBox(dlg, 2);
        Barrier(u, dlg);
        look();  // 3: clearing selects it too
        u.Click(dlg, IDC_RECEIVE_SELECT_ALL);
        Barrier(u, dlg);
        look();  // 4: the last newly ticked item, not 4
        ClickItem(dlg, 1);
        Barrier(u, dlg);
        u.Click(dlg, IDC_RECEIVE_SELECT_ALL);
        Barrier(u, dlg);
        look();  // 5: all ticked already: selection stays
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    BOOL result = Dll().UploadData(Owner());
    ui.Join();
    EXPECT_EQ(result, 1);
    ASSERT_EQ(seen.size(), 6u);
    const Seen expected[] = {{"Selected designs : 0", false, -1}, {"Selected designs : 1", true, 2},
                             {"Selected designs : 2", true, 4},   {"Selected designs : 1", true, 2},
                             {"Selected designs : 5", true, 3},   {"Selected designs : 5", true, 1}};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE("step " + std::to_string(i));
        EXPECT_EQ(seen[i].label, expected[i].label);
        EXPECT_EQ(seen[i].enabled, expected[i].enabled);
        EXPECT_EQ(seen[i].selected, expected[i].selected);
    }
    // Cancel after ticking receives nothing.
    EXPECT_TRUE(Uploads().empty());
    EXPECT_TRUE(FindWindowA(NULL, RECEIVE_COM) == NULL);
}

// An empty location: the link library writes only the 2-byte header.
TEST_F(Receive, EmptyLocationGivesAnEmptyList)
{
    UseReceiveFolder(WorkDir());
    int items = -1;
    std::string label;
    bool enabled = true;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        WaitListLoaded(u, dlg, 1);
        items = ItemCount(dlg);
        label = ControlText(dlg, IDC_SELECTED_COUNT);
        enabled = IsControlEnabled(dlg, IDOK);
        u.Click(dlg, IDOK);  // disabled: nothing happens
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    ui.Join();
    EXPECT_EQ(items, 0);
    EXPECT_EQ(label, "Selected designs : 0");
    EXPECT_FALSE(enabled);
    EXPECT_TRUE(RecordedMessageBoxes().empty());
    EXPECT_TRUE(Uploads().empty());
    ExpectNoTempFiles();
}

// The header count is not compared with the records. The directory upload fails here
// (forced), so the list is filled from what "$$UPLDir.tmp" holds: this test's file.
TEST_F(Receive, HeaderCountIsNotComparedWithTheRecords)
{
    SeedFive();
    UseReceiveFolder(WorkDir());
    std::vector<std::string> names;
    MessageBoxInfo box;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        WaitListLoaded(u, dlg, 1);
        std::string file = {0, 3};
        for (const char *n : {"e5", "d4", "c3", "b2", "a1"})
            file += std::string(1, (char)strlen(n)) + n;
        WriteFileBytes(TempFile("$$UPLDir.tmp"), file.data(), file.size());
        SetFaults("fail.Protocol_Seq_DirUpload=14\n");
        u.Click(dlg, IDC_RECEIVE_ATA_CARD);
        box = u.WaitMessageBox();
        u.Answer(box, IDOK);
        WaitListLoaded(u, dlg, 2);
        names = ItemNames(dlg);
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    ui.Join();
    EXPECT_EQ(names, (std::vector<std::string>{"a1", "b2", "c3", "d4", "e5"}));
    // The failed upload showed exactly one message: the library's.
    EXPECT_EQ(box.caption, "Design List");
    EXPECT_EQ(RecordedMessageBoxes().size(), 1u);
    ExpectNoTempFiles();
}

TEST_F(Receive, FailedDirectoryUploadShowsTheLibrarysMessageAndAnEmptyList)
{
    SeedFive();
    UseReceiveFolder(WorkDir());
    SetFaults("fail.Protocol_Seq_DirUpload=14,once\n");
    int items = -1;
    MessageBoxInfo box;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        box = u.WaitMessageBox();
        u.Answer(box, IDOK);
        WaitListLoaded(u, dlg, 1);
        items = ItemCount(dlg);
        u.Click(dlg, IDC_RECEIVE_BUILT_IN);  // another try finds the designs
        WaitListLoaded(u, dlg, 2);
        items = items * 10 + ItemCount(dlg);
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    ui.Join();
    EXPECT_EQ(items, 5) << "empty list after the failure, then five";
    EXPECT_EQ(box.caption, "Design List");
    EXPECT_EQ(box.text.rfind("Loomstar link error 14 (detail 0).", 0), 0u) << box.text;
    EXPECT_EQ(RecordedMessageBoxes().size(), 1u);
}

// Every click on a location control fetches the directory again with its location code.
TEST_F(Receive, LocationControlsChooseTheLocationCode)
{
    UseReceiveFolder(WorkDir());
    std::vector<bool> openSaveEnabled, openSaveTicked;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        size_t n = 1;
        WaitListLoaded(u, dlg, n);
        auto click = [&](int id) {
            u.Click(dlg, id);
            WaitListLoaded(u, dlg, ++n);
            openSaveEnabled.push_back(IsControlEnabled(dlg, IDC_RECEIVE_OPEN_SAVE));
            openSaveTicked.push_back(IsChecked(dlg, IDC_RECEIVE_OPEN_SAVE));
        };
        click(IDC_RECEIVE_ATA_CARD);     // 2
        click(IDC_RECEIVE_OPEN_SAVE);    // 6
        click(IDC_RECEIVE_BUILT_IN);     // 5
        click(IDC_RECEIVE_DESIGN_CARD);  // 4: Open/Save disabled, still ticked
        click(IDC_RECEIVE_BUILT_IN);     // 5 again
        click(IDC_RECEIVE_OPEN_SAVE);    // 1
        click(IDC_RECEIVE_BUILT_IN);     // the chosen button: 1 again
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    ui.Join();
    std::vector<int> locations;
    for (const SimCall &c : DirectoryUploads())
        locations.push_back(atoi(c.Arg("location").c_str()));
    EXPECT_EQ(locations, (std::vector<int>{1, 2, 6, 5, 4, 5, 1, 1}));
    EXPECT_EQ(openSaveEnabled, (std::vector<bool>{true, true, true, false, true, true, true}));
    EXPECT_EQ(openSaveTicked, (std::vector<bool>{false, true, true, true, true, false, false}));
}

// Designs of another location carry that location's code into the receive list.
TEST_F(Receive, ReceivesFromTheChosenLocation)
{
    SeedDesign(6, "card.vbd", Design(1));
    SeedDesign(6, "Open.ptn", Design(2));
    UseReceiveFolder(WorkDir());
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        WaitListLoaded(u, dlg, 1);
        u.Click(dlg, IDC_RECEIVE_OPEN_SAVE);
        WaitListLoaded(u, dlg, 2);
        u.Click(dlg, IDC_RECEIVE_ATA_CARD);
        WaitListLoaded(u, dlg, 3);
        ClickCheckBox(dlg, 0);  // "Open.ptn", design 2
        Barrier(u, dlg);
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
        HWND progress = u.WaitDialog(RECEIVE_COM);
        u.Click(progress, IDOK);
        u.WaitGone(progress);
    });
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    ui.Join();
    std::vector<SimCall> uploads = Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    ASSERT_EQ(uploads[0].entries.size(), 1u);
    EXPECT_EQ(uploads[0].entries[0].location, 6);
    EXPECT_EQ(uploads[0].entries[0].number, 2);
    EXPECT_EQ(ReadFileBytes(WorkDir() + "\\Open.vbd"), Design(2));
}

TEST_F(Receive, CancelBeforeStartReceivesNothing)
{
    SeedFive();
    UseReceiveFolder(WorkDir());
    std::string status;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        WaitListLoaded(u, dlg, 1);
        ClickCheckBox(dlg, 0);
        Barrier(u, dlg);
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
        HWND progress = u.WaitDialog(RECEIVE_COM);
        status = ControlText(progress, IDC_RECEIVE_STATUS);
        u.Click(progress, IDCANCEL);
        u.WaitGone(progress);
    });
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    ui.Join();
    EXPECT_EQ(status, "Ready to receive designs.\nClick [Start] button.");
    EXPECT_TRUE(Uploads().empty());
    EXPECT_EQ(ReceivedFiles(), std::vector<std::string>{});
    EXPECT_EQ(Dll().GetTransferStatus(), 0u);
}

// The close box during a transfer only asks the link library to stop: the dialog stays
// until the worker has reported, and it reports after the library's message.
TEST_F(Receive, ClosingDuringTheTransferEndsWhenTheWorkerReports)
{
    SeedFive();
    UseReceiveFolder(WorkDir());
    SetFaults("delay=150\n");
    std::string counter, status;
    bool openDuringMessage = false, buttonsHidden = false, clipOpen = false;
    UINT statusDuring = 0;
    MessageBoxInfo box;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        WaitListLoaded(u, dlg, 1);
        u.Click(dlg, IDC_RECEIVE_SELECT_ALL);
        Barrier(u, dlg);
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
        HWND progress = u.WaitDialog(RECEIVE_COM);
        u.Click(progress, IDOK);
        u.WaitUntil([&] { return ControlText(progress, IDC_RECEIVE_COUNTER) == "2  /  5"; }, "second design");
        counter = ControlText(progress, IDC_RECEIVE_COUNTER);
        status = ControlText(progress, IDC_RECEIVE_STATUS);
        buttonsHidden = !IsControlVisible(progress, IDOK) && !IsControlVisible(progress, IDCANCEL);
        statusDuring = Dll().GetTransferStatus();
        // An open clip sizes the control to its frames, 233 x 82.
        RECT clip;
        GetClientRect(GetDlgItem(progress, IDC_RECEIVE_ANIMATION), &clip);
        clipOpen = clip.right == 233 && clip.bottom == 82;
        u.Close(progress);
        box = u.WaitMessageBox("Receiving");
        openDuringMessage = IsWindow(progress) && IsWindowVisible(progress);
        u.Answer(box, IDOK);
        u.WaitGone(progress);
    });
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    ui.Join();
    EXPECT_EQ(counter, "2  /  5");
    EXPECT_EQ(status, "Just a moment, please.");
    EXPECT_TRUE(buttonsHidden);
    EXPECT_TRUE(clipOpen);
    EXPECT_EQ(statusDuring, 1u);
    EXPECT_TRUE(openDuringMessage);
    EXPECT_EQ(box.text.rfind("Loomstar link error 3 ", 0), 0u) << box.text;
    std::vector<SimCall> uploads = Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_NE(std::find(uploads[0].events.begin(), uploads[0].events.end(), "cancelled"),
              uploads[0].events.end());
    EXPECT_EQ(uploads[0].result, 3);
    EXPECT_EQ(Dll().GetTransferStatus(), 0u);
    // What arrived before the cancel stays; the module removes nothing.
    std::vector<std::string> files = ReceivedFiles();
    EXPECT_GE(files.size(), 1u);
    EXPECT_LT(files.size(), 5u);
}

// A failed transfer: the library's message under "Receiving", and the dialog ends with
// the worker all the same.
TEST_F(Receive, FailedTransferShowsTheLibrarysMessage)
{
    SeedFive();
    UseReceiveFolder(WorkDir());
    MessageBoxInfo box;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        WaitListLoaded(u, dlg, 1);
        ClickCheckBox(dlg, 1);
        Barrier(u, dlg);
        SetFaults("fail.Protocol_Seq_Upload=13,9\n");
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
        HWND progress = u.WaitDialog(RECEIVE_COM);
        u.Click(progress, IDOK);
        box = u.WaitMessageBox();
        u.Answer(box, IDOK);
        u.WaitGone(progress);
    });
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    ui.Join();
    EXPECT_EQ(box.caption, "Receiving");
    EXPECT_EQ(box.text.rfind("Loomstar link error 13 (detail 9).", 0), 0u) << box.text;
    EXPECT_EQ(RecordedMessageBoxes().size(), 1u);
    EXPECT_EQ(Dll().GetTransferStatus(), 0u);
}

// Without "RcvPath" the current directory is shown and stored in both keys.
TEST_F(Receive, MissingReceiveFolderTakesTheCurrentDirectory)
{
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(WorkDir().c_str()));
    char current[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, current);
    std::string shown;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        WaitListLoaded(u, dlg, 1);
        shown = ControlText(dlg, IDC_RECEIVE_FOLDER);
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    ui.Join();
    SetCurrentDirectoryA(previous);
    EXPECT_EQ(shown, current);
    std::string brodera, tambora;
    EXPECT_TRUE(ReadRegString(Key::Brodera, "RcvPath", &brodera));
    EXPECT_TRUE(ReadRegString(Key::Tambora, "RcvPath", &tambora));
    EXPECT_EQ(brodera, current);
    EXPECT_EQ(tambora, current);
}

// A stored folder is used as it is: not tested, not rewritten.
TEST_F(Receive, StoredReceiveFolderIsShownAndKept)
{
    const std::string folder = "Q:\\no\\such\\folder";
    UseReceiveFolder(folder);
    std::string shown;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        WaitListLoaded(u, dlg, 1);
        shown = ControlText(dlg, IDC_RECEIVE_FOLDER);
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    ui.Join();
    EXPECT_EQ(shown, folder);
    EXPECT_FALSE(RegValueExists(Key::Brodera, "RcvPath"));
}

// A destination path beyond 260 characters is refused with a message; the dialog stays
// open so that a shorter folder can be chosen.
TEST_F(Receive, DestinationPathTooLongIsRefused)
{
    SeedDesign(1, std::string(60, 'n') + ".ptn", Design(0));
    SeedDesign(1, "short.vbd", Design(1));
    const std::string folder = "C:\\" + std::string(200, 'f');  // + "\" + 64 = 268 characters
    UseReceiveFolder(folder);
    MessageBoxInfo box;
    bool stillOpen = false;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        WaitListLoaded(u, dlg, 1);
        u.Click(dlg, IDC_RECEIVE_SELECT_ALL);
        Barrier(u, dlg);
        u.Click(dlg, IDOK);
        box = u.WaitMessageBox("Receiving");
        u.Answer(box, IDOK);
        Settle(dlg);
        stillOpen = IsWindow(dlg) && IsWindowVisible(dlg);
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    ui.Join();
    EXPECT_EQ(box.text, "The receive folder is too long for the design \"" + std::string(60, 'n') +
                            ".ptn\".\nPlease choose a folder with a shorter path.");
    EXPECT_EQ(box.style, (UINT)MB_ICONEXCLAMATION);
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(Uploads().empty());
}

// A machine name that is no plain file name would be saved outside the receive folder: the
// list is refused with a message, the dialog stays open, and nothing is fetched.
TEST_F(Receive, NameThatIsNoPlainFileNameIsRefused)
{
    SeedDesign(1, "..\\up.vbd", Design(0));
    SeedDesign(1, "fine.vbd", Design(1));
    const std::string folder = WorkDir() + "\\in";
    CreateDirectoryA(folder.c_str(), NULL);
    UseReceiveFolder(folder);
    MessageBoxInfo box;
    bool stillOpen = false;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        WaitListLoaded(u, dlg, 1);
        u.Click(dlg, IDC_RECEIVE_SELECT_ALL);
        Barrier(u, dlg);
        u.Click(dlg, IDOK);
        box = u.WaitMessageBox("Receiving");
        u.Answer(box, IDOK);
        Settle(dlg);
        stillOpen = IsWindow(dlg) && IsWindowVisible(dlg);
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    ui.Join();
    EXPECT_EQ(box.text, "The design \"..\\up.vbd\" has a name that cannot be used as a file name in the "
                        "receive folder.\nPlease untick it to receive the other designs.");
    EXPECT_EQ(box.style, (UINT)MB_ICONEXCLAMATION);
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(Uploads().empty());
    EXPECT_FALSE(FileExists(WorkDir() + "\\up.vbd"));
}

// With the USB link library the captions say so and both transfers take the USB road.
TEST_F(Receive, UsbConnectedReceivesOverUsb)
{
    UseUsb(Usb::Present);
    SeedFive();
    UseReceiveFolder(WorkDir());
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog("Receive Designs - USB Connected");
        WaitListLoaded(u, dlg, 1);
        ClickCheckBox(dlg, 3);
        Barrier(u, dlg);
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
        HWND progress = u.WaitDialog("Receive Designs - USB Connected");
        u.Click(progress, IDOK);
        u.WaitGone(progress);
    });
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    ui.Join();
    std::vector<std::string> ops = SimOps();
    EXPECT_EQ(std::count(ops.begin(), ops.end(), "USB_DirUpload_Sequence"), 1);
    EXPECT_EQ(std::count(ops.begin(), ops.end(), "USB_Upload_Sequence"), 1);
    EXPECT_EQ(std::count(ops.begin(), ops.end(), "SIO_InitializeIO"), 0);
    EXPECT_EQ(ReadFileBytes(WorkDir() + "\\apple.vbd"), Design(1));
    EXPECT_EQ(ops.back(), "USB_Terminate");
}

// A machine that is not on the cable: the captions say disconnected, the serial road is
// taken, and a device change that finds the machine turns the caption.
TEST_F(Receive, UsbDisconnectedTakesTheSerialRoad)
{
    UseUsb(Usb::Present);
    SetFaults("usb=disconnected\n");
    SeedFive();
    UseReceiveFolder(WorkDir());
    std::string afterChange;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog("Receive Designs - USB Disconnected");
        WaitListLoaded(u, dlg, 1);
        SetFaults("usb=connected\n");
        SendMessageTimeoutA(dlg, WM_DEVICECHANGE, 0x0007, 0, SMTO_NORMAL, 10000, NULL);
        afterChange = WindowText(dlg);
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    ui.Join();
    EXPECT_EQ(afterChange, "Receive Designs - USB Connected");
    EXPECT_EQ(DirectoryUploads().size(), 1u);
    EXPECT_EQ(DirectoryUploads()[0].op, "Protocol_Seq_DirUpload");
}

// The name of the folder highlighted in the folder browser's tree.
std::string HighlightedFolder(HWND browser)
{
    HWND tree = FindWindowExA(browser, NULL, WC_TREEVIEWA, NULL);
    HTREEITEM item = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    if (!tree || !item)
        return "";
    char text[MAX_PATH] = "";
    TVITEMA tvi = {};
    tvi.mask = TVIF_TEXT;
    tvi.hItem = item;
    tvi.pszText = text;
    tvi.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&tvi);
    return text;
}

bool ShowsTitle(HWND browser, const char *title)
{
    for (HWND c = GetWindow(browser, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (WindowText(c) == title)
            return true;
    return false;
}

// "Browse": the current folder is offered preselected, the one chosen is shown in full,
// stored as "RcvPath" and offered the next time.
TEST_F(Receive, BrowseChoosesAndStoresTheReceiveFolder)
{
    ArmWatchdog("Receive.BrowseChoosesAndStoresTheReceiveFolder", 170);
    // On the prefix's own drive: the browser reads the mapped drive of the work folder
    // slowly, and sometimes not at all, under Wine.
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string base = std::string(temp) + "vemb receive browse";
    CreateDirectoryA(base.c_str(), NULL);
    std::string first = base + "\\first";
    std::string second = base + "\\second folder";
    CreateDirectoryA(first.c_str(), NULL);
    CreateDirectoryA(second.c_str(), NULL);
    UseReceiveFolder(first);
    std::string shown;
    bool title = false;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        WaitListLoaded(u, dlg, 1);
        u.Click(dlg, IDC_RECEIVE_BROWSE);
        HWND browser = u.WaitDialogPrefix("Browse");
        // The shell's folder tree fills slowly on a busy machine: generous waits.
        u.WaitUntil([&] { return lstrcmpiA(HighlightedFolder(browser).c_str(), "first") == 0; },
                    "the receive folder preselected", 90000);
        title = ShowsTitle(browser, "Select the folder to store the received embroidery data.");
        // Another folder, as a user picking it in the tree.
        SendMessageTimeoutA(browser, BFFM_SETSELECTIONA, TRUE, (LPARAM)second.c_str(), SMTO_NORMAL, 10000,
                            NULL);
        u.WaitUntil([&] { return lstrcmpiA(HighlightedFolder(browser).c_str(), "second folder") == 0; },
                    "second folder highlighted", 90000);
        u.Click(browser, IDOK);
        u.WaitGone(browser);
        Settle(dlg);
        shown = ControlText(dlg, IDC_RECEIVE_FOLDER);
        // Offered next time; cancelling keeps it.
        u.Click(dlg, IDC_RECEIVE_BROWSE);
        browser = u.WaitDialogPrefix("Browse");
        u.WaitUntil([&] { return lstrcmpiA(HighlightedFolder(browser).c_str(), "second folder") == 0; },
                    "the chosen folder preselected", 90000);
        u.Click(browser, IDCANCEL);
        u.WaitGone(browser);
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    ui.Join();
    EXPECT_TRUE(title);
    EXPECT_STRCASEEQ(shown.c_str(), second.c_str());
    std::string brodera, tambora;
    EXPECT_TRUE(ReadRegString(Key::Brodera, "RcvPath", &brodera));
    EXPECT_TRUE(ReadRegString(Key::Tambora, "RcvPath", &tambora));
    EXPECT_STRCASEEQ(brodera.c_str(), second.c_str());
    EXPECT_STRCASEEQ(tambora.c_str(), second.c_str());
}

}  // namespace
