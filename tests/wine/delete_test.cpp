// Deleting designs through DeleteData: the Delete Designs dialog over the simulator's
// machine, the confirmation, the delete list, the wait dialog with its worker, and every
// failure on the way.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>

#include "VembDlg.h"
#include "delete/delete.h"
#include "delete_wait_res.h"
#include "frame/transfer_frame.h"
#include "machinelist/design_list.h"
#include "resource.h"
#include "vemb_helpers.h"

using namespace vt;

namespace {

using Ints = std::vector<int>;

// Stored in this order (design numbers 1 to 8). Listed: ant (3), bee (7), cat (5), moth,
// nut, oak, pine, rose: the first three items are designs 3, 7 and 5.
const Names STORED = {"moth.vbd", "oak.vbd", "ant.vbd", "pine.vbd", "cat.vbd", "rose.vbd", "bee.vbd", "nut.vbd"};
const Names WITHOUT_3_5_7 = {"moth.vbd", "oak.vbd", "pine.vbd", "rose.vbd", "nut.vbd"};
const Shown SURE = {"Delete", "Are you sure?", MB_YESNO | MB_ICONQUESTION};

class Delete : public VembTest {
protected:
    void SetUp() override
    {
        VembTest::SetUp();
        PatchFaults();
    }
    void SeedEight(int location = 1)
    {
        for (size_t i = 0; i < STORED.size(); ++i)
            SeedDesign(location, STORED[i], std::vector<char>(64, (char)i));
    }
    void Run(const std::function<void(Ui &, HWND)> &script, bool usb = false)
    {
        RunList(Owner(), Side::Delete, script, usb);
    }
};

std::vector<SimCall> DeleteCalls()
{
    return CallsOf({"Protocol_Seq_Delete", "USB_Erase_Sequence"});
}

Ints Numbers(const std::vector<SimCall> &calls)
{
    Ints numbers;
    for (const SimCall &c : calls)
        numbers.push_back(atoi(c.Arg("number").c_str()));
    return numbers;
}

// Ticks `items`, presses Delete and answers "Are you sure?" with Yes.
void DeleteItems(Ui &u, HWND dlg, std::initializer_list<int> items)
{
    Tick(u, dlg, items);
    u.Click(dlg, IDOK);
    u.Answer(u.WaitMessageBox("Delete"), IDYES);
}

// Every text the worker writes into the wait dialog's counter, with the transfer status at
// that moment, seen on the dialog's thread (the one that creates the watch). When the
// counter reaches `closeAt`, the wait dialog is closed as its close box does, before the
// worker goes on.
class CounterWatch {
public:
    explicit CounterWatch(std::string closeAt = "") : closeAt_(std::move(closeAt))
    {
        self_ = this;
        hook_ = SetWindowsHookExA(WH_CALLWNDPROCRET, Hook, NULL, GetCurrentThreadId());
    }
    ~CounterWatch()
    {
        UnhookWindowsHookEx(hook_);
        self_ = nullptr;
    }
    Names texts;
    std::vector<UINT> status;

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam)
    {
        const CWPRETSTRUCT *m = (const CWPRETSTRUCT *)lParam;
        if (code == HC_ACTION && self_ && m->message == WM_SETTEXT && GetDlgCtrlID(m->hwnd) == IDC_DELETE_COUNTER) {
            self_->texts.push_back(WindowText(m->hwnd));
            self_->status.push_back(Dll().GetTransferStatus());
            if (self_->texts.back() == self_->closeAt_)
                SendMessageA(GetParent(m->hwnd), WM_CLOSE, 0, 0);
        }
        return CallNextHookEx(NULL, code, wParam, lParam);
    }
    static CounterWatch *self_;
    HHOOK hook_;
    std::string closeAt_;
};
CounterWatch *CounterWatch::self_;

