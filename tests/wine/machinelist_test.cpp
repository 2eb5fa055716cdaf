// The machine design list and the preview of stored designs that Receive Designs and Delete
// Designs share: the directory upload, sorting, ticks, previews, and their failures.
#include <windows.h>
#include <commctrl.h>
#include <string.h>

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
    // After a step: the preview fetches so far, the selected item, and the hoop label of the design drawn.
    static void ExpectPreview(HWND dlg, size_t fetches, int selected, const std::string &hoop)
    {
        EXPECT_EQ(Uploads().size(), fetches);
        EXPECT_EQ(SelectedItem(dlg), selected);
        EXPECT_EQ(ControlText(dlg, IDC_HOOP_LABEL), hoop);
        EXPECT_EQ(StitchPixels(dlg) > 50, hoop != " ") << "stitches drawn";
    }
    // The design the last fetch asked for, by one entry into "$$UPLPrv.tmp": "<location>/<number>".
    static std::string LastFetched()
    {
        SimCall c = Uploads().back();
        EXPECT_EQ(c.Arg("count"), "1");
        EXPECT_EQ(c.entries.at(0).name, TempFile("$$UPLPrv.tmp"));
        return std::to_string(c.entries[0].location) + "/" + std::to_string(c.entries[0].number);
    }
};

// The list after each directory upload: empty at first; after a failed upload (one message each) what a
// file left behind holds, in file order, else nothing; the machine's designs sorted by byte value with their
// design numbers once an upload succeeds; nothing after a cancelled one. Nothing is received.
TEST_F(MachineList, ListFollowsEachDirectoryUpload)
{
    int position = -1;
    Run([&](Ui &u, HWND dlg) {
        EXPECT_EQ(ItemNames(dlg), Names{});
        std::string file = {0, 3};
        for (const char *n : {"e5", "d4", "c3", "b2", "a1"})
            file += std::string(1, (char)strlen(n)) + n;
        SeedFive();
        for (bool left : {true, false}) {
            SCOPED_TRACE(left ? "a file left behind" : "no file");
            if (left)
                WriteFileBytes(TempFile("$$UPLDir.tmp"), file.data(), file.size());
            SetFaults("fail.Protocol_Seq_DirUpload=14,once\n");
            u.Click(dlg, IDC_RECEIVE_ATA_CARD);
            MessageBoxInfo box = u.WaitMessageBox("Design List");
            EXPECT_EQ(box.text.rfind("Loomstar link error 14 (detail 0).", 0), 0u) << box.text;
            u.Answer(box, IDOK);
            WaitListLoaded(u, dlg, left ? 2 : 3);
            EXPECT_EQ(ItemNames(dlg), left ? (Names{"a1", "b2", "c3", "d4", "e5"}) : Names{});
        }
        u.Click(dlg, IDC_RECEIVE_BUILT_IN);  // another try finds the designs
        WaitListLoaded(u, dlg, 4);
        EXPECT_EQ(ItemNames(dlg), (Names{"A10.vbd", "A9.vbd", "Zed.ptn", "apple.vbd", "rose.PtN"}));
        const int numbers[] = {3, 4, 1, 2, 5};
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(ItemData(dlg, i) & 0xFFFF, numbers[i]) << "item " << i;
        SetFaults("delay=200\n");
        u.Click(dlg, IDC_RECEIVE_BUILT_IN);
        HWND bar = GetDlgItem(u.WaitDialog("Receive Design List"), IDC_UPLOAD_PROGRESS);
        u.WaitUntil([&] { return (position = (int)SendMessageA(bar, PBM_GETPOS, 0, 0)) > 0; }, "progress");
        u.Close(GetParent(bar));
        u.Answer(u.WaitMessageBox("Design List"), IDOK);
        WaitListLoaded(u, dlg, 5);
        EXPECT_EQ(ItemNames(dlg), Names{}) << "cancelled";
    });
    EXPECT_TRUE(position == 25 || position == 50 || position == 75) << position;
    EXPECT_EQ(DirectoryUploads().at(4).result, 3);
    EXPECT_FALSE(FileExists(TempFile("$$UPLDir.tmp")));
    EXPECT_TRUE(Uploads().empty());
}

