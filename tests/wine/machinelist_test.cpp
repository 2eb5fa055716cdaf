// The machine design list and the preview of stored designs that Receive Designs and Delete
// Designs share: the directory upload, sorting, ticks, previews, and their failures.
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

class MachineList : public VembTest {
protected:
    void SetUp() override
    {
        VembTest::SetUp();
        PatchFaults();
        SetRegString(Key::Tambora, "RcvPath", WorkDir());
    }
    void Run(const std::function<void(Ui &, HWND)> &script) { RunList(Owner(), Side::Receive, script); }
    // Design numbers 1 to 5 in this order, listed A10 (3), A9 (4), Zed (1), apple (2), rose (5).
    // Hoops: normal, small, large, normal, small.
    void SeedFive()
    {
        const char *names[] = {"Zed.ptn", "apple.vbd", "A10.vbd", "A9.vbd", "rose.PtN"};
        for (int i = 0; i < 5; ++i)
            SeedDesign(1, names[i], Design(i % 3));
    }
    static std::vector<char> Design(int hoop) { return designgen::MakeDesign({300, (uint32_t)hoop}); }
};

// The list through empty, failed (one message; filled from a file left behind), found and cancelled
// directory uploads; sorted by byte value with the design numbers; the label, OK and the selection
// following ticks and select-all; the tool tips. Cancel transfers nothing.
TEST_F(MachineList, ListFollowsTheMachineAndTheTicks)
{
    std::vector<Names> lists;
    Names seen, tips;
    int position = -1;
    Run([&](Ui &u, HWND dlg) {
        auto look = [&] {
            seen.push_back(ControlText(dlg, IDC_SELECTED_COUNT) + (IsControlEnabled(dlg, IDOK) ? ", on " : ", off ") +
                           std::to_string(SelectedItem(dlg)));
        };
        look();
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
        for (size_t i = 0; i < lists.back().size(); ++i)
            lists.back()[i] += " " + std::to_string(ItemData(dlg, (int)i) & 0xFFFF);
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
        for (int id : {1000, 1003, 1001, 1002, 1005, 1008, 1009, 1028, 1, 2, 1022, 1007, 1021, 1026, 1029}) {
            NMTTDISPINFOA info = {{NULL, (UINT_PTR)GetDlgItem(dlg, id), TTN_NEEDTEXTA}};
            info.uFlags = TTF_IDISHWND;
            SendMessageTimeoutA(dlg, WM_NOTIFY, info.hdr.idFrom, (LPARAM)&info, SMTO_NORMAL, 10000, NULL);
            tips.push_back(info.lpszText ? info.lpszText : "-");
        }
        SetFaults("delay=200\n");
        u.Click(dlg, IDC_RECEIVE_BUILT_IN);
        HWND bar = GetDlgItem(u.WaitDialog("Receive Design List"), IDC_UPLOAD_PROGRESS);
        u.WaitUntil([&] { return (position = (int)SendMessageA(bar, PBM_GETPOS, 0, 0)) > 0; }, "progress");
        u.Close(GetParent(bar));
        u.Answer(u.WaitMessageBox("Design List"), IDOK);
        WaitListLoaded(u, dlg, 5);
        lists.push_back(ItemNames(dlg));
    });
    EXPECT_EQ(lists, (std::vector<Names>{{}, {"a1", "b2", "c3", "d4", "e5"}, {}, {"A10.vbd 3", "A9.vbd 4", "Zed.ptn 1",
                                         "apple.vbd 2", "rose.PtN 5"}, {}}));
    EXPECT_EQ(seen, (Names{"Selected designs : 0, off -1", "Selected designs : 0, off -1", "Selected designs : 1, on 2",
                           "Selected designs : 2, on 4", "Selected designs : 1, on 2", "Selected designs : 5, on 3",
                           "Selected designs : 5, on 1"}));
    EXPECT_EQ(tips, (Names{"Designs in Loomstar", "Preview Window.", "Automatically showed by selecting design.",
                           "Show design.", "Select all designs at once.", "Select Built-in memory.",
                           "Select ATA PC Card.", "Select PC Design Card.", "Start to receive designs.", "Cancel",
                           "Select location.", "Read number of selected designs.", "-", "-", "-"}));
    EXPECT_TRUE(position == 25 || position == 50 || position == 75) << position;
    ASSERT_EQ(RecordedMessageBoxes().size(), 3u);
    for (int i : {0, 1})
        EXPECT_EQ(RecordedMessageBoxes()[i].text.rfind("Loomstar link error 14 (detail 0).", 0), 0u);
    EXPECT_EQ(DirectoryUploads().at(4).result, 3);
    EXPECT_FALSE(FileExists(TempFile("$$UPLDir.tmp")));
    EXPECT_TRUE(Uploads().empty());
}

