// Receiving designs through UploadData: locations, the receive folder, the receive step with its
// progress dialog and worker, and every failure on the way.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "VembDlg.h"
#include "designgen/design_writer.h"
#include "link/settings.h"
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
    // Design numbers 1 to 5 in this order, listed A10 (3), A9 (4), Zed (1), apple (2), rose (5).
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
        FindClose(find);
        std::sort(files.begin(), files.end());
        return files;
    }
    const Names NAMES = {"Zed.ptn", "apple.vbd", "A10.vbd", "A9.vbd", "rose.PtN"};
};

// Every click on a location control reloads the list with its location code: Built-in 1, ATA PC Card 2,
// PC Design Card 4 (the Open/Save check box disabled, its tick kept), 4 more with the Open/Save folder.
TEST_F(Receive, LocationClicksReloadTheListWithTheirCodes)
{
    const struct {
        int id, location;
        bool openSaveEnabled, openSaveTicked;
    } clicks[] = {{IDC_RECEIVE_ATA_CARD, 2, true, false},  {IDC_RECEIVE_OPEN_SAVE, 6, true, true},
                  {IDC_RECEIVE_BUILT_IN, 5, true, true},   {IDC_RECEIVE_DESIGN_CARD, 4, false, true},
                  {IDC_RECEIVE_BUILT_IN, 5, true, true},   {IDC_RECEIVE_OPEN_SAVE, 1, true, false},
                  {IDC_RECEIVE_BUILT_IN, 1, true, false},  {IDC_RECEIVE_ATA_CARD, 2, true, false},
                  {IDC_RECEIVE_OPEN_SAVE, 6, true, true}};
    Run([&](Ui &u, HWND dlg) {
        EXPECT_EQ(DirectoryUploads().at(0).Arg("location"), "1");
        size_t n = 1;
        for (const auto &c : clicks) {
            SCOPED_TRACE("click " + std::to_string(n) + " on control " + std::to_string(c.id));
            u.Click(dlg, c.id);
            WaitListLoaded(u, dlg, ++n);
            EXPECT_EQ(DirectoryUploads().back().Arg("location"), std::to_string(c.location));
            EXPECT_EQ(IsControlEnabled(dlg, IDC_RECEIVE_OPEN_SAVE), c.openSaveEnabled);
            EXPECT_EQ(IsChecked(dlg, IDC_RECEIVE_OPEN_SAVE), c.openSaveTicked);
        }
    });
}

// Three designs of "ATA PC Card" with "Select Open/Save folder." (6) received serially: the receive list in
// list order, zero-closed and freed afterwards; the files byte-identical, ".ptn" saved as ".vbd"; the
// machine unchanged. The line opens at 9600 bit/s on the stored port; the sequences get the stored speed.
TEST_F(Receive, TickedDesignsArriveInTheReceiveFolder)
{
    SeedFive(6);
    SetRegDword(Key::Tambora, VALUE_COM_PORT, 4);
    SetRegDword(Key::Tambora, VALUE_BAUD_RATE, 3);
    SetFaults("port=COM4\n");
    SetRegString(Key::Tambora, "RcvPath", WorkDir() + "\\");
    WriteFileText(In("keep.txt"), "not ours");
    const char *names[] = {"A10.vbd", "Zed.vbd", "rose.vbd"};
    const int numbers[] = {3, 1, 5};
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        WaitListLoaded(u, dlg, 1);
        u.Click(dlg, IDC_RECEIVE_ATA_CARD);
        WaitListLoaded(u, dlg, 2);
        u.Click(dlg, IDC_RECEIVE_OPEN_SAVE);
        WaitListLoaded(u, dlg, 3);
        Tick(u, dlg, {4, 0, 2});
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
        HWND progress = u.WaitDialog(RECEIVE_COM);
        EXPECT_EQ(GetTransferStatus(), 0u) << "before Start";
        ASSERT_EQ(g_receiveCount, 3u);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(g_receiveList[i].name, In(names[i]));
            EXPECT_EQ(g_receiveList[i].location, 6);
            EXPECT_EQ(g_receiveList[i].number, numbers[i]);
        }
        EXPECT_EQ(memcmp(&g_receiveList[3], std::vector<char>(sizeof(DesignEntry)).data(), sizeof(DesignEntry)), 0)
            << "the closing entry";
        u.Click(progress, IDOK);
        u.WaitGone(progress);
    });
    EXPECT_EQ(UploadData(Owner()), 1);  // the module's code linked into this program
    ui.Join();
    EXPECT_EQ(g_receiveList, nullptr) << "freed";
    EXPECT_EQ(GetTransferStatus(), 0u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(ReadFileBytes(In(names[i])), Design(numbers[i] - 1)) << names[i];
    for (const SimCall &c : DirectoryUploads())
        EXPECT_EQ(c.Arg("speed"), "19200") << "the stored speed";
    for (const SimCall &c : CallsOf("SIO_InitializeIO"))
        EXPECT_EQ(c.Arg("port") + " " + c.Arg("speed"), "COM4 9600") << "the stored port";
    std::vector<SimCall> uploads = Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].Arg("count"), "3");
    EXPECT_EQ(uploads[0].Arg("speed"), "19200") << "the stored speed";
    EXPECT_EQ(uploads[0].Arg("progress"), "yes");
    EXPECT_EQ(uploads[0].entries.size(), 3u);
    EXPECT_EQ(Files(WorkDir()), (Names{"A10.vbd", "Zed.vbd", "keep.txt", "rose.vbd"}));
    EXPECT_EQ(StoredNames(6), NAMES);
    EXPECT_TRUE(RecordedMessageBoxes().empty());
}