// Designs 3, 7 and 5 ticked: the machine is asked for 7, 5, 3 through one opening of the
// link, the counter runs from 1 / 3 to 3 / 3, and exactly the other designs remain. Over the
// serial link without the USB library, over USB from the location "ATA PC Card" with
// "Select Open/Save folder." (6) with it.
TEST_F(Delete, TickedDesignsGoHighestNumberFirst)
{
    const struct {
        bool usb;
        const char *op;
        int location;
        Ints clicks;
        Names ops;
    } cases[] = {
        {false, "Protocol_Seq_Delete", 1, {},
         {"SIO_InitializeIO", "Protocol_Seq_Delete", "Protocol_Seq_Delete", "Protocol_Seq_Delete", "SIO_TerminateIO"}},
        // The frame's UsbTerminate follows the worker's.
        {true, "USB_Erase_Sequence", 6, {IDC_LOCATION_OPEN_SAVE, IDC_LOCATION_ATA_CARD},
         {"USB_Initialize", "USB_Erase_Sequence", "USB_Erase_Sequence", "USB_Erase_Sequence", "USB_Terminate",
          "USB_Terminate"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(ListTitle(Side::Delete, c.usb));
        UseUsb(c.usb ? Usb::Present : Usb::Absent);
        linksim::ResetMachine();
        ClearRecordedMessageBoxes();
        SeedEight(c.location);
        CounterWatch watch;
        std::string label;
        Run(
            [&](Ui &u, HWND dlg) {
                size_t loads = 1;
                for (int id : c.clicks) {
                    u.Click(dlg, id);
                    WaitListLoaded(u, dlg, ++loads);
                }
                Tick(u, dlg, {0, 1, 2});
                label = ControlText(dlg, IDC_SELECTED_COUNT);
                u.Click(dlg, IDOK);
                u.Answer(u.WaitMessageBox("Delete"), IDYES);
                u.WaitGone(dlg);
            },
            c.usb);
        EXPECT_EQ(label, "Selected designs : 3");
        EXPECT_EQ(ModuleMessages(), std::vector<Shown>{SURE});
        EXPECT_EQ(watch.texts, (Names{"1  /  3", "2  /  3", "3  /  3"}));
        EXPECT_EQ(watch.status, (std::vector<UINT>{1, 1, 1}));
        EXPECT_EQ(Dll().GetTransferStatus(), 0u);
        std::vector<SimCall> calls = DeleteCalls();
        EXPECT_EQ(Numbers(calls), (Ints{7, 5, 3}));
        for (const SimCall &call : calls)
            EXPECT_EQ(call.op + " " + call.Arg("location"), c.op + std::string(" ") + std::to_string(c.location));
        Names ops = SimOps();
        EXPECT_EQ(Names(ops.end() - std::min(ops.size(), c.ops.size()), ops.end()), c.ops);
        EXPECT_EQ(StoredNames(c.location), WITHOUT_3_5_7);
    }
}

// Delete is disabled while nothing is ticked (and Enter asks nothing then); No at the
// confirmation leaves the list and the ticks as they were.
TEST_F(Delete, NoKeepsTheListAndTheTicks)
{
    SeedEight();
    bool enabledBefore = true, open = false;
    Names before, after;
    Ints ticks;
    Run([&](Ui &u, HWND dlg) {
        enabledBefore = IsControlEnabled(dlg, IDOK);
        PostMessageA(dlg, WM_COMMAND, IDOK, 0);  // Enter
        Tick(u, dlg, {1, 4});
        before = ItemNames(dlg);
        u.Click(dlg, IDOK);
        u.Answer(u.WaitMessageBox("Delete"), IDNO);
        Barrier(u, dlg);
        open = IsWindowVisible(dlg) && IsControlEnabled(dlg, IDOK);
        after = ItemNames(dlg);
        ticks = TickedItems(dlg);
    });
    EXPECT_FALSE(enabledBefore);
    EXPECT_TRUE(open);
    EXPECT_EQ(after, before);
    EXPECT_EQ(ticks, (Ints{1, 4}));
    EXPECT_EQ(ModuleMessages(), std::vector<Shown>{SURE}) << "Enter with nothing ticked asked nothing";
    EXPECT_TRUE(DeleteCalls().empty());
}

// The machine busy twice: Retry twice and the design goes. Busy again: Cancel gives up with
// the library's message, and no further design is tried.
TEST_F(Delete, BusyMachineAsksToRetry)
{
    SeedEight();
    SetFaults("busy=2\n");
    MessageBoxInfo busy, gaveUp;
    Run([&](Ui &u, HWND dlg) {
        DeleteItems(u, dlg, {0});
        busy = u.WaitMessageBox("Delete");
        u.Answer(busy, IDRETRY);
        u.Answer(u.WaitMessageBox("Delete"), IDRETRY);
        u.WaitGone(dlg);
    });
    SetFaults("busy=1\n");
    Run([&](Ui &u, HWND dlg) {
        DeleteItems(u, dlg, {0, 1, 2});
        u.Answer(u.WaitMessageBox("Delete"), IDCANCEL);
        gaveUp = u.WaitMessageBox("Delete");
        u.Answer(gaveUp, IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(busy.owner, (HWND)NULL);
    UINT style = 0;
    EXPECT_TRUE(RecordedMessageBoxStyle("Delete", "Now busy, try again later.\n", &style));
    EXPECT_EQ(style, (UINT)(MB_RETRYCANCEL | MB_ICONQUESTION | MB_TOPMOST));
    EXPECT_EQ(gaveUp.text.rfind("Loomstar link error 12 (detail 0).", 0), 0u) << gaveUp.text;
    std::vector<SimCall> calls = DeleteCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].events, (Names{"busy -> 1", "busy -> 1"}));
    EXPECT_EQ(calls[0].result, 0);
    EXPECT_EQ(calls[1].result, 12);
    EXPECT_EQ(StoredNames(1).size(), 7u);
}

// The close box during the second of three deletions: that one is finished, the third is
// not tried, and the wait dialog ends as a success, without a message.
TEST_F(Delete, ClosingTheWaitDialogFinishesTheDesignUnderWay)
{
    SeedEight();
    DesignEntry list[4] = {{"", 1, 7}, {"", 1, 5}, {"", 1, 3}, {}};
    g_deleteList = list;
    g_deleteCount = 3;
    CounterWatch watch("2  /  3");
    INT_PTR result = OpenModuleDialog(IDD_DELETE_WAIT, Owner(), DeleteWaitDlgProc);
    WaitForWorker();
    g_deleteList = nullptr;
    g_deleteCount = 0;
    EXPECT_EQ(result, 1);
    EXPECT_EQ(watch.texts, (Names{"1  /  3", "2  /  3"}));
    EXPECT_EQ(Numbers(DeleteCalls()), (Ints{7, 5}));
    EXPECT_EQ(StoredNames(1), (Names{"moth.vbd", "oak.vbd", "ant.vbd", "pine.vbd", "rose.vbd", "nut.vbd"}));
    EXPECT_TRUE(RecordedMessageBoxes().empty());
}

// Delete confirmed, but the delete list or the wait dialog cannot be had: the message, and
// the dialog stays with nothing deleted. A link failure (the library's message while the
// link is still open; on the first deletion no further one is tried) or a worker that cannot
// be started ends both dialogs. DeleteData returns 1 every time.
TEST_F(Delete, Failures)
{
    const Shown noMemory = {"Preview", "Not enough memory space.", MB_ICONHAND};
    const struct {
        const char *what;
        bool usb, refuseDialog;
        CallFault *fault;
        int pass;
        const char *faults;
        std::vector<Shown> told;
        const char *link;
        size_t deletions;
        Names lastOps;
        bool stays;
    } cases[] = {
        {"no block", false, false, &g_globalAlloc, 0, "", {SURE, noMemory}, nullptr, 0, {}, true},
        {"block not locked", false, false, &g_globalLock, 0, "", {SURE, noMemory}, nullptr, 0, {}, true},
        {"no wait dialog", false, true, nullptr, 0, "",
         {SURE, {"Delete", "Failed to create Window.", MB_TOPMOST | MB_ICONHAND}}, nullptr, 0, {}, true},
        {"first deletion fails", false, false, nullptr, 0, "fail.Protocol_Seq_Delete=5,77\n", {SURE}, "Delete 5/77", 1,
         {"Protocol_Seq_Delete", "DisplayMessageByReturnCode", "SIO_TerminateIO"}, false},
        {"serial line", false, false, nullptr, 0, "fail.SIO_InitializeIO=2\n", {SURE}, "Delete 2/0", 0,
         {"SIO_InitializeIO", "DisplayMessageByReturnCode", "SIO_TerminateIO"}, false},
        {"USB link", true, false, &g_usbOpen, 1, "", {SURE}, "Delete 1/0", 0, {}, false},
        {"no worker", false, false, &g_thread, 0, "", {SURE, {"Delete", "Failed to create a thread.", MB_ICONHAND}},
         nullptr, 0, {"SIO_InitializeIO", "Protocol_Seq_DirUpload", "SIO_TerminateIO"}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        UseUsb(c.usb ? Usb::Present : Usb::Absent);
        linksim::ResetMachine();
        SeedEight();
        SetFaults("message=log\n");
        ClearRecordedMessageBoxes();
        std::unique_ptr<DialogRefusal> refusal(c.refuseDialog ? new DialogRefusal("Delete Designs", 1) : nullptr);
        bool stays = false;
        Run(
            [&](Ui &u, HWND dlg) {
                Tick(u, dlg, {0, 1, 2});
                SetFaults(std::string(c.faults) + "message=log\n");
                if (c.fault)
                    c.fault->Arm(c.pass);
                u.Click(dlg, IDOK);
                u.Answer(u.WaitMessageBox("Delete"), IDYES);
                if (c.stays)
                    u.Answer(u.WaitMessageBox(c.told.back().caption), IDOK);
                else
                    AnswerUntilGone(u, dlg);
                Settle(dlg);
                stays = IsWindow(dlg) && IsWindowVisible(dlg);
            },
            c.usb);
        EXPECT_EQ(c.fault ? c.fault->failed : 1, 1);
        EXPECT_EQ(stays, c.stays);
        EXPECT_EQ(ModuleMessages(), c.told);
        EXPECT_EQ(LinkMessages(), c.link ? Names{c.link} : Names{});
        EXPECT_EQ(DeleteCalls().size(), c.deletions);
        Names ops = SimOps();
        if (!c.lastOps.empty()) {
            EXPECT_EQ(Names(ops.end() - std::min<size_t>(3, ops.size()), ops.end()), c.lastOps);
        }
        EXPECT_EQ(StoredNames(1), STORED);
        EXPECT_EQ(Dll().GetTransferStatus(), 0u);
    }
}

// A design number travels in one byte: of 260 records the list shows the first 255, so
// that no tick reaches design 256 + n and deletes, receives or previews design n. Both
// dialogs fill their list here.
TEST_F(Delete, ListStopsAtTheLastNumberOneByteCarries)
{
    EnsureCommonControls();
    std::string file = {1, 4};
    for (int i = 1001; i <= 1260; ++i)
        file += std::string(1, 9) + "d" + std::to_string(i) + ".vbd";
    for (DesignListSide *side : {&g_deleteSide, &g_receiveSide}) {
        WriteFileBytes(TempFile("$$UPLDir.tmp"), file.data(), file.size());
        side->listView = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 0, 99, 99, Owner(),
                                         (HMENU)IDC_DESIGN_LIST, GetModuleHandleA(NULL), NULL);
        FillDesignList(*side, Owner());
        Names items = ItemNames(Owner());
        EXPECT_EQ(items.size(), 255u);
        EXPECT_EQ(ItemData(Owner(), 254), 255);
        DestroyWindow(side->listView);
        side->listView = NULL;
    }
}

}  // namespace