// A preview that cannot be fetched clears the box and the label; one that cannot be drawn, or whose
// name is no design's (fetched all the same), leaves them. The library or the module tells; the file goes.
TEST_F(MachineList, PreviewFailures)
{
    const struct {
        const char *what;
        bool refuseDialog, close;
        CallFault *fault;
        int pass;
        const char *faults;
        int item;  // 0 the broken design, 1 the text file, 2 the good one
        const char *link;
    } cases[] = {
        {"no dialog", true, false, nullptr, 0, "", 2, nullptr},
        {"no event", false, false, &g_event, 0, "", 2, nullptr},
        {"serial line", false, false, nullptr, 0, "port=COM2\n", 2, "Receiving Preview Data 2/0"},
        {"USB link", false, false, &g_usbOpen, 1, "", 2, "Receiving Preview Data 1/0"},
        {"upload fails", false, false, nullptr, 0, "fail.Protocol_Seq_Upload=11,4\n", 2, "Receiving Preview Data 11/4"},
        {"closed", false, true, nullptr, 0, "delay=200\n", 2, "Receiving Preview Data 3/1"},
        {"undrawable design", false, false, nullptr, 0, "", 0, nullptr},
        {"no design's name", false, false, nullptr, 0, "", 1, nullptr},
    };
    for (const SideCaptions &s : SIDES)
        for (const auto &c : cases) {
            if (s.side == Side::Delete && c.fault != &g_event)
                continue;  // the sides share the fetch and differ only in their captions
            const bool usb = c.fault == &g_usbOpen;
            SCOPED_TRACE(ListTitle(s.side, usb) + ": " + c.what);
            UseUsb(usb ? Usb::Present : Usb::Absent);
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
            RunList(Owner(), s.side, [&](Ui &u, HWND dlg) {
                ClickItem(dlg, 2);
                Barrier(u, dlg);
                u.Click(dlg, IDC_SHOW_PREVIEW);
                WaitPreviewDone(u, dlg, 1);
                before = ControlText(dlg, IDC_HOOP_LABEL), painted = StitchPixels(dlg);
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
            }, usb);
            EXPECT_EQ(c.fault ? c.fault->failed : 1, 1);
            EXPECT_TRUE(!c.refuseDialog || DialogRefusal::Refused() == 1);
            EXPECT_TRUE(c.item != 1 || Uploads().size() == 2u) << "fetched all the same";
            EXPECT_TRUE(before == "Small Hoop" && painted > 50);
            EXPECT_EQ(after, c.item == 2 ? "  changed" : "Small Hoop kept");
            std::vector<Shown> told;
            if (c.fault == &g_event)
                told.push_back({s.previewEvent, "Failed to create event object.", MB_ICONHAND});
            EXPECT_EQ(ModuleMessages(), told);
            EXPECT_EQ(LinkMessages(), c.link ? Names{c.link} : Names{});
            EXPECT_FALSE(FileExists(TempFile("$$UPLPrv.tmp")));
        }
}

// Which clicks, keys and buttons fetch a preview with Auto Preview on and off, each by design number
// into "$$UPLPrv.tmp", drawn with its hoop named; Show Preview does nothing without a current design.
TEST_F(MachineList, AutoPreviewFollowsClicksAndArrowKeys)
{
    SeedFive();
    for (const char *name : {"card.vbd", "deck.vbd", "ermine.vbd"})
        SeedDesign(2, name, Design(0));
    Names seen;
    Run([&](Ui &u, HWND dlg) {
        size_t n = 0;
        auto note = [&] {
            seen.push_back(std::to_string(Uploads().size()) + " " + std::to_string(SelectedItem(dlg)) + " " +
                           ControlText(dlg, IDC_HOOP_LABEL) + (StitchPixels(dlg) > 50 ? " drawn" : ""));
        };
        note();
        u.Click(dlg, IDC_AUTO_PREVIEW);
        Barrier(u, dlg);
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
        note();
        u.Click(dlg, IDC_AUTO_PREVIEW);
        u.Click(dlg, IDC_RECEIVE_ATA_CARD);
        WaitListLoaded(u, dlg, 2);
        ClickItem(dlg, 2);  // item 2 again, now of the card
        WaitPreviewDone(u, dlg, ++n);
        u.Click(dlg, IDC_AUTO_PREVIEW);
        size_t loads = 2;
        for (std::vector<int> gone : {std::vector<int>{3, 2}, {1}}) {
            for (int number : gone)
                linksim::DeleteDesign(2, number);
            u.Click(dlg, IDC_RECEIVE_ATA_CARD);
            WaitListLoaded(u, dlg, ++loads);
            seen.push_back(std::to_string(ItemNames(dlg).size()) + " left");
            u.Click(dlg, IDC_SHOW_PREVIEW);
        }
        u.Click(dlg, IDC_RECEIVE_ATA_CARD);  // behind it: the preview command came first
        WaitListLoaded(u, dlg, ++loads);
    });
    EXPECT_EQ(seen, (Names{"0 -1  ", "1 1 Normal Hoop drawn", "5 0 Large Hoop drawn", "6 4 Small Hoop drawn",
                           "ticked 4", "6 2 Small Hoop drawn", "7 -1 Normal Hoop drawn", "1 left", "0 left"}));
    Names fetched;  // "<count> <location>/<number>" of each fetch, "?" when not into "$$UPLPrv.tmp"
    for (const SimCall &c : Uploads())
        fetched.push_back(c.Arg("count") + " " + std::to_string(c.entries.at(0).location) + "/" + std::to_string(
                          c.entries[0].number) + (c.entries[0].name == TempFile("$$UPLPrv.tmp") ? "" : "?"));
    // Items 1, 1, 2, 1, 0, 4, after the click below still 2, then the card's second.
    EXPECT_EQ(fetched, (Names{"1 1/4", "1 1/4", "1 1/1", "1 1/4", "1 1/3", "1 1/5", "1 1/1", "1 2/3"}));
    EXPECT_FALSE(FileExists(TempFile("$$UPLPrv.tmp")));
}