// The name of the folder highlighted in the folder browser's tree.
std::string HighlightedFolder(HWND browser)
{
    HWND tree = FindWindowExA(browser, NULL, WC_TREEVIEWA, NULL);
    char text[MAX_PATH] = "";
    TVITEMA tvi = {};
    tvi.mask = TVIF_TEXT;
    tvi.hItem = (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    tvi.pszText = text;
    tvi.cchTextMax = sizeof text;
    if (tree && tvi.hItem)
        SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&tvi);
    return text;
}

// The receive folder as the registry holds it, "<none>" when it is missing.
std::string RcvPath(Key key)
{
    std::string value;
    return ReadRegString(key, "RcvPath", &value) ? value : "<none>";
}

// A stored receive folder is shown untested; a missing or unreadable one gives the current directory,
// stored in both keys.
TEST_F(Receive, ReceiveFolderFromTheRegistryOrTheCurrentDirectory)
{
    char previous[MAX_PATH], current[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(WorkDir().c_str()));
    GetCurrentDirectoryA(MAX_PATH, current);
    const std::string kept = "Q:\\no\\such\\folder";
    for (const std::string &stored : {"C:\\" + std::string(300, 'r'), std::string(), kept}) {
        SCOPED_TRACE(stored);
        DeleteSettingsKeys();
        if (!stored.empty())
            SetRegString(Key::Tambora, "RcvPath", stored);
        std::string shown;
        Run([&](Ui &, HWND dlg) { shown = ControlText(dlg, IDC_RECEIVE_FOLDER); });
        EXPECT_EQ(shown, stored == kept ? kept : current);
        EXPECT_EQ(RcvPath(Key::Tambora), shown);
        EXPECT_EQ(RcvPath(Key::Brodera), stored == kept ? "<none>" : current);
    }
    SetCurrentDirectoryA(previous);
}

