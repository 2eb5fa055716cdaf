// Receiving designs through UploadData: the Receive Designs dialog over the simulator's
// machine, its locations, the receive folder, and the receive step with its progress dialog
// and worker, and every failure on the way.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "VembDlg.h"
#include "designgen/design_writer.h"
#include "receive/receive.h"
#include "receive_designs_res.h"
#include "receive_progress_res.h"
#include "resource.h"
#include "vemb_helpers.h"

using namespace vt;

namespace {

const char RECEIVE_COM[] = "Receive Designs - COM Port";

class Receive : public VembTest {
protected:
    void SetUp() override
    {
        VembTest::SetUp();
        PatchFaults();
        SetRegString(Key::Tambora, "RcvPath", WorkDir());
    }
    void Run(const std::function<void(Ui &, HWND)> &script, bool usb = false)
    {
        RunList(Owner(), Side::Receive, script, usb);
    }
    // Five designs whose names show byte order, stored in this order (design numbers 1-5).
    // Listed: A10 (3), A9 (4), Zed (1), apple (2), rose (5).
    void SeedFive(int location = 1)
    {
        for (int i = 0; i < 5; ++i)
            SeedDesign(location, NAMES[i], Design(i));
    }
    static std::vector<char> Design(int i) { return designgen::MakeDesign({200 + 10 * i, (uint32_t)(i % 3)}); }
    // Files in a folder, sorted.
    static Names Files(const std::string &folder)
    {
        Names files;
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
        for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &found))
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                files.push_back(found.cFileName);
        if (find != INVALID_HANDLE_VALUE)
            FindClose(find);
        std::sort(files.begin(), files.end());
        return files;
    }
    // Presses Receive with the ticks given, then Start in the progress dialog.
    static void ReceiveTicked(Ui &u, HWND dlg, std::initializer_list<int> items, const char *title = RECEIVE_COM)
    {
        Tick(u, dlg, items);
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
        HWND progress = u.WaitDialog(title);
        u.Click(progress, IDOK);
        u.WaitGone(progress);
    }
    const Names NAMES = {"Zed.ptn", "apple.vbd", "A10.vbd", "A9.vbd", "rose.PtN"};
};

// Three of five designs ticked with the mouse and received over the serial link at the
// stored speed: byte-identical in the receive folder, ".ptn" saved as ".vbd", one backslash
// between folder and name though the folder ends in one, the machine unchanged.
TEST_F(Receive, TickedDesignsArriveInTheReceiveFolder)
{
    SeedFive();
    SetRegString(Key::Tambora, "RcvPath", WorkDir() + "\\");
    WriteFileText(In("keep.txt"), "not ours");
    UINT statusBeforeStart = 9;
    Run([&](Ui &u, HWND dlg) {
        Tick(u, dlg, {0, 2, 4});
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
        HWND progress = u.WaitDialog(RECEIVE_COM);
        statusBeforeStart = Dll().GetTransferStatus();
        u.Click(progress, IDOK);
        u.WaitGone(progress);
    });
    EXPECT_EQ(statusBeforeStart, 0u);
    EXPECT_EQ(Dll().GetTransferStatus(), 0u);
    std::vector<SimCall> uploads = Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].op + " " + uploads[0].Arg("count") + " " + uploads[0].Arg("speed") + " " +
                  uploads[0].Arg("progress"),
              "Protocol_Seq_Upload 3 38400 yes");
    ASSERT_EQ(uploads[0].entries.size(), 3u);
    const char *names[] = {"A10.vbd", "Zed.vbd", "rose.vbd"};
    const int numbers[] = {3, 1, 5};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(uploads[0].entries[i].name, In(names[i]));
        EXPECT_EQ(uploads[0].entries[i].location, 1);
        EXPECT_EQ(uploads[0].entries[i].number, numbers[i]);
        EXPECT_EQ(ReadFileBytes(In(names[i])), Design(numbers[i] - 1));
    }
    EXPECT_EQ(Files(WorkDir()), (Names{"A10.vbd", "Zed.vbd", "keep.txt", "rose.vbd"}));
    EXPECT_EQ(StoredNames(1), NAMES);
    EXPECT_TRUE(RecordedMessageBoxes().empty());
    EXPECT_FALSE(FileExists(TempFile("$$UPLDir.tmp")) || FileExists(TempFile("$$UPLPrv.tmp")));
}

