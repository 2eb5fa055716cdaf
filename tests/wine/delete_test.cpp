// Deleting designs through DeleteData: the Delete Designs dialog over the simulator's
// machine, the confirmation, the delete list, and the wait dialog with its worker.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "VembDlg.h"
#include "delete/delete.h"
#include "delete_wait_res.h"
#include "frame/module.h"
#include "frame/transfer_frame.h"
#include "machinelist/design_list.h"
#include "machinelist_support.h"
#include "resource.h"
#include "settings_support.h"
#include "vemb_fixture.h"

using namespace vt;

namespace {

typedef std::vector<std::string> Names;
typedef std::vector<int> Ints;

// Stored in this order (design numbers 1 to 8). Listed: ant (3), bee (7), cat (5), moth,
// nut, oak, pine, rose: the first three items are designs 3, 7 and 5.
const Names STORED = {"moth.vbd", "oak.vbd", "ant.vbd", "pine.vbd",
                      "cat.vbd",  "rose.vbd", "bee.vbd", "nut.vbd"};
const Names WITHOUT_3_5_7 = {"moth.vbd", "oak.vbd", "pine.vbd", "rose.vbd", "nut.vbd"};

class Delete : public VembTest {
protected:
    void SeedEight(int location = 1)
    {
        for (size_t i = 0; i < STORED.size(); ++i)
            SeedDesign(location, STORED[i], std::vector<char>(64, (char)i));
    }
    // Runs `script` on the dialog once its `loads`th directory upload is listed, then waits
    // for the dialog to go; DeleteData's result.
    BOOL Run(const std::function<void(Ui &, HWND)> &script, size_t loads = 1,
             const char *caption = "Delete Designs - COM Port",
             BOOL(WINAPI *deleteData)(HWND) = Dll().DeleteData)
    {
        UiScript ui([&](Ui &u) {
            HWND dlg = u.WaitDialog(caption);
            WaitListLoaded(u, dlg, loads);
            script(u, dlg);
            u.WaitGone(dlg);
        });
        BOOL result = deleteData(Owner());
        ui.Join();
        return result;
    }
};

std::vector<SimCall> DeleteCalls()
{
    std::vector<SimCall> calls;
    for (const SimCall &c : ReadSimCalls())
        if (c.op == "Protocol_Seq_Delete" || c.op == "USB_Erase_Sequence")
            calls.push_back(c);
    return calls;
}

Ints Numbers(const std::vector<SimCall> &calls)
{
    Ints numbers;
    for (const SimCall &c : calls)
        numbers.push_back(atoi(c.Arg("number").c_str()));
    return numbers;
}

Names LastOps(size_t n)
{
    Names ops = SimOps();
    return Names(ops.end() - std::min(n, ops.size()), ops.end());
}

// Ticks `items`, presses Delete and answers "Are you sure?" with Yes.
void DeleteItems(Ui &u, HWND dlg, std::initializer_list<int> items)
{
    for (int item : items) {
        ClickCheckBox(dlg, item);
        Barrier(u, dlg);
    }
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
        if (code == HC_ACTION && self_ && m->message == WM_SETTEXT &&
            GetDlgCtrlID(m->hwnd) == IDC_DELETE_COUNTER) {
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
        Usb usb;
        const char *caption, *op;
        int location;
        Ints clicks;
        Names ops;
    } cases[] = {
        {Usb::Absent, "Delete Designs - COM Port", "Protocol_Seq_Delete", 1, {},
         {"SIO_InitializeIO", "Protocol_Seq_Delete", "Protocol_Seq_Delete", "Protocol_Seq_Delete",
          "SIO_TerminateIO"}},
        // The frame's UsbTerminate follows the worker's.
        {Usb::Present, "Delete Designs - USB Connected", "USB_Erase_Sequence", 6,
         {IDC_LOCATION_OPEN_SAVE, IDC_LOCATION_ATA_CARD},
         {"USB_Initialize", "USB_Erase_Sequence", "USB_Erase_Sequence", "USB_Erase_Sequence", "USB_Terminate",
          "USB_Terminate"}},
    };
    size_t loads = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.caption);
        UseUsb(c.usb);
        SeedEight(c.location);
        CounterWatch watch;
        std::string label;
        MessageBoxInfo sure;
        BOOL result = Run(
            [&](Ui &u, HWND dlg) {
                for (int id : c.clicks) {
                    u.Click(dlg, id);
                    WaitListLoaded(u, dlg, ++loads);
                }
                for (int item : {0, 1, 2}) {
                    ClickCheckBox(dlg, item);
                    Barrier(u, dlg);
                }
                label = ControlText(dlg, IDC_SELECTED_COUNT);
                u.Click(dlg, IDOK);
                sure = u.WaitMessageBox("Delete");
                u.Answer(sure, IDYES);
            },
            ++loads, c.caption);
        EXPECT_EQ(result, 1);
        EXPECT_EQ(label, "Selected designs : 3");
        EXPECT_EQ(sure.text, "Are you sure?");
        EXPECT_EQ(sure.style, (UINT)(MB_YESNO | MB_ICONQUESTION));
        EXPECT_EQ(watch.texts, (Names{"1  /  3", "2  /  3", "3  /  3"}));
        EXPECT_EQ(watch.status, (std::vector<UINT>{1, 1, 1}));
        EXPECT_EQ(Dll().GetTransferStatus(), 0u);
        std::vector<SimCall> calls = DeleteCalls();
        calls.erase(calls.begin(), calls.end() - std::min<size_t>(3, calls.size()));
        EXPECT_EQ(Numbers(calls), (Ints{7, 5, 3}));
        for (const SimCall &call : calls) {
            EXPECT_EQ(call.op, c.op);
            EXPECT_EQ(call.Arg("location"), std::to_string(c.location));
        }
        EXPECT_EQ(LastOps(c.ops.size()), c.ops);
        EXPECT_EQ(StoredNames(c.location), WITHOUT_3_5_7);
    }
    EXPECT_EQ(RecordedMessageBoxes().size(), 2u) << "the two confirmations";
}