// The label counts the ticked designs, OK is on while any is ticked, and the last newly ticked item is the
// selected one; "Select All Designs" ticks the rest and selects the last it newly ticked, or keeps the
// selection when all were ticked already.
TEST_F(MachineList, LabelOkAndSelectionFollowTheTicks)
{
    SeedFive();
    Run([&](Ui &u, HWND dlg) {
        auto expect = [&](int count, int selected) {
            EXPECT_EQ(ControlText(dlg, IDC_SELECTED_COUNT), "Selected designs : " + std::to_string(count));
            EXPECT_EQ(IsControlEnabled(dlg, IDOK), count > 0);
            EXPECT_EQ(SelectedItem(dlg), selected);
        };
        expect(0, -1);
        Tick(u, dlg, {2});
        expect(1, 2);
        Tick(u, dlg, {4});
        expect(2, 4);
        Tick(u, dlg, {2});
        expect(1, 2);
        u.Click(dlg, IDC_RECEIVE_SELECT_ALL);
        Barrier(u, dlg);
        expect(5, 3);  // the last newly ticked item, not 4
        ClickItem(dlg, 1);
        Barrier(u, dlg);
        u.Click(dlg, IDC_RECEIVE_SELECT_ALL);
        Barrier(u, dlg);
        expect(5, 1);  // all ticked already: the selection stays
    });
}

// With the pointer resting on a control of the dialog's tooltip table, the tooltip shows that control's
// text; on the folder box and the Open/Save check box, which are not in the table, none shows.
TEST_F(MachineList, ToolTipShowsWhileThePointerRestsOnItsControl)
{
    const struct {
        int id;
        const char *tip;
    } cases[] = {{IDC_DESIGN_LIST, "Designs in Loomstar"},
                 {IDC_RECEIVE_BROWSE, "Select location."},
                 {IDC_PREVIEW_BOX, "Preview Window."},
                 {IDC_RECEIVE_FOLDER, ""},
                 {IDC_RECEIVE_OPEN_SAVE, ""}};
    Run([&](Ui &u, HWND dlg) {
        HWND tips = ToolTipOf(DesignList(dlg));
        ASSERT_TRUE(tips);
        for (const auto &c : cases)
            EXPECT_EQ(HoverTip(u, tips, GetDlgItem(dlg, c.id), *c.tip ? 10000 : 1000), c.tip)
                << "control " << c.id;
    });
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
            EXPECT_EQ(LinkCloseBesideMessage(), CloseBesideMessage(c.link, !strstr(c.faults, "port=") && !usb));
            EXPECT_FALSE(FileExists(TempFile("$$UPLPrv.tmp")));
        }
}