// The receive list as the link library would get it, read from the module's state while the
// progress dialog waits for Start: list order, a zero closing entry, the count beside it.
// Cancel then receives nothing, and UploadData still returns 1.
TEST_F(Receive, ReceiveListHoldsTheTickedDesignsAndCancelBeforeStartReceivesNothing)
{
    SeedFive();
    SetRegString(Key::Tambora, "RcvPath", "C:\\Designs");
    std::vector<DesignEntry> entries;
    UINT count = 0;
    std::string status;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        WaitListLoaded(u, dlg, 1);
        Tick(u, dlg, {4, 1, 3});
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
        HWND progress = u.WaitDialog(RECEIVE_COM);
        count = g_receiveCount;
        if (g_receiveList)
            entries.assign(g_receiveList, g_receiveList + 4);
        status = ControlText(progress, IDC_RECEIVE_STATUS);
        u.Click(progress, IDCANCEL);
        u.WaitGone(progress);
    });
    EXPECT_EQ(UploadData(Owner()), 1);  // the module's code linked into this program
    ui.Join();
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
    EXPECT_EQ(status, "Ready to receive designs.\nClick [Start] button.");
    EXPECT_TRUE(Uploads().empty());
    EXPECT_EQ(GetTransferStatus(), 0u);
}

// Every click on a location control fetches the directory again with its location code: PC
// Design Card disables "Select Open/Save folder." without clearing it, Built-in with it
// ticked is 5, the button already chosen fetches again. The receive list carries the code.
TEST_F(Receive, LocationControlsChooseTheLocationCode)
{
    SeedDesign(6, "card.vbd", Design(1));
    SeedDesign(6, "Open.ptn", Design(2));
    std::vector<bool> openSaveEnabled, openSaveTicked;
    Run([&](Ui &u, HWND dlg) {
        size_t n = 1;
        for (int id : {IDC_RECEIVE_ATA_CARD, IDC_RECEIVE_OPEN_SAVE, IDC_RECEIVE_BUILT_IN, IDC_RECEIVE_DESIGN_CARD,
                       IDC_RECEIVE_BUILT_IN, IDC_RECEIVE_OPEN_SAVE, IDC_RECEIVE_BUILT_IN, IDC_RECEIVE_ATA_CARD,
                       IDC_RECEIVE_OPEN_SAVE}) {
            u.Click(dlg, id);
            WaitListLoaded(u, dlg, ++n);
            openSaveEnabled.push_back(IsControlEnabled(dlg, IDC_RECEIVE_OPEN_SAVE));
            openSaveTicked.push_back(IsChecked(dlg, IDC_RECEIVE_OPEN_SAVE));
        }
        ReceiveTicked(u, dlg, {0});  // "Open.ptn", design 2
    });
    std::vector<int> locations;
    for (const SimCall &c : DirectoryUploads())
        locations.push_back(atoi(c.Arg("location").c_str()));
    EXPECT_EQ(locations, (std::vector<int>{1, 2, 6, 5, 4, 5, 1, 1, 2, 6}));
    EXPECT_EQ(openSaveEnabled, (std::vector<bool>{true, true, true, false, true, true, true, true, true}));
    EXPECT_EQ(openSaveTicked, (std::vector<bool>{false, true, true, true, true, false, false, false, true}));
    std::vector<SimCall> uploads = Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    ASSERT_EQ(uploads[0].entries.size(), 1u);
    EXPECT_EQ(uploads[0].entries[0].location, 6);
    EXPECT_EQ(uploads[0].entries[0].number, 2);
    EXPECT_EQ(ReadFileBytes(In("Open.vbd")), Design(2));
}