// Delete is disabled while nothing is ticked (and Enter asks nothing then); No at the
// confirmation leaves the list and the ticks as they were.
TEST_F(Delete, NoKeepsTheListAndTheTicks)
{
    SeedEight();
    bool enabledBefore = true, open = false;
    Names before, after;
    Ints ticks;
    EXPECT_EQ(Run([&](Ui &u, HWND dlg) {
                  enabledBefore = IsControlEnabled(dlg, IDOK);
                  PostMessageA(dlg, WM_COMMAND, IDOK, 0);  // Enter
                  Barrier(u, dlg);
                  for (int item : {1, 4}) {
                      ClickCheckBox(dlg, item);
                      Barrier(u, dlg);
                  }
                  before = ItemNames(dlg);
                  u.Click(dlg, IDOK);
                  u.Answer(u.WaitMessageBox("Delete"), IDNO);
                  Barrier(u, dlg);
                  open = IsWindowVisible(dlg) && IsControlEnabled(dlg, IDOK);
                  after = ItemNames(dlg);
                  ticks = TickedItems(dlg);
                  u.Click(dlg, IDCANCEL);
              }),
              1);
    EXPECT_FALSE(enabledBefore);
    EXPECT_TRUE(open);
    EXPECT_EQ(after, before);
    EXPECT_EQ(ticks, (Ints{1, 4}));
    EXPECT_EQ(RecordedMessageBoxes().size(), 1u) << "Enter with nothing ticked asked nothing";
    EXPECT_TRUE(DeleteCalls().empty());
}