// With Auto Preview on, a click on another item, an arrow key that moves the selection and a tick fetch
// that design by its number and draw it with its hoop named; a click on the same item or an arrow key at
// the first item fetches nothing, Show Preview fetches again.
TEST_F(MachineList, AutoPreviewFollowsClicksAndArrowKeys)
{
    SeedFive();
    Run([&](Ui &u, HWND dlg) {
        size_t n = 0;
        ExpectPreview(dlg, 0, -1, " ");
        u.Click(dlg, IDC_AUTO_PREVIEW);
        Barrier(u, dlg);
        ClickItem(dlg, 1);
        WaitPreviewDone(u, dlg, ++n);
        EXPECT_EQ(LastFetched(), "1/4");
        ClickItem(dlg, 1);
        Barrier(u, dlg);
        ExpectPreview(dlg, 1, 1, "Normal Hoop");  // same item: no fetch
        u.Click(dlg, IDC_SHOW_PREVIEW);
        WaitPreviewDone(u, dlg, ++n);
        EXPECT_EQ(LastFetched(), "1/4");
        const struct {
            WORD key;
            const char *design;
        } keys[] = {{VK_DOWN, "1/1"}, {VK_UP, "1/4"}, {VK_UP, "1/3"}};
        for (const auto &k : keys) {
            PressKey(dlg, k.key);
            WaitPreviewDone(u, dlg, ++n);
            EXPECT_EQ(LastFetched(), k.design);
        }
        PressKey(dlg, VK_UP);  // first item: nothing
        Barrier(u, dlg);
        ExpectPreview(dlg, 5, 0, "Large Hoop");
        ClickCheckBox(dlg, 4);
        WaitPreviewDone(u, dlg, ++n);
        EXPECT_EQ(LastFetched(), "1/5");
        ExpectPreview(dlg, 6, 4, "Small Hoop");
        EXPECT_EQ(TickedItems(dlg), std::vector<int>{4});
    });
    EXPECT_FALSE(FileExists(TempFile("$$UPLPrv.tmp")));
}

// With Auto Preview off a click fetches nothing; a click below the items keeps the current one, which Show
// Preview then fetches.
TEST_F(MachineList, WithoutAutoPreviewOnlyShowPreviewFetches)
{
    SeedFive();
    Run([&](Ui &u, HWND dlg) {
        ClickItem(dlg, 2);
        Barrier(u, dlg);
        ExpectPreview(dlg, 0, 2, " ");
        RECT last = {LVIR_BOUNDS};
        SendMessageA(DesignList(dlg), LVM_GETITEMRECT, 4, (LPARAM)&last);
        ClickListAt(dlg, {last.left + 10, last.bottom + 20});
        Barrier(u, dlg);
        u.Click(dlg, IDC_SHOW_PREVIEW);
        WaitPreviewDone(u, dlg, 1);
        EXPECT_EQ(LastFetched(), "1/1");
        ExpectPreview(dlg, 1, -1, "Normal Hoop");
    });
}

// A reload keeps the current item: Show Preview fetches it from the new location, and fetches nothing when
// the new list is shorter than the item's position.
TEST_F(MachineList, ShowPreviewFetchesNothingBeyondAShorterList)
{
    SeedFive();
    for (const char *name : {"card.vbd", "deck.vbd", "ermine.vbd"})
        SeedDesign(2, name, Design(0));
    Run([&](Ui &u, HWND dlg) {
        ClickItem(dlg, 2);
        Barrier(u, dlg);
        u.Click(dlg, IDC_RECEIVE_ATA_CARD);
        WaitListLoaded(u, dlg, 2);
        u.Click(dlg, IDC_SHOW_PREVIEW);  // item 2 again, now of the card
        WaitPreviewDone(u, dlg, 1);
        EXPECT_EQ(LastFetched(), "2/3");
        size_t loads = 2;
        const struct {
            std::vector<int> gone;
            size_t left;
        } deletions[] = {{{3, 2}, 1}, {{1}, 0}};
        for (const auto &d : deletions) {
            for (int number : d.gone)
                linksim::DeleteDesign(2, number);
            u.Click(dlg, IDC_RECEIVE_ATA_CARD);
            WaitListLoaded(u, dlg, ++loads);
            EXPECT_EQ(ItemNames(dlg).size(), d.left);
            u.Click(dlg, IDC_SHOW_PREVIEW);
        }
        u.Click(dlg, IDC_RECEIVE_ATA_CARD);  // behind it: the preview command came first
        WaitListLoaded(u, dlg, ++loads);
        EXPECT_EQ(Uploads().size(), 1u);
    });
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
            EXPECT_EQ(LinkCloseBesideMessage(),
                      CloseBesideMessage(!c.link.empty(), !strstr(c.faults, "port=") && !usb));
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
