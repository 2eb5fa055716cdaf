// The machine design list and the preview of stored designs, which Receive Designs and Delete
// Designs share: the directory upload and its failures, sorting, ticks and labels, Show
// Preview, Auto Preview, clicks and arrow keys, the preview request and its failures.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>

#include "designgen/design_writer.h"
#include "directory_upload_res.h"
#include "receive_designs_res.h"
#include "resource.h"
#include "vemb_helpers.h"

using namespace vt;

namespace {

// The captions each side gives its messages.
struct SideCaptions {
    Side side;
    const char *list, *uploadEvent, *previewEvent;
};
const SideCaptions SIDES[] = {{Side::Receive, "Upload", "Directory Information", "Directory Infomation"},
                              {Side::Delete, "Delete", "Directory Information Upload", "Directory Information"}};
const Names FIVE_SORTED = {"A10.vbd", "A9.vbd", "Zed.ptn", "apple.vbd", "rose.PtN"};

class MachineList : public VembTest {
protected:
    void SetUp() override
    {
        VembTest::SetUp();
        PatchFaults();
        SetRegString(Key::Tambora, "RcvPath", WorkDir());
    }
    void Run(const std::function<void(Ui &, HWND)> &script, Side side = Side::Receive, bool usb = false)
    {
        RunList(Owner(), side, script, usb);
    }
    // Stored in this order: design numbers 1 to 5, listed as FIVE_SORTED: A10 (3), A9 (4),
    // Zed (1), apple (2), rose (5). Hoops: normal, small, large, normal, small.
    void SeedFive(int location = 1)
    {
        const char *names[] = {"Zed.ptn", "apple.vbd", "A10.vbd", "A9.vbd", "rose.PtN"};
        for (int i = 0; i < 5; ++i)
            SeedDesign(location, names[i], Design(i % 3));
    }
    static std::vector<char> Design(int hoop) { return designgen::MakeDesign({300, (uint32_t)hoop}); }
    // "<location>/<number>" of each preview fetched.
    static Names Fetched()
    {
        Names fetched;
        for (const SimCall &c : Uploads())
            fetched.push_back(std::to_string(c.entries.at(0).location) + "/" + std::to_string(c.entries.at(0).number));
        return fetched;
    }
};

// Shows the preview of `item` with the button; waits for the fetch.
void PreviewItem(Ui &u, HWND dialog, int item, size_t fetchNumber)
{
    ClickItem(dialog, item);
    Barrier(u, dialog);
    u.Click(dialog, IDC_SHOW_PREVIEW);
    WaitPreviewDone(u, dialog, fetchNumber);
}

// Names sort by byte value, each item keeping its design number; the label and the OK
// button follow the ticks; a tick or a cleared tick selects its item; select-all selects
// the last item that it ticked, or leaves the selection when all were ticked. Cancel after
// ticking transfers nothing.
TEST_F(MachineList, ListShowsTheDesignsSortedAndFollowsTheTicks)
{
    SeedFive();
    Names names, seen;
    Run([&](Ui &u, HWND dlg) {
        names = ItemNames(dlg);
        for (size_t i = 0; i < names.size(); ++i)
            names[i] += " " + std::to_string(ItemData(dlg, (int)i) & 0xFFFF);
        auto look = [&] {
            seen.push_back(ControlText(dlg, IDC_SELECTED_COUNT) + (IsControlEnabled(dlg, IDOK) ? ", on " : ", off ") +
                           std::to_string(SelectedItem(dlg)));
        };
        look();
        for (int item : {2, 4, 2}) {
            Tick(u, dlg, {item});
            look();
        }
        u.Click(dlg, IDC_RECEIVE_SELECT_ALL);
        Barrier(u, dlg);
        look();  // the last newly ticked item, not 4
        ClickItem(dlg, 1);
        Barrier(u, dlg);
        u.Click(dlg, IDC_RECEIVE_SELECT_ALL);
        Barrier(u, dlg);
        look();  // all ticked already: the selection stays
    });
    EXPECT_EQ(names, (Names{"A10.vbd 3", "A9.vbd 4", "Zed.ptn 1", "apple.vbd 2", "rose.PtN 5"}));
    EXPECT_EQ(seen, (Names{"Selected designs : 0, off -1", "Selected designs : 1, on 2", "Selected designs : 2, on 4",
                           "Selected designs : 1, on 2", "Selected designs : 5, on 3", "Selected designs : 5, on 1"}));
    EXPECT_TRUE(Uploads().empty());
}

// An empty location (the 2-byte header alone) gives an empty list, the label 0 and OK
// disabled. A directory upload that fails shows exactly one message, the library's: the
// list is empty, or filled from what the library left, whose header count (3 over 5
// records) is not compared with the records.
TEST_F(MachineList, EmptyAndFailedDirectoryUploads)
{
    std::vector<Names> lists;
    std::string empty;
    Run([&](Ui &u, HWND dlg) {
        empty = ControlText(dlg, IDC_SELECTED_COUNT) + (IsControlEnabled(dlg, IDOK) ? " on" : " off");
        lists.push_back(ItemNames(dlg));
        std::string file = {0, 3};
        for (const char *n : {"e5", "d4", "c3", "b2", "a1"})
            file += std::string(1, (char)strlen(n)) + n;
        SeedFive();
        for (bool left : {true, false}) {
            if (left)
                WriteFileBytes(TempFile("$$UPLDir.tmp"), file.data(), file.size());
            SetFaults("fail.Protocol_Seq_DirUpload=14,once\n");
            u.Click(dlg, IDC_RECEIVE_ATA_CARD);
            u.Answer(u.WaitMessageBox("Design List"), IDOK);
            WaitListLoaded(u, dlg, left ? 2 : 3);
            lists.push_back(ItemNames(dlg));
        }
        u.Click(dlg, IDC_RECEIVE_BUILT_IN);  // another try finds the designs
        WaitListLoaded(u, dlg, 4);
        lists.push_back(ItemNames(dlg));
    });
    EXPECT_EQ(empty, "Selected designs : 0 off");
    EXPECT_EQ(lists, (std::vector<Names>{{}, {"a1", "b2", "c3", "d4", "e5"}, {}, FIVE_SORTED}));
    ASSERT_EQ(RecordedMessageBoxes().size(), 2u);
    for (const MessageBoxCall &box : RecordedMessageBoxes())
        EXPECT_EQ(box.text.rfind("Loomstar link error 14 (detail 0).", 0), 0u) << box.text;
    EXPECT_FALSE(FileExists(TempFile("$$UPLDir.tmp")));
}

// On both sides a design is fetched into "$$UPLPrv.tmp" by its design number (not its
// position in the sorted list), drawn, its hoop named, and the file deleted; ".vbd" and
// ".ptn" in any letter case are drawn.
TEST_F(MachineList, ShowPreviewFetchesByDesignNumberAndDrawsTheHoop)
{
    for (const SideCaptions &s : SIDES) {
        SCOPED_TRACE(ListTitle(s.side));
        linksim::ResetMachine();
        SeedFive(2);
        Names shown;
        Run(
            [&](Ui &u, HWND dlg) {
                shown.push_back(ControlText(dlg, IDC_HOOP_LABEL) + std::to_string(StitchPixels(dlg)));
                u.Click(dlg, IDC_LOCATION_ATA_CARD);
                WaitListLoaded(u, dlg, 2);
                for (int item : {3, 0, 4}) {  // apple.vbd, A10.vbd, rose.PtN
                    PreviewItem(u, dlg, item, shown.size());
                    shown.push_back(ControlText(dlg, IDC_HOOP_LABEL) + (StitchPixels(dlg) > 50 ? " drawn" : ""));
                }
                shown.push_back(FileExists(TempFile("$$UPLPrv.tmp")) ? "file left" : "file gone");
            },
            s.side);
        EXPECT_EQ(shown, (Names{" 0", "Small Hoop drawn", "Large Hoop drawn", "Small Hoop drawn", "file gone"}));
        EXPECT_EQ(Fetched(), (Names{"2/2", "2/3", "2/5"}));
        for (const SimCall &c : Uploads())
            EXPECT_EQ(c.Arg("count") + " " + c.entries.at(0).name, "1 " + TempFile("$$UPLPrv.tmp"));
        EXPECT_TRUE(RecordedMessageBoxes().empty());
    }
}

// A preview that cannot be fetched clears the box and sets the label to " "; one that
// cannot be drawn, or whose name is no design's (fetched all the same), leaves them as they
// were. The library explains its failures, the module the missing event; the file goes.
TEST_F(MachineList, PreviewFailures)
{
    const struct {
        const char *what;
        bool usb, refuseDialog;
        CallFault *fault;
        int pass;
        const char *faults;
        int item;  // 0 the broken design, 1 the text file, 2 the good one
        bool close, eventMessage;
        const char *link;
        bool cleared;
    } cases[] = {
        {"no dialog", false, true, nullptr, 0, "", 2, false, false, nullptr, true},
        {"no event", false, false, &g_event, 0, "", 2, false, true, nullptr, true},
        {"serial line", false, false, nullptr, 0, "port=COM2\n", 2, false, false, "Receiving Preview Data 2/0", true},
        {"USB link", true, false, &g_usbOpen, 1, "", 2, false, false, "Receiving Preview Data 1/0", true},
        {"upload fails", false, false, nullptr, 0, "fail.Protocol_Seq_Upload=11,4\n", 2, false, false,
         "Receiving Preview Data 11/4", true},
        {"closed", false, false, nullptr, 0, "delay=200\n", 2, true, false, "Receiving Preview Data 3/1", true},
        {"undrawable design", false, false, nullptr, 0, "", 0, false, false, nullptr, false},
        {"no design's name", false, false, nullptr, 0, "", 1, false, false, nullptr, false},
    };
    for (const SideCaptions &s : SIDES)
        for (const auto &c : cases) {
            SCOPED_TRACE(ListTitle(s.side, c.usb) + ": " + c.what);
            UseUsb(c.usb ? Usb::Present : Usb::Absent);
            linksim::ResetMachine();
            SeedDesign(1, "good.vbd", Design(1));
            SeedDesign(1, "broken.vbd", std::vector<char>(20, 'x'));
            SeedDesign(1, "c.txt", Design(2));
            SetFaults("message=log\n");
            ClearRecordedMessageBoxes();
            // The list and the first preview pass (the fetch's dialog is the list's template).
            std::unique_ptr<DialogRefusal> refusal(c.refuseDialog ? new DialogRefusal("Receive Design List", 2)
                                                                  : nullptr);
            std::string before, after;
            int painted = 0;
            Run(
                [&](Ui &u, HWND dlg) {
                    PreviewItem(u, dlg, 2, 1);
                    before = ControlText(dlg, IDC_HOOP_LABEL);
                    painted = StitchPixels(dlg);
                    SetFaults(std::string(c.faults) + "message=log\n");
                    if (c.fault)
                        c.fault->Arm(c.pass);
                    ClickItem(dlg, c.item);
                    Barrier(u, dlg);
                    u.Click(dlg, IDC_SHOW_PREVIEW);
                    Barrier(u, dlg);  // through to the fetch dialog or its message
                    if (c.close)
                        u.Close(u.WaitDialog("Receive Preview Data"));
                    u.WaitUntil([&] { return AnswerOpenBoxes(u), !FindWindowA(NULL, "Receive Preview Data"); },
                                "the preview fetch");
                    Barrier(u, dlg);
                    after = ControlText(dlg, IDC_HOOP_LABEL) + (StitchPixels(dlg) == painted ? " kept" : " changed");
                },
                s.side, c.usb);
            EXPECT_EQ(c.fault ? c.fault->failed : 1, 1);
            EXPECT_TRUE(!c.refuseDialog || DialogRefusal::Refused() == 1);
            EXPECT_TRUE(c.item != 1 || Uploads().size() == 2u) << "fetched all the same";
            EXPECT_TRUE(before == "Small Hoop" && painted > 50);
            EXPECT_EQ(after, c.cleared ? "  changed" : "Small Hoop kept");
            std::vector<Shown> told;
            if (c.eventMessage)
                told.push_back({s.previewEvent, "Failed to create event object.", MB_ICONHAND});
            EXPECT_EQ(ModuleMessages(), told);
            EXPECT_EQ(LinkMessages(), c.link ? Names{c.link} : Names{});
            EXPECT_FALSE(FileExists(TempFile("$$UPLPrv.tmp")));
        }
}

// Show Preview names no design when the current item lies beyond a reloaded shorter list
// (the current item survives a reload), nor on an empty list: then it does nothing.
TEST_F(MachineList, ShowPreviewWithoutADesignDoesNothing)
{
    SeedFive();
    Names lists;
    Run([&](Ui &u, HWND dlg) {
        ClickItem(dlg, 4);
        Barrier(u, dlg);
        size_t loads = 1;
        for (std::vector<int> gone : {std::vector<int>{5, 4, 3}, {2, 1}}) {
            for (int number : gone)
                linksim::DeleteDesign(1, number);
            u.Click(dlg, IDC_RECEIVE_BUILT_IN);
            WaitListLoaded(u, dlg, ++loads);
            lists.push_back(std::to_string(ItemNames(dlg).size()));
            u.Click(dlg, IDC_SHOW_PREVIEW);
        }
        u.Click(dlg, IDC_RECEIVE_BUILT_IN);  // behind it: the preview command came first
        WaitListLoaded(u, dlg, ++loads);
    });
    EXPECT_EQ(lists, (Names{"2", "0"}));
    EXPECT_TRUE(Uploads().empty());
}

// Auto Preview: two clicks on one item fetch once; the button fetches every time; the arrow
// keys fetch on every move inside the list (Up on the first item changes nothing); a click
// on another item's check box ticks and fetches it. Without Auto Preview a click fetches
// nothing, and a click below the last item leaves the current item as it was. After a
// location change the first click fetches, since nothing was previewed there.
TEST_F(MachineList, AutoPreviewFollowsClicksAndArrowKeys)
{
    SeedFive();
    for (const char *name : {"card.vbd", "deck.vbd", "ermine.vbd"})
        SeedDesign(2, name, Design(0));
    Names seen;
    Run([&](Ui &u, HWND dlg) {
        u.Click(dlg, IDC_AUTO_PREVIEW);
        Barrier(u, dlg);
        size_t n = 0;
        auto note = [&] { seen.push_back(std::to_string(Uploads().size()) + " " + std::to_string(SelectedItem(dlg))); };
        ClickItem(dlg, 1);
        WaitPreviewDone(u, dlg, ++n);
        ClickItem(dlg, 1);
        Barrier(u, dlg);
        note();  // same item: no fetch
        u.Click(dlg, IDC_SHOW_PREVIEW);
        WaitPreviewDone(u, dlg, ++n);
        for (WORD key : {VK_DOWN, VK_UP, VK_UP}) {
            PressKey(dlg, key);
            WaitPreviewDone(u, dlg, ++n);
        }
        PressKey(dlg, VK_UP);  // first item: nothing
        Barrier(u, dlg);
        note();
        ClickCheckBox(dlg, 4);
        WaitPreviewDone(u, dlg, ++n);
        note();
        seen.push_back("ticked " + std::to_string(TickedItems(dlg).at(0)));
        u.Click(dlg, IDC_AUTO_PREVIEW);
        Barrier(u, dlg);
        ClickItem(dlg, 2);
        Barrier(u, dlg);
        note();  // Auto Preview off: no fetch
        RECT last = {LVIR_BOUNDS};
        SendMessageA(DesignList(dlg), LVM_GETITEMRECT, 4, (LPARAM)&last);
        ClickListAt(dlg, {last.left + 10, last.bottom + 20});
        Barrier(u, dlg);
        u.Click(dlg, IDC_SHOW_PREVIEW);
        WaitPreviewDone(u, dlg, ++n);
        u.Click(dlg, IDC_AUTO_PREVIEW);
        u.Click(dlg, IDC_RECEIVE_ATA_CARD);
        WaitListLoaded(u, dlg, 2);
        ClickItem(dlg, 2);  // item 2 again, now of the card
        WaitPreviewDone(u, dlg, ++n);
    });
    EXPECT_EQ(seen, (Names{"1 1", "5 0", "6 4", "ticked 4", "6 2"}));
    // Items 1, 1, 2, 1, 0, 4, after the click below still 2, then the card's second.
    EXPECT_EQ(Fetched(), (Names{"1/4", "1/4", "1/1", "1/4", "1/3", "1/5", "1/1", "2/3"}));
}

TEST_F(MachineList, ToolTipsOfTheReceiveDialog)
{
    const std::pair<int, const char *> tips[] = {{1000, "Designs in Loomstar"},
                                                 {1003, "Preview Window."},
                                                 {1001, "Automatically showed by selecting design."},
                                                 {1002, "Show design."},
                                                 {1005, "Select all designs at once."},
                                                 {1008, "Select Built-in memory."},
                                                 {1009, "Select ATA PC Card."},
                                                 {1028, "Select PC Design Card."},
                                                 {1, "Start to receive designs."},
                                                 {2, "Cancel"},
                                                 {1022, "Select location."},
                                                 {1007, "Read number of selected designs."},
                                                 {1021, "<none>"},
                                                 {1026, "<none>"},
                                                 {1029, "<none>"}};
    Run([&](Ui &, HWND dlg) {
        for (auto &tip : tips) {
            NMTTDISPINFOA info = {{NULL, (UINT_PTR)GetDlgItem(dlg, tip.first), TTN_NEEDTEXTA}};
            info.uFlags = TTF_IDISHWND;
            SendMessageTimeoutA(dlg, WM_NOTIFY, info.hdr.idFrom, (LPARAM)&info, SMTO_NORMAL, 10000, NULL);
            EXPECT_STREQ(info.lpszText ? info.lpszText : "<none>", tip.second) << tip.first;
        }
    });
}

// The directory upload's progress dialog follows the library's progress (the directory
// information comes in four steps); its close box cancels: the library stops and explains,
// and the list is empty.
TEST_F(MachineList, ClosingTheDirectoryUploadCancelsIt)
{
    SeedFive(2);
    int position = -1;
    Names lists;
    Run([&](Ui &u, HWND dlg) {
        SetFaults("delay=200\n");
        u.Click(dlg, IDC_RECEIVE_ATA_CARD);
        HWND upload = u.WaitDialog("Receive Design List");
        HWND bar = GetDlgItem(upload, IDC_UPLOAD_PROGRESS);
        u.WaitUntil([&] { return (position = (int)SendMessageA(bar, PBM_GETPOS, 0, 0)) > 0; }, "progress");
        u.Close(upload);
        u.Answer(u.WaitMessageBox("Design List"), IDOK);
        WaitListLoaded(u, dlg, 2);
        lists = ItemNames(dlg);
    });
    EXPECT_TRUE(position == 25 || position == 50 || position == 75) << position;
    EXPECT_TRUE(lists.empty());
    EXPECT_EQ(DirectoryUploads().at(1).result, 3);
    EXPECT_FALSE(FileExists(TempFile("$$UPLDir.tmp")));
}

// The first load of the list, and what each failure of the directory upload and of its file
// leaves in it, on both sides: the list is empty (or unsorted without memory to sort), the
// link library or the module has said why, and the file has gone.
TEST_F(MachineList, ListLoadFailures)
{
    enum Told { NOTHING, NO_EVENT, UNREADABLE };
    const char *noFile = "fail.Protocol_Seq_DirUpload=0\n";
    const struct {
        const char *what;
        bool usb;
        const char *faults;
        int fileBytes;  // the directory information left by "the link library"; -1 none
        CallFault *fault;
        int pass;
        Told told;
        Names link, names;
    } cases[] = {
        {"no event", false, "", -1, &g_event, 0, NO_EVENT, {}, {}},
        {"serial line", false, "port=COM2\n", -1, nullptr, 0, NOTHING, {"Design List 2/0"}, {}},
        {"USB link", true, "", -1, &g_usbOpen, 2, NOTHING, {"Design List 1/0"}, {}},
        {"directory operation", false, "fail.Protocol_Seq_DirUpload=14,3\n", -1, nullptr, 0, NOTHING,
         {"Design List 14/3"}, {}},
        {"no file", false, noFile, -1, nullptr, 0, NOTHING, {}, {}},
        {"empty file", false, noFile, 0, nullptr, 0, NOTHING, {}, {}},
        {"no memory for the file", false, "", -1, &g_calloc, 0, NOTHING, {}, {}},
        {"unreadable file", false, "", -1, &g_fileRead, 0, UNREADABLE, {}, {}},
        {"no memory to sort", false, "", -1, &g_calloc, 1, NOTHING, {}, {"b.vbd", "c.vbd", "a.vbd"}},
    };
    for (const SideCaptions &s : SIDES)
        for (const auto &c : cases) {
            SCOPED_TRACE(ListTitle(s.side, c.usb) + ": " + c.what);
            UseUsb(c.usb ? Usb::Present : Usb::Absent);
            linksim::ResetMachine();
            for (const char *name : {"b.vbd", "c.vbd", "a.vbd"})
                SeedDesign(1, name, DesignBytes(200, name[0]));
            SetFaults(std::string(c.faults) + "message=log\n");
            ClearRecordedMessageBoxes();
            if (c.fileBytes >= 0)
                WriteFileBytes(TempFile("$$UPLDir.tmp"), "", c.fileBytes);
            WatchFile("$$UPLDir.tmp");
            if (c.fault)
                c.fault->Arm(c.pass);
            Names names;
            Run([&](Ui &, HWND dlg) { names = ItemNames(dlg); }, s.side, c.usb);
            EXPECT_EQ(c.fault ? c.fault->failed : 1, 1);
            EXPECT_EQ(names, c.names);
            std::vector<Shown> told;
            if (c.told != NOTHING)
                told.push_back(
                    {c.told == NO_EVENT ? s.uploadEvent : s.list,
                     c.told == NO_EVENT ? "Failed to create event object." : "Failed to read a temporary file.",
                     MB_ICONHAND});
            EXPECT_EQ(ModuleMessages(), told);
            EXPECT_EQ(LinkMessages(), c.link);
            EXPECT_FALSE(FileExists(TempFile("$$UPLDir.tmp")));
        }
}

// The directory upload's dialog cannot be created: at the first load the side's dialog ends
// after the message (the export still returns 1); later the list stays as it was.
TEST_F(MachineList, DirectoryDialogThatCannotBeCreated)
{
    for (const SideCaptions &s : SIDES) {
        SCOPED_TRACE(ListTitle(s.side));
        linksim::ResetMachine();
        for (const char *name : {"b.vbd", "c.vbd", "a.vbd"})
            SeedDesign(1, name, DesignBytes(200, name[0]));
        ClearRecordedMessageBoxes();
        const Shown failed = {s.list, "Failed to create Window.", MB_TOPMOST | MB_ICONHAND};
        {
            DialogRefusal refusal("Receive Design List");
            UiScript ui([&](Ui &u) {
                HWND dlg = u.WaitDialog(ListTitle(s.side));
                u.Answer(u.WaitMessageBox(s.list), IDOK);
                u.WaitGone(dlg);
            });
            EXPECT_EQ(s.side == Side::Receive ? Dll().UploadData(Owner()) : Dll().DeleteData(Owner()), 1);
            ui.Join();
            EXPECT_EQ(DialogRefusal::Refused(), 1);
            EXPECT_EQ(ModuleMessages(), std::vector<Shown>{failed});
            EXPECT_TRUE(SimOps().empty());
        }
        ClearRecordedMessageBoxes();
        DialogRefusal refusal("Receive Design List", 1);
        Names after;
        Run(
            [&](Ui &u, HWND dlg) {
                u.Click(dlg, IDC_LOCATION_ATA_CARD);
                u.Answer(u.WaitMessageBox(s.list), IDOK);
                Barrier(u, dlg);
                after = ItemNames(dlg);
            },
            s.side);
        EXPECT_EQ(after, (Names{"a.vbd", "b.vbd", "c.vbd"})) << "not reloaded";
        EXPECT_EQ(ModuleMessages(), std::vector<Shown>{failed});
    }
}

}  // namespace