// The machine busy twice: Retry twice and the design goes. Busy again: Cancel gives up with
// the library's message, and no further design is tried.
TEST_F(Delete, BusyMachineAsksToRetry)
{
    SeedEight();
    SetFaults("busy=2\n");
    MessageBoxInfo busy, gaveUp;
    EXPECT_EQ(Run([&](Ui &u, HWND dlg) {
                  DeleteItems(u, dlg, {0});
                  busy = u.WaitMessageBox("Delete");
                  u.Answer(busy, IDRETRY);
                  u.Answer(u.WaitMessageBox("Delete"), IDRETRY);
              }),
              1);
    SetFaults("busy=1\n");
    EXPECT_EQ(Run(
                  [&](Ui &u, HWND dlg) {
                      DeleteItems(u, dlg, {0, 1, 2});
                      u.Answer(u.WaitMessageBox("Delete"), IDCANCEL);
                      gaveUp = u.WaitMessageBox("Delete");
                      u.Answer(gaveUp, IDOK);
                  },
                  2),
              1);
    EXPECT_EQ(busy.text, "Now busy, try again later.\n");
    EXPECT_EQ(busy.owner, (HWND)NULL);
    UINT style = 0;
    EXPECT_TRUE(RecordedMessageBoxStyle("Delete", busy.text, &style));
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

// VembDlg.dll's thread creation, refused while set.
volatile LONG g_refuseThreads;

HANDLE WINAPI MaybeRefuseThread(LPSECURITY_ATTRIBUTES security, SIZE_T stack, LPTHREAD_START_ROUTINE start,
                                LPVOID parameter, DWORD flags, LPDWORD id)
{
    if (g_refuseThreads) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    return CreateThread(security, stack, start, parameter, flags, id);
}

// A failure shows one message, the library's while the link is still open, and ends both
// dialogs, nothing deleted: on the first deletion nothing further is tried; a port that
// does not open tries nothing. A worker thread that cannot be had ends the wait dialog with
// a message of its own (the module's import of CreateThread refuses it).
TEST_F(Delete, FailuresEndBothDialogs)
{
    SeedEight();
    uidrive::PatchImport(Dll().module, "kernel32.dll", "CreateThread", (void *)MaybeRefuseThread);
    const struct {
        const char *faults;
        bool refuseThread;
        const char *message;
        size_t deletions;
        Names lastOps;
    } cases[] = {
        {"fail.Protocol_Seq_Delete=5,77\n", false, "Loomstar link error 5 (detail 77).", 1,
         {"Protocol_Seq_Delete", "DisplayMessageByReturnCode", "SIO_TerminateIO"}},
        {"fail.SIO_InitializeIO=2\n", false, "Loomstar link error 2 (detail 0).", 0,
         {"SIO_InitializeIO", "DisplayMessageByReturnCode", "SIO_TerminateIO"}},
        {"", true, "Failed to create a thread.", 0,
         {"SIO_InitializeIO", "Protocol_Seq_DirUpload", "SIO_TerminateIO"}},
    };
    size_t loads = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message);
        ClearRecordedMessageBoxes();
        size_t deletionsBefore = DeleteCalls().size();
        MessageBoxInfo failure;
        EXPECT_EQ(Run(
                      [&](Ui &u, HWND dlg) {
                          SetFaults(c.faults);
                          g_refuseThreads = c.refuseThread;
                          DeleteItems(u, dlg, {0, 1, 2});
                          failure = u.WaitMessageBox("Delete");
                          u.Answer(failure, IDOK);
                      },
                      ++loads),
                  1);
        g_refuseThreads = 0;
        SetFaults("");
        EXPECT_EQ(failure.text.rfind(c.message, 0), 0u) << failure.text;
        EXPECT_EQ(failure.style, (UINT)MB_ICONHAND);
        EXPECT_EQ(RecordedMessageBoxes().size(), 2u);
        EXPECT_EQ(DeleteCalls().size() - deletionsBefore, c.deletions);
        EXPECT_EQ(LastOps(3), c.lastOps);
        EXPECT_EQ(Dll().GetTransferStatus(), 0u);
    }
    EXPECT_EQ(StoredNames(1), STORED);
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
        int items = ItemCount(Owner());
        EXPECT_EQ(items, 255);
        EXPECT_EQ(ItemData(Owner(), items - 1), 255);
        DestroyWindow(side->listView);
        side->listView = NULL;
    }
}