// Each failure of the directory upload and of its file at the first load: the list is empty (or
// unsorted without memory to sort), the library or the module has said why, the file has gone.
TEST_F(MachineList, ListLoadFailures)
{
    const char *noFile = "fail.Protocol_Seq_DirUpload=0\n";
    const struct {
        const char *what, *faults;
        int fileBytes;  // the directory information left by "the link library"; -1 none
        CallFault *fault;
        int pass;
        Names link, names;
    } cases[] = {
        {"no event", "", -1, &g_event, 0, {}, {}},
        {"serial line", "port=COM2\n", -1, nullptr, 0, {"Design List 2/0"}, {}},
        {"USB link", "", -1, &g_usbOpen, 2, {"Design List 1/0"}, {}},
        {"directory operation", "fail.Protocol_Seq_DirUpload=14,3\n", -1, nullptr, 0, {"Design List 14/3"}, {}},
        {"no file", noFile, -1, nullptr, 0, {}, {}},
        {"empty file", noFile, 0, nullptr, 0, {}, {}},
        {"no memory for the file", "", -1, &g_calloc, 0, {}, {}},
        {"unreadable file", "", -1, &g_fileRead, 0, {}, {}},
        {"no memory to sort", "", -1, &g_calloc, 1, {}, {"b.vbd", "c.vbd", "a.vbd"}},
    };
    for (const SideCaptions &s : SIDES)
        for (const auto &c : cases) {
            if (s.side == Side::Delete && c.fault != &g_event && c.fault != &g_fileRead)
                continue;  // the sides share the loading and differ only in their captions
            const bool usb = c.fault == &g_usbOpen;
            SCOPED_TRACE(ListTitle(s.side, usb) + ": " + c.what);
            UseUsb(usb ? Usb::Present : Usb::Absent);
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
            RunList(Owner(), s.side, [&](Ui &, HWND dlg) { names = ItemNames(dlg); }, usb);
            EXPECT_EQ(c.fault ? c.fault->failed : 1, 1);
            EXPECT_EQ(names, c.names);
            std::vector<Shown> told;
            if (c.fault == &g_event)
                told.push_back({s.uploadEvent, "Failed to create event object.", MB_ICONHAND});
            if (c.fault == &g_fileRead)
                told.push_back({s.list, "Failed to read a temporary file.", MB_ICONHAND});
            EXPECT_EQ(ModuleMessages(), told);
            EXPECT_EQ(LinkMessages(), c.link);
            EXPECT_FALSE(FileExists(TempFile("$$UPLDir.tmp")));
        }
}

// The directory upload's dialog cannot be created: at the first load the side's dialog ends after
// the message (the export still returns 1); later the list stays as it was.
TEST_F(MachineList, DirectoryDialogThatCannotBeCreated)
{
    for (const SideCaptions &s : SIDES) {
        SCOPED_TRACE(ListTitle(s.side));
        linksim::ResetMachine();
        for (const char *name : {"b.vbd", "c.vbd", "a.vbd"})
            SeedDesign(1, name, DesignBytes(200, name[0]));
        ClearRecordedMessageBoxes();
        const std::vector<Shown> failed = {{s.list, "Failed to create Window.", MB_TOPMOST | MB_ICONHAND}};
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
            EXPECT_EQ(ModuleMessages(), failed);
            EXPECT_TRUE(SimOps().empty());
        }
        ClearRecordedMessageBoxes();
        DialogRefusal refusal("Receive Design List", 1);
        Names after;
        RunList(Owner(), s.side, [&](Ui &u, HWND dlg) {
            u.Click(dlg, IDC_LOCATION_ATA_CARD);
            u.Answer(u.WaitMessageBox(s.list), IDOK);
            Barrier(u, dlg);
            after = ItemNames(dlg);
        });
        EXPECT_EQ(after, (Names{"a.vbd", "b.vbd", "c.vbd"})) << "not reloaded";
        EXPECT_EQ(ModuleMessages(), failed);
    }
}

}  // namespace
