// Deleting designs through DeleteData: the confirmation, the delete list, the wait dialog with
// its worker, and every failure on the way.
#include <windows.h>
#include <commctrl.h>
#include <string.h>

#include <gtest/gtest.h>

#include <memory>

#include "delete_wait_res.h"
#include "frame/transfer_frame.h"
#include "link/settings.h"
#include "machinelist/design_list.h"
#include "resource.h"
#include "vemb_helpers.h"

using namespace vt;

namespace {

using Ints = std::vector<int>;

// Design numbers 1 to 8 in this order; listed ant (3), bee (7), cat (5), moth, nut, oak, pine, rose.
const Names STORED = {"moth.vbd", "oak.vbd", "ant.vbd", "pine.vbd", "cat.vbd", "rose.vbd", "bee.vbd", "nut.vbd"};
const Shown SURE = {"Delete", "Are you sure?", MB_YESNO | MB_ICONQUESTION};
const Shown BUSY = {"Delete", "Now busy, try again later.\n", MB_RETRYCANCEL | MB_ICONQUESTION | MB_TOPMOST};

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
};

std::vector<SimCall> DeleteCalls() { return CallsOf({"Protocol_Seq_Delete", "USB_Erase_Sequence"}); }

Ints Numbers(const std::vector<SimCall> &calls)
{
    Ints numbers;
    for (const SimCall &c : calls)
        numbers.push_back(atoi(c.Arg("number").c_str()));
    return numbers;
}