INT_PTR CALLBACK QuietDlgProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

TEST_F(Delete, Templates)
{
    HWND dialog = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_DELETE_DESIGNS), Owner(),
                                     QuietDlgProc, 0);
    ASSERT_NE(dialog, (HWND)NULL);
    EXPECT_EQ(WindowText(dialog), "Delete Designs");
    const DWORD FRAME = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    EXPECT_EQ((DWORD)GetWindowLongA(dialog, GWL_STYLE) & FRAME, FRAME);
    const DWORD LIST = LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOCOLUMNHEADER | WS_TABSTOP;
    ExpectLayout(dialog, 287, 168,
                 {
                     {1000, "SysListView32", "", 7, 24, 110, 122, LIST, 0, 0},
                     {1008, "Button", "Built-in", 216, 58, 58, 13, 0, 0xF, BS_AUTORADIOBUTTON},
                     {1009, "Button", "ATA PC Card", 216, 74, 58, 13, 0, 0xF, BS_AUTORADIOBUTTON},
                     {1001, "Button", "Auto Preview", 133, 126, 64, 10, 0, 0xF, BS_AUTOCHECKBOX},
                     {1002, "Button", "Show Preview", 131, 140, 66, 14, 0, 0xF, BS_PUSHBUTTON},
                     {1011, "Button", "Select All Designs", 211, 24, 69, 14, 0, 0xF, BS_PUSHBUTTON},
                     {1, "Button", "Delete", 211, 115, 69, 14, 0, 0xF, BS_DEFPUSHBUTTON},
                     {2, "Button", "Cancel", 211, 147, 69, 14, 0, 0xF, BS_PUSHBUTTON},
                     {1003, "Static", "", 130, 30, 66, 80, SS_SUNKEN, SS_TYPEMASK, SS_ETCHEDFRAME},
                     {-1, "Button", "Preview", 123, 19, 82, 142, 0, 0xF, BS_GROUPBOX},
                     {-1, "Button", "Delete From", 211, 48, 69, 42, 0, 0xF, BS_GROUPBOX},
                     {1026, "Static", "", 134, 113, 59, 10, 0, SS_TYPEMASK, SS_LEFT},
                     {1007, "Static", "", 7, 148, 110, 13, SS_SUNKEN, SS_TYPEMASK, SS_CENTER},
                     {1029, "Button", "Select Open/Save folder.", 13, 7, 106, 13, 0, 0xF, BS_AUTOCHECKBOX},
                 });
    EXPECT_TRUE(GetWindowLongA(GetDlgItem(dialog, 1003), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    Ints order;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        order.push_back((short)GetDlgCtrlID(c));
    EXPECT_EQ(order, (Ints{1000, 1008, 1009, 1001, 1002, 1011, 1, 2, 1003, -1, -1, 1026, 1007, 1029}));
    DestroyWindow(dialog);

    HWND wait = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_DELETE_WAIT), Owner(),
                                   QuietDlgProc, 0);
    ASSERT_NE(wait, (HWND)NULL);
    EXPECT_EQ(WindowText(wait), "Delete Designs");
    EXPECT_EQ((DWORD)GetWindowLongA(wait, GWL_STYLE) & FRAME, FRAME);
    ExpectLayout(wait, 207, 36,
                 {
                     {-1, "Static", "Wait a minute.  Now deleting.", 16, 4, 132, 11, 0, SS_TYPEMASK, SS_CENTER},
                     {1014, "Static", "", 145, 16, 55, 11, 0, SS_TYPEMASK, SS_CENTER},
                 });
    DestroyWindow(wait);
}

}  // namespace