// "Browse" offers the receive folder under its title and stores the folder chosen in both keys; it has no
// OK outside the file system, and Cancel leaves the folder as it was.
TEST_F(Receive, BrowseStoresTheChosenFolder)
{
    ArmWatchdog("Receive.BrowseStoresTheChosenFolder", 170);
    // On the prefix's own drive: Wine's browser reads the mapped drive of the work folder slowly.
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string base = std::string(temp) + "vemb receive browse", first = base + "\\first",
                second = base + "\\second folder";
    for (const std::string &folder : {base, first, second})
        CreateDirectoryA(folder.c_str(), NULL);
    SetRegString(Key::Tambora, "RcvPath", first);
    auto highlighted = [](Ui &u, HWND browser, const char *name, DWORD timeoutMs) {
        u.WaitUntil([&] { return lstrcmpiA(HighlightedFolder(browser).c_str(), name) == 0; },
                    std::string(name) + " highlighted", timeoutMs);
    };
    // Opens the browser, which must show `shown`, and when `path` is given chooses it there as a user
    // clicks a folder (`name` highlighted). Wine's browser, on a new prefix under load, now and then comes
    // up late without the selection the dialog sends it at BFFM_INITIALIZED, or lets a selection sent to
    // it go by; the dialog does the same at every opening, so such a browser is cancelled (the receive
    // folder stays) and the whole opening made again, three times at most.
    auto openBrowser = [&](Ui &u, HWND dlg, const char *shown, const std::string &path = "",
                           const char *name = "") {
        for (int attempt = 1;; ++attempt) {
            u.Click(dlg, IDC_RECEIVE_BROWSE);
            HWND browser = u.WaitDialogPrefix("Browse");
            try {
                highlighted(u, browser, shown, 20000);
                if (!path.empty()) {
                    EXPECT_TRUE(SendMessageTimeoutA(browser, BFFM_SETSELECTIONA, TRUE, (LPARAM)path.c_str(),
                                                    SMTO_NORMAL, 20000, NULL))
                        << "the browser did not take the selection";
                    highlighted(u, browser, name, 20000);
                }
                return browser;
            } catch (const uidrive::UiTimeout &) {
                if (attempt == 3)
                    throw;
                u.Click(browser, IDCANCEL);
                u.WaitGone(browser);
            }
        }
    };
    Run([&](Ui &u, HWND dlg) {
        HWND browser = openBrowser(u, dlg, "first", second, "second folder");
        bool title = false;
        for (HWND c = GetWindow(browser, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            title |= WindowText(c) == "Select the folder to store the received embroidery data.";
        EXPECT_TRUE(title);
        u.Click(browser, IDOK);
        u.WaitGone(browser);
        Settle(dlg);
        EXPECT_STRCASEEQ(ControlText(dlg, IDC_RECEIVE_FOLDER).c_str(), second.c_str());
        EXPECT_STRCASEEQ(RcvPath(Key::Brodera).c_str(), second.c_str());
        EXPECT_STRCASEEQ(RcvPath(Key::Tambora).c_str(), second.c_str());
        browser = openBrowser(u, dlg, "second folder");
        LPITEMIDLIST drives = NULL;
        SHGetSpecialFolderLocation(NULL, CSIDL_DRIVES, &drives);
        // The browser answers a selection once it has told the dialog about it: OK is settled then.
        EXPECT_TRUE(SendMessageTimeoutA(browser, BFFM_SETSELECTIONA, FALSE, (LPARAM)drives, SMTO_NORMAL, 60000, NULL))
            << "the browser did not take the selection";
        EXPECT_FALSE(IsControlEnabled(browser, IDOK)) << "OK on a folder outside the file system";
        CoTaskMemFree(drives);
        u.Click(browser, IDCANCEL);
        u.WaitGone(browser);
        Settle(dlg);
        EXPECT_STRCASEEQ(ControlText(dlg, IDC_RECEIVE_FOLDER).c_str(), second.c_str()) << "after Cancel";
    });
    EXPECT_TRUE(ModuleMessages().empty());
}

// "Receive" that builds no receive list keeps the dialog open; a receive step whose dialog, event,
// worker, link or upload fails receives nothing. UploadData returns 1 every time.
TEST_F(Receive, ReceiveFailures)
{
    const std::string longName = std::string(60, 'n') + ".ptn", folder = In("in");
    CreateDirectoryA(folder.c_str(), NULL);
    const Shown noMemory = {"Receiving", "Not enough memory space.", MB_ICONHAND};
    const struct {
        const char *what, *seed;  // nullptr: five designs, the receive step; "": none; else it and "fine.vbd"
        bool refuseDialog;
        CallFault *fault;
        int pass;
        const char *faults;
        std::vector<Shown> told;
        const char *link = nullptr;
    } cases[] = {
        {"empty list", "", false, nullptr, 0, "", {}, nullptr},
        {"no block", "a.vbd", false, &g_globalAlloc, 0, "", {noMemory}, nullptr},
        {"block not locked", "a.vbd", false, &g_globalLock, 0, "", {noMemory}, nullptr},
        {"path too long", longName.c_str(), false, nullptr, 0, "",
         {{"Receiving", "The receive folder is too long for the design \"" + longName +
                            "\".\nPlease choose a folder with a shorter path.", MB_ICONEXCLAMATION}}, nullptr},
        {"no plain file name", "..\\up.vbd", false, nullptr, 0, "",
         {{"Receiving", "The design \"..\\up.vbd\" has a name that cannot be used as a file name in the receive "
                        "folder.\nPlease untick it to receive the other designs.", MB_ICONEXCLAMATION}}, nullptr},
        {"no dialog", nullptr, true, nullptr, 0, "", {{"Receiving", "Failed to create Window.", MB_ICONHAND}}, nullptr},
        {"no event", nullptr, false, &g_event, 0, "", {{"Upload", "Failed to create event object.", MB_ICONHAND}}},
        {"no worker", nullptr, false, &g_thread, 0, "", {{"Upload", "Failed to create a thread.", MB_ICONHAND}}},
        {"serial line", nullptr, false, nullptr, 0, "port=COM2\n", {}, "Receiving 2/0"},
        {"USB link", nullptr, false, &g_usbOpen, 1, "", {}, "Receiving 1/0"},
        {"upload fails", nullptr, false, nullptr, 0, "fail.Protocol_Seq_Upload=13,9\n", {}, "Receiving 13/9"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const bool usb = c.fault == &g_usbOpen, atReceive = c.seed != nullptr;
        UseUsb(usb ? Usb::Present : Usb::Absent);
        linksim::ResetMachine();
        if (!c.seed)
            SeedFive();
        else if (*c.seed)
            SeedDesign(1, c.seed, Design(0)), SeedDesign(1, "fine.vbd", Design(1));
        SetRegString(Key::Tambora, "RcvPath", c.seed == longName.c_str() ? "C:\\" + std::string(200, 'f') : folder);
        SetFaults("message=log\n");
        ClearRecordedMessageBoxes();
        std::unique_ptr<DialogRefusal> refusal(c.refuseDialog ? new DialogRefusal("Receive Designs", 1) : nullptr);
        bool open = false;
        Run([&](Ui &u, HWND dlg) {
            u.Click(dlg, IDC_RECEIVE_SELECT_ALL);
            Barrier(u, dlg);
            if (atReceive) {
                if (c.fault)
                    c.fault->Arm(0);
                PostMessageA(dlg, WM_COMMAND, IDOK, 0);
                if (!c.told.empty())
                    u.Answer(u.WaitMessageBox("Receiving"), IDOK);
                Barrier(u, dlg);
                open = IsWindowVisible(dlg) != FALSE;
                return;
            }
            u.Click(dlg, IDOK);
            u.WaitGone(dlg);
            if (c.refuseDialog)
                return u.Answer(u.WaitMessageBox("Receiving"), IDOK);
            HWND progress = u.WaitDialog(ListTitle(Side::Receive, usb));
            SetFaults(std::string(c.faults) + "message=log\n");
            if (c.fault)
                c.fault->Arm(c.pass);
            u.Click(progress, IDOK);
            if (!c.told.empty()) {
                u.Answer(u.WaitMessageBox("Upload"), IDOK);
                u.Close(progress);
            }
            AnswerUntilGone(u, progress);
        }, usb);
        EXPECT_EQ(c.fault ? c.fault->failed : 1, 1);
        EXPECT_EQ(open, atReceive);
        EXPECT_EQ(ModuleMessages(), c.told);
        EXPECT_EQ(LinkMessages(), c.link ? Names{c.link} : Names{});
        EXPECT_EQ(LinkCloseBesideMessage(), CloseBesideMessage(c.link, std::string(c.what) == "upload fails"));
        EXPECT_EQ(Uploads().size(), std::string(c.what) == "upload fails" ? 1u : 0u);
        EXPECT_TRUE(Files(folder).empty());
        EXPECT_EQ(Dll().GetTransferStatus(), 0u);
    }
}

// On the cable both transfers take the USB road; the close box during the transfer asks the library to
// stop, and the dialog ends after its message, what arrived staying.
TEST_F(Receive, UsbTransferClosedMidwayKeepsWhatArrived)
{
    UseUsb(Usb::Present);
    SeedFive();
    SetFaults("delay=150\n");
    Run([&](Ui &u, HWND dlg) {
        u.Click(dlg, IDC_RECEIVE_SELECT_ALL);
        Barrier(u, dlg);
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
        HWND progress = u.WaitDialog("Receive Designs - USB Connected");
        u.Click(progress, IDOK);
        u.WaitUntil([&] { return ControlText(progress, IDC_RECEIVE_COUNTER) == "2  /  5"; }, "second design");
        EXPECT_EQ(ControlText(progress, IDC_RECEIVE_STATUS), "Just a moment, please.");
        RECT clip;  // an open clip sizes the control to its frames
        GetClientRect(GetDlgItem(progress, IDC_RECEIVE_ANIMATION), &clip);
        EXPECT_EQ(std::make_pair(clip.right, clip.bottom), std::make_pair(233L, 82L));
        EXPECT_FALSE(IsControlVisible(progress, IDOK) || IsControlVisible(progress, IDCANCEL));
        EXPECT_EQ(Dll().GetTransferStatus(), 1u);
        u.Close(progress);
        MessageBoxInfo box = u.WaitMessageBox("Receiving");
        EXPECT_EQ(box.text.rfind("Loomstar link error 3 ", 0), 0u) << box.text;
        EXPECT_TRUE(IsWindow(progress) && IsWindowVisible(progress)) << "open during the message";
        u.Answer(box, IDOK);
        u.WaitGone(progress);
    }, true);
    std::vector<SimCall> uploads = Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_NE(std::find(uploads[0].events.begin(), uploads[0].events.end(), "cancelled"), uploads[0].events.end());
    EXPECT_EQ(uploads[0].op, "USB_Upload_Sequence");
    EXPECT_EQ(uploads[0].result, 3);
    Names ops = SimOps();
    EXPECT_EQ(std::count(ops.begin(), ops.end(), "USB_DirUpload_Sequence"), 1);
    EXPECT_EQ(std::count(ops.begin(), ops.end(), "SIO_InitializeIO"), 0);
    EXPECT_EQ(ops.back(), "USB_Terminate");
    EXPECT_EQ(Dll().GetTransferStatus(), 0u);
    Names arrived = Files(WorkDir());
    EXPECT_TRUE(arrived.size() >= 1 && arrived.size() < 5) << arrived.size();
}

// Off the cable the serial road, until a device change finds the machine and turns the caption. Cancel
// before Start receives nothing.
TEST_F(Receive, OffTheCableTheSerialRoadUntilADeviceChange)
{
    UseUsb(Usb::Present);
    SeedFive();
    SetFaults("usb=disconnected\n");
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog("Receive Designs - USB Disconnected");
        WaitListLoaded(u, dlg, 1);
        SetFaults("usb=connected\n");
        SendMessageTimeoutA(dlg, WM_DEVICECHANGE, 0x0007, 0, SMTO_NORMAL, 10000, NULL);
        EXPECT_EQ(WindowText(dlg), "Receive Designs - USB Connected");
        Tick(u, dlg, {0});
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
        HWND progress = u.WaitDialogPrefix("Receive Designs - ");
        u.Click(progress, IDCANCEL);
        u.WaitGone(progress);
    });
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    ui.Join();
    ASSERT_EQ(DirectoryUploads().size(), 1u);
    EXPECT_EQ(DirectoryUploads()[0].op, "Protocol_Seq_DirUpload");
    EXPECT_TRUE(Uploads().empty());
    EXPECT_TRUE(Files(WorkDir()).empty());
}

// The receive bar stands at done x 100 / total, truncated: where done / total x 100 rounds a hair below
// (29 of 100 gives 28.999...), the bar still shows 29.
TEST_F(Receive, ProgressBarIsDoneTimesHundredOverTotal)
{
    SeedDesign(1, "a.vbd", Design(0));
    SetFaults("message=log\n");
    int position = -1;
    Run([&](Ui &u, HWND dlg) {
        Tick(u, dlg, {0});
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
        HWND progress = u.WaitDialog(RECEIVE_COM);
        SetFaults("message=log\ndelay=3000\nprogress=29/100\n");
        u.Click(progress, IDOK);
        HWND bar = GetDlgItem(progress, IDC_RECEIVE_PROGRESS_BAR);
        u.WaitUntil([&] { return (position = (int)SendMessageA(bar, PBM_GETPOS, 0, 0)) != 0; }, "the bar");
        u.Close(progress);
        u.WaitGone(progress);
    });
    EXPECT_EQ(position, 29);
}

}  // namespace