// Every text the worker writes into the wait dialog's counter, with the transfer status then, seen
// on the dialog's thread; at g_closeAt the dialog is closed as its close box does.
Names g_counter;
std::string g_closeAt;
LRESULT CALLBACK CounterHook(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPRETSTRUCT *m = (const CWPRETSTRUCT *)lParam;
    if (code == HC_ACTION && m->message == WM_SETTEXT && GetDlgCtrlID(m->hwnd) == IDC_DELETE_COUNTER) {
        g_counter.push_back(WindowText(m->hwnd) + ", " + std::to_string(Dll().GetTransferStatus()));
        if (WindowText(m->hwnd) == g_closeAt)
            SendMessageA(GetParent(m->hwnd), WM_CLOSE, 0, 0);
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

// "Delete" is off until a tick (Enter asks nothing then); answering No to the question keeps the list and
// its ticks, and deletes nothing.
TEST_F(Delete, NothingIsAskedUntilATickAndNoKeepsTheList)
{
    SeedEight(1);
    RunList(Owner(), Side::Delete, [&](Ui &u, HWND dlg) {
        EXPECT_FALSE(IsControlEnabled(dlg, IDOK));
        PostMessageA(dlg, WM_COMMAND, IDOK, 0);  // Enter
        Tick(u, dlg, {0, 1, 2});
        Names before = ItemNames(dlg);
        u.Click(dlg, IDOK);
        u.Answer(u.WaitMessageBox("Delete"), IDNO);
        Barrier(u, dlg);
        EXPECT_EQ(ItemNames(dlg), before);
        EXPECT_EQ(ControlText(dlg, IDC_SELECTED_COUNT), "Selected designs : 3");
        EXPECT_TRUE(IsControlEnabled(dlg, IDOK));
        EXPECT_EQ(TickedItems(dlg), (Ints{0, 1, 2}));
    });
    EXPECT_EQ(ModuleMessages(), std::vector<Shown>{SURE});
    EXPECT_TRUE(DeleteCalls().empty());
}

// 7, 5, 3 deleted through one opening: serially on the stored port with the machine busy twice (Retry);
// over USB from location 6, busy once, with the wait dialog closed during the second deletion (finished,
// the third not tried).
TEST_F(Delete, TickedDesignsGoHighestNumberFirst)
{
    const struct {
        bool usb;
        int location, busy;
        Ints clicks;
        const char *closeAt;
        Ints deleted;
        Names ops, left;
    } cases[] = {
        {false, 1, 2, {}, "", {7, 5, 3},
         {"SIO_InitializeIO", "Protocol_Seq_Delete", "Protocol_Seq_Delete", "Protocol_Seq_Delete", "SIO_TerminateIO"},
         {"moth.vbd", "oak.vbd", "pine.vbd", "rose.vbd", "nut.vbd"}},
        // The frame's USB_Terminate follows the worker's.
        {true, 6, 1, {IDC_LOCATION_OPEN_SAVE, IDC_LOCATION_ATA_CARD}, "2  /  3", {7, 5},
         {"USB_Initialize", "USB_Erase_Sequence", "USB_Erase_Sequence", "USB_Terminate", "USB_Terminate"},
         {"moth.vbd", "oak.vbd", "ant.vbd", "pine.vbd", "rose.vbd", "nut.vbd"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(ListTitle(Side::Delete, c.usb));
        UseUsb(c.usb ? Usb::Present : Usb::Absent);
        linksim::ResetMachine();
        ClearRecordedMessageBoxes();
        SeedEight(c.location);
        SetRegDword(Key::Tambora, VALUE_COM_PORT, 5);
        SetFaults("busy=" + std::to_string(c.busy) + "\nport=COM5\n");
        g_counter.clear(), g_closeAt = c.closeAt;
        HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROCRET, CounterHook, NULL, GetCurrentThreadId());
        HWND busyOwner = NULL;
        RunList(Owner(), Side::Delete, [&](Ui &u, HWND dlg) {
            size_t loads = 1;
            for (int id : c.clicks) {
                u.Click(dlg, id);
                WaitListLoaded(u, dlg, ++loads);
            }
            Tick(u, dlg, {0, 1, 2});
            u.Click(dlg, IDOK);
            u.Answer(u.WaitMessageBox("Delete"), IDYES);
            for (int i = 0; i < c.busy; ++i) {
                MessageBoxInfo busy = u.WaitMessageBox("Delete");
                busyOwner = busy.owner;
                u.Answer(busy, IDRETRY);
            }
            u.WaitGone(dlg);
        }, c.usb);
        UnhookWindowsHookEx(hook);
        std::vector<Shown> told = {SURE};
        told.insert(told.end(), c.busy, BUSY);
        EXPECT_EQ(ModuleMessages(), told);
        EXPECT_EQ(busyOwner, (HWND)NULL);
        Names counter = {"1  /  3, 1", "2  /  3, 1", "3  /  3, 1"};  // transfer status 1 meanwhile
        EXPECT_EQ(g_counter, Names(counter.begin(), counter.begin() + c.deleted.size()));
        EXPECT_EQ(Dll().GetTransferStatus(), 0u);
        std::vector<SimCall> calls = DeleteCalls();
        EXPECT_EQ(Numbers(calls), c.deleted);
        EXPECT_EQ(calls.at(0).events, Names(c.busy, "busy -> 1"));
        for (const SimCall &call : calls)
            EXPECT_EQ(atoi(call.Arg("location").c_str()) * 10 + call.result, c.location * 10);
        Names ops = SimOps();
        EXPECT_EQ(Names(ops.end() - std::min(ops.size(), c.ops.size()), ops.end()), c.ops);
        for (const SimCall &open : CallsOf("SIO_InitializeIO"))
            EXPECT_EQ(open.Arg("port"), "COM5") << "the stored port";
        EXPECT_EQ(StoredNames(c.location), c.left);
    }
}

// No delete list or wait dialog: the dialog stays, nothing deleted. A link failure, busy and Cancel, or
// no worker ends both dialogs. DeleteData returns 1 every time.
TEST_F(Delete, Failures)
{
    const Shown noMemory = {"Preview", "Not enough memory space.", MB_ICONHAND},
                noWindow = {"Delete", "Failed to create Window.", MB_TOPMOST | MB_ICONHAND},
                noThread = {"Delete", "Failed to create a thread.", MB_ICONHAND};
    const Names failedInLink = {"Protocol_Seq_Delete", "DisplayMessageByReturnCode", "SIO_TerminateIO"};
    const struct {
        const char *what;
        bool refuseDialog;
        CallFault *fault;
        int pass;
        const char *faults;
        std::vector<Shown> told;
        const char *link;
        size_t deletions;
        Names lastOps;
    } cases[] = {
        {"no block", false, &g_globalAlloc, 0, "", {SURE, noMemory}, nullptr, 0, {}},
        {"block not locked", false, &g_globalLock, 0, "", {SURE, noMemory}, nullptr, 0, {}},
        {"no wait dialog", true, nullptr, 0, "", {SURE, noWindow}, nullptr, 0, {}},
        {"first deletion fails", false, nullptr, 0, "fail.Protocol_Seq_Delete=5,77\n", {SURE}, "Delete 5/77", 1,
         failedInLink},
        {"busy, given up", false, nullptr, 0, "busy=1\n", {SURE, BUSY}, "Delete 12/0", 1, failedInLink},
        {"serial line", false, nullptr, 0, "fail.SIO_InitializeIO=2\n", {SURE}, "Delete 2/0", 0,
         {"SIO_InitializeIO", "DisplayMessageByReturnCode", "SIO_TerminateIO"}},
        {"USB link", false, &g_usbOpen, 1, "", {SURE}, "Delete 1/0", 0, {}},
        {"USB deletion fails", false, nullptr, 0, "fail.USB_Erase_Sequence=5,78\n", {SURE}, "Delete 5/78", 1,
         {"USB_DisplayMessageByReturnCode", "USB_Terminate", "USB_Terminate"}},
        {"no worker", false, &g_thread, 0, "", {SURE, noThread}, nullptr, 0,
         {"SIO_InitializeIO", "Protocol_Seq_DirUpload", "SIO_TerminateIO"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const bool usb = c.fault == &g_usbOpen || strstr(c.faults, "USB_"),
                   staying = c.refuseDialog || c.told.back() == noMemory;
        UseUsb(usb ? Usb::Present : Usb::Absent);
        linksim::ResetMachine();
        SeedEight();
        SetFaults("message=log\n");
        ClearRecordedMessageBoxes();
        std::unique_ptr<DialogRefusal> refusal(c.refuseDialog ? new DialogRefusal("Delete Designs", 1) : nullptr);
        bool stays = false;
        RunList(Owner(), Side::Delete, [&](Ui &u, HWND dlg) {
            Tick(u, dlg, {0, 1, 2});
            SetFaults(std::string(c.faults) + "message=log\n");
            if (c.fault)
                c.fault->Arm(c.pass);
            u.Click(dlg, IDOK);
            u.Answer(u.WaitMessageBox("Delete"), IDYES);
            if (c.told.back() == BUSY)
                u.Answer(u.WaitMessageBox("Delete"), IDCANCEL);
            if (staying)
                u.Answer(u.WaitMessageBox(c.told.back().caption), IDOK);
            else
                AnswerUntilGone(u, dlg);
            Settle(dlg);
            stays = IsWindow(dlg) && IsWindowVisible(dlg);
        }, usb);
        EXPECT_EQ(c.fault ? c.fault->failed : 1, 1);
        EXPECT_EQ(stays, staying);
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

// The Delete Designs dialog's own titles follow the cable at every device change.
TEST_F(Delete, DeviceChangesRetitleTheDialog)
{
    UseUsb(Usb::Present);
    SetFaults("usb=disconnected\n");
    Names titles;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog("Delete Designs - USB Disconnected");
        WaitListLoaded(u, dlg, 1);
        for (const char *cable : {"usb=connected\n", "usb=disconnected\n"}) {
            SetFaults(cable);
            SendMessageTimeoutA(dlg, WM_DEVICECHANGE, 0x0007, 0, SMTO_NORMAL, 10000, NULL);
            titles.push_back(WindowText(dlg));
        }
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().DeleteData(Owner()), 1);
    ui.Join();
    EXPECT_EQ(titles, (Names{"Delete Designs - USB Connected", "Delete Designs - USB Disconnected"}));
}

// A design number travels in one byte: of 260 records the list shows the first 255, so that no
// tick reaches design 256 + n and deletes, receives or previews design n. Both sides' lists.
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
        EXPECT_EQ(ItemNames(Owner()).size(), 255u);
        EXPECT_EQ(ItemData(Owner(), 254), 255);
        DestroyWindow(side->listView);
        side->listView = NULL;
    }
}

}  // namespace