// The close box during a transfer only asks the link library to stop: the dialog stays
// until the worker has reported, after the library's message, and ends with 1. Meanwhile the
// counter reads "2  /  5", the buttons are hidden and the clip plays. What arrived stays.
TEST_F(Receive, ClosingDuringTheTransferEndsWhenTheWorkerReports)
{
    SeedFive();
    SetFaults("delay=150\n");
    std::string status;
    bool openDuringMessage = false, buttonsHidden = false, clipOpen = false;
    UINT statusDuring = 0;
    MessageBoxInfo box;
    Run([&](Ui &u, HWND dlg) {
        u.Click(dlg, IDC_RECEIVE_SELECT_ALL);
        Barrier(u, dlg);
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
        HWND progress = u.WaitDialog(RECEIVE_COM);
        u.Click(progress, IDOK);
        u.WaitUntil([&] { return ControlText(progress, IDC_RECEIVE_COUNTER) == "2  /  5"; }, "second design");
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
    EXPECT_EQ(status, "Just a moment, please.");
    EXPECT_TRUE(buttonsHidden);
    EXPECT_TRUE(clipOpen);
    EXPECT_EQ(statusDuring, 1u);
    EXPECT_TRUE(openDuringMessage);
    EXPECT_EQ(box.text.rfind("Loomstar link error 3 ", 0), 0u) << box.text;
    std::vector<SimCall> uploads = Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_NE(std::find(uploads[0].events.begin(), uploads[0].events.end(), "cancelled"), uploads[0].events.end());
    EXPECT_EQ(uploads[0].result, 3);
    EXPECT_EQ(Dll().GetTransferStatus(), 0u);
    size_t arrived = Files(WorkDir()).size();
    EXPECT_TRUE(arrived >= 1 && arrived < 5) << arrived;
}

// The receive folder: a stored one is shown as it is, not tested and not rewritten; a
// missing one, or one that cannot be read into its 260 bytes, gives the current directory,
// shown and stored in both keys. The browser offers no OK on a folder outside the file
// system, and cancelling it changes nothing.
TEST_F(Receive, ReceiveFolderFromTheRegistryOrTheCurrentDirectory)
{
    char previous[MAX_PATH], current[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(WorkDir().c_str()));
    GetCurrentDirectoryA(MAX_PATH, current);
    for (const char *stored : {"long", "", "Q:\\no\\such\\folder"}) {
        SCOPED_TRACE(stored);
        DeleteSettingsKeys();
        std::string value = std::string(stored) == "long" ? "C:\\" + std::string(300, 'r') : stored;
        if (!value.empty())
            SetRegString(Key::Tambora, "RcvPath", value);
        std::string shown, afterBrowse;
        bool okEnabled = false, browse = value.size() > 260;
        Run([&](Ui &u, HWND dlg) {
            shown = afterBrowse = ControlText(dlg, IDC_RECEIVE_FOLDER);
            if (!browse)
                return;
            u.Click(dlg, IDC_RECEIVE_BROWSE);
            HWND browser = u.WaitDialogPrefix("Browse");
            LPITEMIDLIST drives = NULL;
            SHGetSpecialFolderLocation(NULL, CSIDL_DRIVES, &drives);
            SendMessageTimeoutA(browser, BFFM_SETSELECTIONA, FALSE, (LPARAM)drives, SMTO_NORMAL, 10000, NULL);
            u.Sleep(300);
            okEnabled = IsControlEnabled(browser, IDOK);
            u.Click(browser, IDCANCEL);
            u.WaitGone(browser);
            CoTaskMemFree(drives);
            Settle(dlg);
            afterBrowse = ControlText(dlg, IDC_RECEIVE_FOLDER);
        });
        bool kept = std::string(stored) == "Q:\\no\\such\\folder";
        EXPECT_EQ(shown, kept ? value : current);
        EXPECT_EQ(afterBrowse, shown);
        EXPECT_FALSE(okEnabled) << "OK on a folder outside the file system";
        std::string brodera, tambora;
        EXPECT_EQ(ReadRegString(Key::Brodera, "RcvPath", &brodera), !kept);
        EXPECT_TRUE(ReadRegString(Key::Tambora, "RcvPath", &tambora));
        EXPECT_EQ(tambora, shown);
        EXPECT_EQ(brodera, kept ? "" : current);
    }
    SetCurrentDirectoryA(previous);
    EXPECT_TRUE(ModuleMessages().empty());
}

// The name of the folder highlighted in the folder browser's tree.
std::string HighlightedFolder(HWND browser)
{
    HWND tree = FindWindowExA(browser, NULL, WC_TREEVIEWA, NULL);
    char text[MAX_PATH] = "";
    TVITEMA tvi = {TVIF_TEXT, (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0)};
    tvi.pszText = text;
    tvi.cchTextMax = sizeof text;
    if (tree && tvi.hItem)
        SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&tvi);
    return text;
}

// "Browse": the current folder is offered preselected under the title; the one chosen is
// shown in full, stored as "RcvPath" in both keys and offered the next time.
TEST_F(Receive, BrowseChoosesAndStoresTheReceiveFolder)
{
    ArmWatchdog("Receive.BrowseChoosesAndStoresTheReceiveFolder", 170);
    // On the prefix's own drive: the browser reads the mapped drive of the work folder
    // slowly, and sometimes not at all, under Wine.
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string base = std::string(temp) + "vemb receive browse", first = base + "\\first",
                second = base + "\\second folder";
    for (const std::string &folder : {base, first, second})
        CreateDirectoryA(folder.c_str(), NULL);
    SetRegString(Key::Tambora, "RcvPath", first);
    std::string shown;
    bool title = false;
    auto highlighted = [](Ui &u, HWND browser, const char *name) {
        // The shell's folder tree fills slowly on a busy machine: generous waits.
        u.WaitUntil([&] { return lstrcmpiA(HighlightedFolder(browser).c_str(), name) == 0; },
                    std::string(name) + " highlighted", 90000);
    };
    Run([&](Ui &u, HWND dlg) {
        u.Click(dlg, IDC_RECEIVE_BROWSE);
        HWND browser = u.WaitDialogPrefix("Browse");
        highlighted(u, browser, "first");
        for (HWND c = GetWindow(browser, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            title |= WindowText(c) == "Select the folder to store the received embroidery data.";
        // Another folder, as a user picking it in the tree.
        SendMessageTimeoutA(browser, BFFM_SETSELECTIONA, TRUE, (LPARAM)second.c_str(), SMTO_NORMAL, 10000, NULL);
        highlighted(u, browser, "second folder");
        u.Click(browser, IDOK);
        u.WaitGone(browser);
        Settle(dlg);
        shown = ControlText(dlg, IDC_RECEIVE_FOLDER);
        u.Click(dlg, IDC_RECEIVE_BROWSE);
        browser = u.WaitDialogPrefix("Browse");
        highlighted(u, browser, "second folder");
        u.Click(browser, IDCANCEL);
        u.WaitGone(browser);
    });
    EXPECT_TRUE(title);
    EXPECT_STRCASEEQ(shown.c_str(), second.c_str());
    std::string brodera, tambora;
    EXPECT_TRUE(ReadRegString(Key::Brodera, "RcvPath", &brodera));
    EXPECT_TRUE(ReadRegString(Key::Tambora, "RcvPath", &tambora));
    EXPECT_STRCASEEQ(brodera.c_str(), second.c_str());
    EXPECT_STRCASEEQ(tambora.c_str(), second.c_str());
}

// "Receive" that builds no receive list leaves the dialog open and fetches nothing: an
// empty list (silently), no memory for the list, a destination path beyond 260 characters,
// a machine name that is no plain file name (it would be saved outside the folder).
TEST_F(Receive, ReceiveThatCannotBuildItsListKeepsTheDialogOpen)
{
    const std::string longName = std::string(60, 'n') + ".ptn";
    const struct {
        const char *what, *seed, *folder;
        CallFault *fault;
        std::vector<Shown> told;
    } cases[] = {
        {"empty list", nullptr, "", nullptr, {}},
        {"no block", "a.vbd", "", &g_globalAlloc, {{"Receiving", "Not enough memory space.", MB_ICONHAND}}},
        {"block not locked", "a.vbd", "", &g_globalLock, {{"Receiving", "Not enough memory space.", MB_ICONHAND}}},
        {"path too long", longName.c_str(), "long", nullptr, {{"Receiving",
           "The receive folder is too long for the design \"" + longName +
               "\".\nPlease choose a folder with a shorter path.",
           MB_ICONEXCLAMATION}}},
        {"no plain file name", "..\\up.vbd", "", nullptr, {{"Receiving",
           "The design \"..\\up.vbd\" has a name that cannot be used as a file name in the receive folder.\nPlease "
           "untick it to receive the other designs.",
           MB_ICONEXCLAMATION}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        linksim::ResetMachine();
        ClearRecordedMessageBoxes();
        if (c.seed) {
            SeedDesign(1, c.seed, Design(0));
            SeedDesign(1, "fine.vbd", Design(1));
        }
        SetRegString(Key::Tambora, "RcvPath",
                     std::string(c.folder) == "long" ? "C:\\" + std::string(200, 'f') : WorkDir());
        bool open = false;
        Run([&](Ui &u, HWND dlg) {
            u.Click(dlg, IDC_RECEIVE_SELECT_ALL);
            Barrier(u, dlg);
            if (c.fault)
                c.fault->Arm(0);
            PostMessageA(dlg, WM_COMMAND, IDOK, 0);
            if (!c.told.empty())
                u.Answer(u.WaitMessageBox("Receiving"), IDOK);
            Barrier(u, dlg);
            open = IsWindowVisible(dlg) != FALSE;
        });
        EXPECT_EQ(c.fault ? c.fault->failed : 1, 1);
        EXPECT_TRUE(open);
        EXPECT_EQ(ModuleMessages(), c.told);
        EXPECT_TRUE(Uploads().empty());
    }
    EXPECT_FALSE(FileExists(In("up.vbd")));
}

// The receive step: its dialog, its event or its worker cannot be had (only the close box is
// left then), or the link does not open, or the upload fails. Nothing is received; the
// library explains its failures under "Receiving"; UploadData still returns 1.
TEST_F(Receive, ReceiveStepFailures)
{
    const std::string folder = In("in");
    CreateDirectoryA(folder.c_str(), NULL);
    SetRegString(Key::Tambora, "RcvPath", folder);
    const struct {
        const char *what;
        bool usb, refuseDialog;
        CallFault *fault;
        int pass;
        const char *faults;
        std::vector<Shown> told;
        const char *link;
    } cases[] = {
        {"no dialog", false, true, nullptr, 0, "", {{"Receiving", "Failed to create Window.", MB_ICONHAND}}, nullptr},
        {"no event", false, false, &g_event, 0, "", {{"Upload", "Failed to create event object.", MB_ICONHAND}},
         nullptr},
        {"no worker", false, false, &g_thread, 0, "", {{"Upload", "Failed to create a thread.", MB_ICONHAND}}, nullptr},
        {"serial line", false, false, nullptr, 0, "port=COM2\n", {}, "Receiving 2/0"},
        {"USB link", true, false, &g_usbOpen, 1, "", {}, "Receiving 1/0"},
        {"upload fails", false, false, nullptr, 0, "fail.Protocol_Seq_Upload=13,9\n", {}, "Receiving 13/9"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        UseUsb(c.usb ? Usb::Present : Usb::Absent);
        linksim::ResetMachine();
        SeedFive();
        SetFaults("message=log\n");
        ClearRecordedMessageBoxes();
        std::unique_ptr<DialogRefusal> refusal(c.refuseDialog ? new DialogRefusal("Receive Designs", 1) : nullptr);
        const std::string title = ListTitle(Side::Receive, c.usb);
        Run(
            [&](Ui &u, HWND dlg) {
                u.Click(dlg, IDC_RECEIVE_SELECT_ALL);
                Barrier(u, dlg);
                u.Click(dlg, IDOK);
                u.WaitGone(dlg);
                if (c.refuseDialog) {
                    u.Answer(u.WaitMessageBox("Receiving"), IDOK);
                    return;
                }
                HWND progress = u.WaitDialog(title);
                SetFaults(std::string(c.faults) + "message=log\n");
                if (c.fault)
                    c.fault->Arm(c.pass);
                u.Click(progress, IDOK);
                if (!c.told.empty()) {
                    u.Answer(u.WaitMessageBox("Upload"), IDOK);
                    u.Close(progress);
                }
                AnswerUntilGone(u, progress);
            },
            c.usb);
        EXPECT_EQ(c.fault ? c.fault->failed : 1, 1);
        EXPECT_EQ(ModuleMessages(), c.told);
        EXPECT_EQ(LinkMessages(), c.link ? Names{c.link} : Names{});
        EXPECT_EQ(Uploads().size(), c.link && std::string(c.what) == "upload fails" ? 1u : 0u);
        EXPECT_TRUE(Files(folder).empty());
        EXPECT_EQ(Dll().GetTransferStatus(), 0u);
    }
}

// With the USB link library and the machine on the cable the captions say so and both
// transfers take the USB road; with the machine off the cable the captions say disconnected,
// the serial road is taken, and a device change that finds the machine turns the caption.
TEST_F(Receive, UsbConnectedReceivesOverUsb)
{
    UseUsb(Usb::Present);
    SeedFive();
    Run([&](Ui &u, HWND dlg) { ReceiveTicked(u, dlg, {3}, "Receive Designs - USB Connected"); }, true);
    Names ops = SimOps();
    EXPECT_EQ(std::count(ops.begin(), ops.end(), "USB_DirUpload_Sequence"), 1);
    EXPECT_EQ(std::count(ops.begin(), ops.end(), "USB_Upload_Sequence"), 1);
    EXPECT_EQ(std::count(ops.begin(), ops.end(), "SIO_InitializeIO"), 0);
    EXPECT_EQ(ops.back(), "USB_Terminate");
    EXPECT_EQ(ReadFileBytes(In("apple.vbd")), Design(1));

    linksim::ResetMachine();
    SetFaults("usb=disconnected\n");
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
    ASSERT_EQ(DirectoryUploads().size(), 1u);
    EXPECT_EQ(DirectoryUploads()[0].op, "Protocol_Seq_DirUpload");
}

}  // namespace
