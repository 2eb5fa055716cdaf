// Sends through DirectFilesDownload and DirectDownload: the Send Designs dialog, Check Files, the cut, the
// name and stitch checks, the workers, the Vbd Name dialog, and every failure on the way.
#include <windows.h>
#include <commctrl.h>
#include <string.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "design_name_res.h"
#include "link/settings.h"
#include "machine_version_res.h"
#include "send_designs_res.h"
#include "vemb_helpers.h"

using namespace vt;
using Script = std::function<void(Ui &)>;

namespace {

const char SEND_COM[] = "Send Designs - COM Port", SEND_USB[] = "Send Designs - USB Connected";
const char READY[] = "Ready to send designs.\nClick [Start] button.";

Shown TooLarge(const std::string &name, int limit)
{
    return {"Attention",
            "The design is too large and cannot be sent in this menu.\nThe pattern (" + name + ") exceeds the " +
                std::to_string(limit) + " stitch limit.",
            MB_ICONEXCLAMATION};
}

HWND PressStart(Ui &u, bool usb = false)
{
    HWND dlg = u.WaitDialog(usb ? SEND_USB : SEND_COM);
    u.Click(dlg, IDOK);
    return dlg;
}
// Start, and every message answered until the dialog has gone.
Script Start(bool usb = false)
{
    return [usb](Ui &u) { AnswerUntilGone(u, PressStart(u, usb)); };
}
// The local time as a count of 100 ns since 1601.
uint64_t Now()
{
    SYSTEMTIME local;
    GetLocalTime(&local);
    FILETIME count;
    SystemTimeToFileTime(&local, &count);
    return ((uint64_t)count.dwHighDateTime << 32) | count.dwLowDateTime;
}
// Whether `name` is the base-36 digits of a local time from `since` to now, and ".vbd".
bool ClockName(const std::string &name, uint64_t since)
{
    uint64_t count = 0;
    bool digits = name.size() > 4 && name.size() <= 16 && name.substr(name.size() - 4) == ".vbd";
    for (size_t i = 0; digits && i < name.size() - 4; ++i) {
        digits = isdigit((unsigned char)name[i]) || isupper((unsigned char)name[i]);
        count = count * 36 + (isdigit((unsigned char)name[i]) ? name[i] - '0' : name[i] - 'A' + 10);
    }
    return digits && count >= since && count <= Now();
}
// The name the direct sequence was given.
std::string SentName()
{
    std::vector<SimCall> sent = CallsOf({"Protocol_Seq_Download_Direct", "USB_DirectDownload_Sequence"});
    return sent.empty() ? "(not sent)" : sent[0].Arg("name");
}

class Send : public VembTest {
protected:
    void SetUp() override
    {
        VembTest::SetUp();
        PatchFaults();
    }
    std::string Design(const std::string &name, int32_t stitches = 1000) { return WriteDesign(In(name), stitches); }
    std::string List(const Names &paths, const std::string &name = "host.lst")
    {
        return WriteSendList(In(name), paths);
    }
    static void Fill(int location, int count)
    {
        std::vector<char> bytes = DesignBytes(10, 0);
        for (int i = 0; i < count; ++i)
            linksim::StoreDesign(location, "seed" + std::to_string(i) + ".vbd", bytes.data(), bytes.size());
    }
    static std::vector<char> StoredBytes(int location, const std::string &name)
    {
        for (const linksim::StoredDesign &d : linksim::ListDesigns(location))
            if (d.name == name)
                return ReadFileBytes(d.file);
        return {};
    }
    // DirectFilesDownload of a list, or DirectDownload of bytes under a name, beside `script`.
    void SendList(const std::string &list, const Script &script, int result = 1, int askVersion = 0)
    {
        UiScript ui(script);
        EXPECT_EQ(Dll().DirectFilesDownload(Owner(), list.c_str(), askVersion), result);
        ui.Join();
    }
    void SendDirect(const std::vector<char> &design, const char *name, const Script &script)
    {
        UiScript ui(script);
        EXPECT_EQ(Dll().DirectDownload(Owner(), (DWORD)(UINT_PTR)design.data(), (DWORD)design.size(), name), 1);
        ui.Join();
    }
    // One whole send and one that ends with a message, so that the module, the link libraries and the window
    // classes have made what they keep for the process before handles and heaps are counted.
    void WarmUp()
    {
        SendList(List({Design("warm.vbd")}, "warm.lst"), Start());
        SendList(In("none.lst"), Start());
        linksim::ResetMachine();
        ClearRecordedMessageBoxes();
    }
    static bool NoDirectoryFileLeft() { return !FileExists(TempFile("$$UPLDir.tmp")); }
};

// Five designs for the ATA PC card holding 97: the fourth entry emptied, the count 5 kept (USB's -13 then a
// success), the cut told afterwards; the line opens at 9600 bit/s on the stored port, sequences at its speed.
TEST_F(Send, ListIsCutToTheRoomLeft)
{
    SetRegDword(Key::Tambora, VALUE_BAUD_RATE, 5);
    SetRegDword(Key::Tambora, VALUE_COM_PORT, 3);
    for (bool usb : {false, true}) {
        SCOPED_TRACE(usb ? "USB" : "serial");
        UseUsb(usb ? Usb::Present : Usb::Absent);
        linksim::ResetMachine();
        SetFaults("port=COM3\n");
        ClearRecordedMessageBoxes();
        Fill(1, 100);
        Fill(2, 97);
        Names paths;
        for (const char *n : {"a.vbd", "b.vbd", "c.vbd", "d.vbd", "e.vbd"})
            paths.push_back(Design(n));
        SendList(List(paths), [usb](Ui &u) {
            HWND dlg = u.WaitDialog(usb ? SEND_USB : SEND_COM);
            u.Click(dlg, IDC_SEND_ATA_CARD);
            u.Click(dlg, IDOK);
            AnswerUntilGone(u, dlg);
        });
        EXPECT_EQ(ModuleMessages(), std::vector<Shown>{LIST_CUT});
        std::vector<SimCall> sent = CallsOf(usb ? "USB_Download_Sequence" : "Protocol_Seq_Download");
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].Arg("count"), "5") << "the count handed on stays";
        EXPECT_EQ(sent[0].Arg("progress"), "yes");
        EXPECT_EQ(sent[0].result, usb ? -13 : 0);
        ASSERT_EQ(sent[0].entries.size(), 5u);
        for (size_t i = 0; i < 5; ++i) {
            SCOPED_TRACE("entry " + std::to_string(i));
            EXPECT_EQ(sent[0].entries[i].name, i == 3 ? "" : paths[i]) << "the fourth ends the list";
            EXPECT_EQ(sent[0].entries[i].location, 2);
        }
        std::vector<SimCall> dir = CallsOf({"Protocol_Seq_DirUpload", "USB_DirUpload_Sequence"});
        EXPECT_EQ(dir.at(0).Arg("location"), "2");
        if (!usb) {
            EXPECT_EQ(sent[0].Arg("speed") + " " + dir[0].Arg("speed"), "57600 57600");
            Names opens;
            for (const SimCall &c : CallsOf("SIO_InitializeIO"))
                opens.push_back(c.Arg("port") + " " + c.Arg("speed") + " " + c.Arg("cancel"));
            EXPECT_EQ(opens, (Names{"COM3 9600 yes", "COM3 9600 yes"})) << "Check Files, then the send";
        }
        Names stored = StoredNames(2);
        ASSERT_EQ(stored.size(), 100u);
        EXPECT_EQ(Names(stored.begin() + 97, stored.end()), (Names{"a.vbd", "b.vbd", "c.vbd"}));
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(StoredBytes(2, stored[97 + i]), ReadFileBytes(paths[i]));
        EXPECT_TRUE(NoDirectoryFileLeft());
        EXPECT_TRUE(FileExists(In("host.lst"))) << "the host's list stays";
    }
}

// A full location is refused over the dialog with no worker, for a list and a direct send alike; the
// transfer status is 1 from Start to the end only.
TEST_F(Send, FullLocationIsRefusedOverTheDialogWithoutAWorker)
{
    for (bool direct : {false, true}) {
        SCOPED_TRACE(direct ? "direct" : "list");
        linksim::ResetMachine();
        ClearRecordedMessageBoxes();
        Fill(1, 100);
        std::string status;
        Script full = [&](Ui &u) {
            HWND dlg = u.WaitDialog(SEND_COM);
            status = std::to_string(Dll().GetTransferStatus());
            u.Click(dlg, IDOK);
            MessageBoxInfo box = u.WaitMessageBox("Attention");
            status += std::to_string(Dll().GetTransferStatus()) + (box.owner == dlg ? " over the dialog" : "");
            u.Answer(box, IDOK);
            u.WaitGone(dlg);
        };
        if (direct)
            SendDirect(DesignBytes(300, 3), "x.vbd", full);
        else
            SendList(List({Design("x.vbd")}), full);
        EXPECT_EQ(status + std::to_string(Dll().GetTransferStatus()), "01 over the dialog0");
        EXPECT_EQ(SimOps(), (Names{"SIO_InitializeIO", "Protocol_Seq_DirUpload", "SIO_TerminateIO"}));
        EXPECT_EQ(ModuleMessages(), std::vector<Shown>{LOCATION_FULL});
        EXPECT_TRUE(NoDirectoryFileLeft());
    }
}

// With the Open/Save folder chosen, a name of 37 characters is skipped (36 pass) and the skip is told once
// the send has succeeded; when every name is skipped nothing is sent. The send location is kept.
TEST_F(Send, OpenSaveFolderSkipsLongNames)
{
    std::string fits = std::string(32, 'f') + ".vbd", tooLong = std::string(33, 'g') + ".vbd";
    size_t downloadsWhenTold = 99;
    SendList(List({Design(fits), Design(tooLong), Design("short.vbd")}), [&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        u.Click(dlg, IDC_SEND_OPEN_SAVE);
        u.Click(dlg, IDOK);
        MessageBoxInfo box = u.WaitMessageBox("File Name Error");
        downloadsWhenTold = CallsOf("Protocol_Seq_Download").size();
        u.Answer(box, IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(downloadsWhenTold, 1u) << "told after the sequence";
    EXPECT_EQ(CallsOf("Protocol_Seq_Download").at(0).Arg("count"), "2");
    EXPECT_EQ(StoredNames(5), (Names{fits, "short.vbd"}));
    EXPECT_EQ(ModuleMessages(), std::vector<Shown>{LONG_NAMES_DROPPED});
    linksim::ResetMachine();
    ClearRecordedMessageBoxes();
    bool kept = false;
    SendList(List({Design(tooLong), Design(std::string(40, 'h') + ".pes")}), [&](Ui &u) {
        kept = IsChecked(u.WaitDialog(SEND_COM), IDC_SEND_OPEN_SAVE);
        Start()(u);
    });
    EXPECT_TRUE(kept);
    EXPECT_TRUE(SimOps().empty()) << "no Check Files step, no worker";
    EXPECT_EQ(ModuleMessages(), (std::vector<Shown>{{"Warning", "Failed to send the selected VBD files.", MB_ICONHAND}}));
}

// Refused designs are skipped with a message naming 32000 or 64000 as the version recorded or answered says;
// the question comes once, at the first design above 32700 stitches, before that design's limit.
TEST_F(Send, StitchLimitFollowsTheMachineVersion)
{
    const int32_t counts[] = {32700, 32701, 40000, 65535, 65536, -5};
    Names paths;
    for (int32_t c : counts)
        paths.push_back(Design("s" + std::to_string(c) + ".vbd", c));
    enum Ask { NO, ANSWERED_22, REFUSED };
    const struct {
        int version;  // 0: none recorded
        Ask ask;
        int32_t firstRefused;
        int shown;
    } cases[] = {{0, NO, 32701, 32000}, {1, NO, 32701, 32000}, {2, NO, 65536, 64000},
                 {1, ANSWERED_22, 65536, 64000}, {0, REFUSED, 32701, 32000}};
    // A second question, or one where none is due, stays unanswered and fails the wait.
    const Script answer22 = [](Ui &u) {
        HWND dlg = PressStart(u);
        HWND version = u.WaitDialog("Confirm Machine's Version");  // version 2.1 recorded
        u.Click(version, IDC_VERSION_22);
        u.Click(version, IDOK);
        AnswerUntilGone(u, dlg);
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("version " + std::to_string(c.version) + " ask " + std::to_string(c.ask));
        DeleteSettingsKeys();
        if (c.version)
            SetRegDword(Key::Tambora, VALUE_MACHINE_VERSION, c.version);
        linksim::ResetMachine();
        ClearRecordedMessageBoxes();
        std::unique_ptr<DialogRefusal> refusal(c.ask == REFUSED ? new DialogRefusal("Confirm Machine's Version")
                                                                : nullptr);
        SendList(List(paths), c.ask == ANSWERED_22 ? answer22 : Start(), 1, c.ask != NO);
        std::vector<Shown> told;
        Names sent;
        for (int32_t n : counts) {
            std::string name = "s" + std::to_string(n) + ".vbd";
            if (n >= c.firstRefused)
                told.push_back(TooLarge(name, c.shown));
            else
                sent.push_back(name);
        }
        EXPECT_EQ(ModuleMessages(), told);
        EXPECT_EQ(StoredNames(1), sent);
        EXPECT_TRUE(!refusal || DialogRefusal::Refused() == 1) << "asked once";
        EXPECT_TRUE(c.ask != ANSWERED_22 || RegDwordBoth(VALUE_MACHINE_VERSION) == std::make_pair(DWORD(2), DWORD(2)));
    }
}

// Failures of the list, a design's file, memory, the cancel event and the worker end the send with a
// "Sending" message, before the machine is asked (the worker: after Check Files), leaving nothing behind.
TEST_F(Send, FailuresBeforeTheTransferEndTheSendWithAMessage)
{
    WriteFileBytes(In("empty.lst"), "", 0);
    const Names checkFiles = {"SIO_InitializeIO", "Protocol_Seq_DirUpload", "SIO_TerminateIO"};
    const std::string one = List({Design("a.vbd")});
    const struct {
        const char *what;
        std::string list;  // empty: a direct send
        CallFault *fault;
        const char *watched, *message;
        Names ops;
    } cases[] = {
        {"missing list", In("none.lst"), nullptr, "", "File Open Error.", {}},
        {"empty list", In("empty.lst"), nullptr, "", "File Open Error.", {}},
        {"unreadable list", one, &g_fileRead, "host.lst", "File Read Error.", {}},
        {"missing design", List({Design("b.vbd"), In("gone.vbd")}, "gone.lst"), nullptr, "", "File Read Error.", {}},
        {"design is a folder", List({WorkDir()}, "folder.lst"), nullptr, "", "File Read Error.", {}},
        {"unreadable design", one, &g_fileRead, "a.vbd", "File Read Error.", {}},
        {"no send heap", one, &g_heapCreate, "", "Not Enough Memory.", {}},
        {"no memory in it", one, &g_heapAlloc, "", "Not Enough Memory.", {}},
        {"list: no event", one, &g_event, "", "Failed to create event object.", {}},
        {"direct: no event", "", &g_event, "", "Failed to create event object.", {}},
        {"list: no worker", one, &g_thread, "", "Failed to create thread.", checkFiles},
        {"direct: no worker", "", &g_thread, "", "Failed to create thread.", checkFiles},
    };
    WarmUp();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        linksim::ResetMachine();
        ClearRecordedMessageBoxes();
        DWORD heaps = HeapCount();
        int handles = HandleCount();
        WatchFile(c.watched);
        if (c.fault)
            c.fault->Arm(c.fault == &g_thread);  // the Check Files step's worker passes
        if (c.list.empty())
            SendDirect(DesignBytes(300, 5), "d.vbd", Start());
        else
            SendList(c.list, Start());
        EXPECT_EQ(c.fault ? c.fault->failed : 1, 1);
        EXPECT_EQ(ModuleMessages(), (std::vector<Shown>{{"Sending", c.message, MB_ICONHAND}}));
        EXPECT_EQ(SimOps(), c.ops);
        EXPECT_EQ(Dll().GetTransferStatus(), 0u);
        EXPECT_EQ(HeapCount(), heaps);
        EXPECT_EQ(HandleCount(), handles);
    }
}

// Link failures are the library's alone to explain, under "Sending": an open (detail 0), a sequence (its
// detail; after a cut, whose message is then not shown), USB's -13 without a cut. Nothing left loaded or open.
TEST_F(Send, LinkFailuresAreTheLibrarysToExplain)
{
    const struct {
        bool direct, usb;
        CallFault *fault;
        int pass, stored;
        const char *faults, *told;
    } cases[] = {
        {false, false, &g_serialOpen, 1, 0, "", "Sending 2/0"},
        {false, true, &g_usbOpen, 4, 0, "", "Sending 1/0"},
        {false, false, nullptr, 0, 99, "fail.Protocol_Seq_Download=13,4\n", "Sending 13/4"},  // after a cut
        {false, true, nullptr, 0, 0, "fail.USB_Download_Sequence=13,5\n", "Sending 13/5"},
        {false, true, nullptr, 0, 0, "fail.USB_Download_Sequence=-13,4\n", "Sending -13/4"},  // no cut
        {true, false, &g_serialOpen, 1, 0, "", "Sending 2/0"},
        {true, true, &g_usbOpen, 4, 0, "", "Sending 1/0"},
        {true, false, nullptr, 0, 0, "fail.Protocol_Seq_Download_Direct=13,6\n", "Sending 13/6"},
        {true, true, nullptr, 0, 0, "fail.USB_DirectDownload_Sequence=13,6\n", "Sending 13/6"},
    };
    WarmUp();
    std::string list = List({Design("a.vbd"), Design("b.vbd")});
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.direct ? "direct " : "list ") + (c.usb ? "USB " : "serial ") + c.told);
        UseUsb(c.usb ? Usb::Present : Usb::Absent);
        linksim::ResetMachine();
        Fill(1, c.stored);
        SetFaults(std::string(c.faults) + "message=log\n");
        if (c.fault)
            c.fault->Arm(c.pass);
        int handles = HandleCount();
        if (c.direct)
            SendDirect(DesignBytes(300, 5), "d.vbd", Start(c.usb));
        else
            SendList(list, Start(c.usb));
        EXPECT_EQ(c.fault ? c.fault->failed : 1, 1);
        EXPECT_EQ(LinkMessages(), Names{c.told});
        EXPECT_EQ(LinkCloseBesideMessage(), CloseBesideMessage(true, !c.fault));
        EXPECT_EQ(StoredNames(1).size(), (size_t)c.stored);
        EXPECT_EQ(GetModuleHandleA("VEMBUSB.DLL"), (HMODULE)NULL);
        EXPECT_EQ(Dll().GetTransferStatus(), 0u);
        EXPECT_EQ(HandleCount(), handles) << "a handle was left open (over USB too: the link library is freed whole)";
    }
    EXPECT_TRUE(ModuleMessages().empty());
}

// Check Files: its link failures and close box end the send with the library's message only; no dialog or
// an unreadable directory file counts as an empty location; no file ends the send quietly.
TEST_F(Send, CheckFilesStep)
{
    const std::string full = {0, 100};
    const char *noFile = "fail.Protocol_Seq_DirUpload=0\n";
    const Shown noEvent = {"Directory Information Upload", "Failed to create event object.", MB_ICONHAND};
    const Shown noDialog = {"Error", "Failed to create Window.", MB_TOPMOST | MB_ICONHAND};
    const struct {
        const char *what;
        bool usb;
        const char *faults;
        bool left;
        std::string file;  // left by "the link library"
        CallFault *fault;
        int pass;
        bool refuseDialog, close, sent;
        std::vector<Shown> told;
        Names link;
    } cases[] = {
        {"serial line", false, "port=COM2\n", false, "", nullptr, 0, false, false, false, {}, {"Design List 2/0"}},
        {"serial upload", false, "fail.Protocol_Seq_DirUpload=13,7\n", false, "", nullptr, 0, false, false, false, {},
         {"Design List 13/7"}},
        {"USB link", true, "", false, "", &g_usbOpen, 2, false, false, false, {}, {"Design List 1/0"}},
        {"USB upload", true, "fail.USB_DirUpload_Sequence=14,9\n", false, "", nullptr, 0, false, false, false, {},
         {"Design List 14/9"}},
        {"closed", false, "delay=300\n", false, "", nullptr, 0, false, true, false, {}, {"Design List 3/0"}},
        {"no event", false, "", false, "", &g_event, 1, false, false, false, {noEvent}, {}},
        // The machine, holding 100 designs, refuses the 101st.
        {"no dialog", false, "", false, "", nullptr, 0, true, false, true, {noDialog}, {"Sending 10/1"}},
        {"no file", false, noFile, false, "", nullptr, 0, false, false, false, {}, {}},
        {"empty file", false, noFile, true, "", nullptr, 0, false, false, true, {}, {}},
        {"one byte", false, noFile, true, "d", nullptr, 0, false, false, true, {}, {}},
        {"size unknown", false, noFile, true, full, &g_fileSize, 0, false, false, true, {}, {}},
        {"unreadable", false, noFile, true, full, &g_fileRead, 0, false, false, true, {}, {}},
        {"left by a failed upload", false, "fail.Protocol_Seq_DirUpload=14,3\n", true, full, nullptr, 0, false, false,
         false, {LOCATION_FULL}, {"Design List 14/3"}},
    };
    WarmUp();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        UseUsb(c.usb ? Usb::Present : Usb::Absent);
        linksim::ResetMachine();
        SetFaults(std::string(c.faults) + "message=log\n");
        ClearRecordedMessageBoxes();
        if (c.left)
            WriteFileText(TempFile("$$UPLDir.tmp"), c.file);
        if (c.refuseDialog)
            Fill(1, 100);  // would refuse the send, had the machine been asked
        WatchFile("$$UPLDir.tmp");
        if (c.fault)
            c.fault->Arm(c.pass);
        std::unique_ptr<DialogRefusal> refusal(c.refuseDialog ? new DialogRefusal("Check Files") : nullptr);
        int handles = HandleCount();
        SendList(List({Design("a.vbd")}), [&](Ui &u) {
            HWND send = PressStart(u, c.usb);
            if (c.close) {
                HWND dlg = u.WaitDialog("Check Files");
                EXPECT_EQ(GetWindow(dlg, GW_OWNER), send);
                u.Close(dlg);
            }
            AnswerUntilGone(u, send);
        });
        EXPECT_EQ(c.fault ? c.fault->failed : 1, 1);
        EXPECT_EQ(ModuleMessages(), c.told);
        EXPECT_EQ(LinkMessages(), c.link);
        EXPECT_EQ(LinkCloseBesideMessage(),
                  CloseBesideMessage(!c.link.empty(), !strstr(c.faults, "port=") && !c.fault));
        EXPECT_EQ(CallsOf({"Protocol_Seq_Download", "USB_Download_Sequence"}).size(), c.sent ? 1u : 0u);
        EXPECT_EQ(StoredNames(1).size(), c.refuseDialog ? 100u : c.sent ? 1u : 0u);
        EXPECT_TRUE(NoDirectoryFileLeft());
        EXPECT_EQ(Dll().GetTransferStatus(), 0u);
        // (The refusing hook costs Wine a handle.)
        EXPECT_TRUE(c.refuseDialog || HandleCount() == handles) << "a cancel event was left open";
    }
}

// WM_CLOSE before a worker was started ends the dialog with 2, USB terminated, status back to 0, nothing
// sent: while Check Files runs (the check cancelled), and after a refused send whose WM_SEND_FINISHED is
// still queued behind the message box.
TEST_F(Send, ClosingBeforeAWorkerStartedEndsWithTwo)
{
    UseUsb(Usb::Present);
    for (bool checking : {true, false}) {
        SCOPED_TRACE(checking ? "checking" : "refused, its end queued");
        linksim::ResetMachine();
        SetFaults(checking ? "delay=300\nmessage=log\n" : "message=log\n");
        ClearRecordedMessageBoxes();
        if (!checking)
            Fill(1, 100);
        SendList(List({Design("a.vbd")}), [&](Ui &u) {
            HWND send = PressStart(u, true);
            if (checking) {
                u.WaitDialog("Check Files");
                PostMessageA(send, WM_CLOSE, 0, 0);
                return u.WaitGone(send);
            }
            MessageBoxInfo full = u.WaitMessageBox("Attention");
            PostMessageA(send, WM_CLOSE, 0, 0);  // ahead of the WM_SEND_FINISHED that the answer lets follow
            u.Answer(full, IDOK);
            u.WaitGone(send);
        }, 2);
        Names ops = SimOps();
        EXPECT_EQ(std::count(ops.begin(), ops.end(), "USB_Terminate"), 3) << "Check Files, the close, the export";
        EXPECT_TRUE(CallsOf("USB_Download_Sequence").empty());
        EXPECT_EQ(Dll().GetTransferStatus(), 0u);
    }
}

// While sending: buttons hidden, locations disabled, text and clip centred, counter and bar following; a
// device change retitles the dialog beside the sequence. Closing only sets the cancel event; the dialog ends
// when the worker reports, and USB is terminated after it.
TEST_F(Send, ClosingWhileSendingCancelsAndWaitsForTheWorker)
{
    UseUsb(Usb::Present);
    SetFaults("delay=250\n");
    SendList(List({Design("a.vbd"), Design("b.vbd"), Design("c.vbd")}), [&](Ui &u) {
        HWND dlg = PressStart(u, true);
        u.WaitUntil([&] { return ControlText(dlg, IDC_SEND_COUNTER) == "2  /  3" &&
                                 SendDlgItemMessageA(dlg, IDC_SEND_PROGRESS, PBM_GETPOS, 0, 0) == 50; },
                    "the second design half sent");
        EXPECT_EQ(ControlText(dlg, IDC_SEND_STATUS), "Just a moment, please.");
        SendMessageTimeoutA(dlg, WM_DEVICECHANGE, 0x0007, 0, SMTO_NORMAL, 10000, NULL);  // the cable, mid-send
        EXPECT_EQ(WindowText(dlg), SEND_USB);
        for (int id : {IDOK, IDCANCEL})
            EXPECT_FALSE(IsControlVisible(dlg, id)) << id;
        for (int id : {IDC_SEND_BUILTIN, IDC_SEND_ATA_CARD, IDC_SEND_OPEN_SAVE})
            EXPECT_FALSE(IsControlEnabled(dlg, id)) << id;
        MarkerWatch marker(true);
        u.WaitUntil([&] { return marker.Stepped(GetDlgItem(dlg, IDC_SEND_ANIMATION)); }, "the sending clip to play");
        RECT client, r;
        GetClientRect(dlg, &client);
        for (int id : {IDC_SEND_STATUS, IDC_SEND_ANIMATION}) {
            GetWindowRect(GetDlgItem(dlg, id), &r);
            MapWindowPoints(NULL, dlg, (POINT *)&r, 2);
            EXPECT_EQ(r.left, (client.right - (r.right - r.left)) / 2) << id;
        }
        u.Close(dlg);
        MessageBoxInfo box = u.WaitMessageBox("Sending");  // the worker, telling of the cancel
        EXPECT_TRUE(IsWindowVisible(dlg) && box.owner == dlg) << "told over the dialog";
        u.Answer(box, IDOK);
        u.WaitGone(dlg);
    });
    for (const SimCall &c : ReadSimCalls())
        EXPECT_EQ(std::count(c.events.begin(), c.events.end(), std::string("overlapped")), 0) << c.op;
    std::vector<SimCall> downloads = CallsOf("USB_Download_Sequence");
    ASSERT_EQ(downloads.size(), 1u);
    EXPECT_EQ(downloads[0].result, 3);
    EXPECT_LT(StoredNames(1).size(), 3u);
    Names ops = SimOps();
    EXPECT_EQ(Names(ops.end() - std::min<size_t>(4, ops.size()), ops.end()),
              (Names{"USB_Download_Sequence", "USB_Terminate", "USB_DisplayMessageByReturnCode", "USB_Terminate"}))
        << "the export's own USB_Terminate comes last";
    EXPECT_EQ(Dll().GetTransferStatus(), 0u);
}

// The send bar stands at done / total x 100, truncated: 29 of 100 (28.999...) shows 28, where the receive
// dialog's done x 100 / total would show 29.
TEST_F(Send, ProgressBarIsDoneOverTotalTimesHundred)
{
    SetFaults("message=log\ndelay.Protocol_Seq_Download=3000\nprogress=29/100\n");
    int position = -1;
    SendList(List({Design("a.vbd")}), [&](Ui &u) {
        HWND dlg = PressStart(u);
        HWND bar = GetDlgItem(dlg, IDC_SEND_PROGRESS);
        u.WaitUntil([&] { return (position = (int)SendMessageA(bar, PBM_GETPOS, 0, 0)) != 0; }, "the bar");
        u.Close(dlg);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(position, 28);
}

// List mode at opening, titled by the link's probe and again at a device change; only the probe before Start.
TEST_F(Send, DialogOpensInListModeTitledByTheLink)
{
    UseUsb(Usb::Present);
    SetFaults("usb=disconnected\n");
    SendList(List({Design("a.vbd")}), [&](Ui &u) {
        HWND dlg = u.WaitDialog("Send Designs - USB Disconnected");
        const struct {
            int id;
            bool visible, checked;
        } controls[] = {{IDC_SEND_NAME, false, false},
                        {IDC_SEND_BUILTIN, true, true},
                        {IDC_SEND_ATA_CARD, true, false},
                        {IDC_SEND_OPEN_SAVE, true, false}};
        for (const auto &c : controls) {
            EXPECT_EQ(IsControlVisible(dlg, c.id), c.visible) << c.id;
            EXPECT_EQ(IsChecked(dlg, c.id), c.checked) << c.id;
        }
        EXPECT_EQ(ControlText(dlg, IDC_SEND_STATUS), READY);
        EXPECT_EQ(SendDlgItemMessageA(dlg, IDC_SEND_PROGRESS, PBM_GETRANGE, FALSE, 0), 100);
        SetFaults("");
        EXPECT_EQ(SendMessageA(dlg, WM_DEVICECHANGE, 0x8000, 0), TRUE);
        EXPECT_EQ(WindowText(dlg), "Send Designs - USB Connected");
        u.Close(dlg);
        u.WaitGone(dlg);
    }, 2);  // closed before Start
    for (const std::string &op : SimOps())
        EXPECT_TRUE(op.rfind("USB_", 0) == 0) << op;
}

// Loaded from a sub-folder, the module still keeps its temporary files beside the host's executable.
TEST_F(Send, TemporaryFilesLieBesideTheHostEvenWhenTheModuleLiesElsewhere)
{
    std::string sub = ExeDir() + "elsewhere\\";
    CreateDirectoryA(sub.c_str(), NULL);
    for (const char *name : {"VembDlg.dll", "VembSio.dll"})
        ASSERT_TRUE(CopyFileA((ExeDir() + name).c_str(), (sub + name).c_str(), FALSE)) << name;
    HMODULE module = LoadLibraryA((sub + "VembDlg.dll").c_str());
    char loaded[MAX_PATH] = "";
    GetModuleFileNameA(module, loaded, MAX_PATH);
    EXPECT_EQ(std::string(loaded), sub + "VembDlg.dll") << "the copy, not the one beside the program";
    auto directFiles = (int(WINAPI *)(HWND, const char *, int))GetProcAddress(module, "DirectFilesDownload");
    std::string list = List({Design("a.vbd")});
    UiScript ui(Start());
    EXPECT_EQ(directFiles(Owner(), list.c_str(), 0), 1);
    ui.Join();
    FreeLibrary(module);
    EXPECT_EQ(CallsOf("Protocol_Seq_DirUpload").at(0).Arg("path"), ExeDir() + "$$UPLDir.tmp");
    EXPECT_EQ(StoredNames(1), Names{"a.vbd"});
    EXPECT_TRUE(NoDirectoryFileLeft());
    for (const char *name : {"VembDlg.dll", "VembSio.dll"})
        DeleteFileA((sub + name).c_str());
    RemoveDirectoryA(sub.c_str());
}

// The host's bytes are stored unchanged under the host's name, unchecked, or without one under the clock's.
TEST_F(Send, DirectSendStoresTheHostsBytesUnderItsOrTheClocksName)
{
    std::vector<char> design = DesignBytes(1200, 7);
    const struct {
        bool usb;
        const char *name;
    } cases[] = {{true, "a:b<c"}, {false, NULL}, {false, ""}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name ? c.name : "no name");
        UseUsb(c.usb ? Usb::Present : Usb::Absent);
        linksim::ResetMachine();
        bool nameButton = false;
        uint64_t before = Now();
        SendDirect(design, c.name, [&](Ui &u) {
            HWND dlg = u.WaitDialog(c.usb ? SEND_USB : SEND_COM);
            nameButton = IsControlVisible(dlg, IDC_SEND_NAME) && IsControlEnabled(dlg, IDC_SEND_NAME);
            Start(c.usb)(u);
        });
        EXPECT_TRUE(nameButton);
        std::vector<SimCall> sent = CallsOf(c.usb ? "USB_DirectDownload_Sequence" : "Protocol_Seq_Download_Direct");
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].Arg("size") + " " + sent[0].Arg("location") + " " + sent[0].Arg("progress"),
                  std::to_string(design.size()) + " 1 yes");
        std::string name = SentName();
        EXPECT_EQ(StoredBytes(1, name), design);
        EXPECT_TRUE(c.name && *c.name ? name == c.name : ClockName(name, before)) << name;
        EXPECT_EQ(DirectoryUploads().size(), 1u) << "Check Files";
        EXPECT_TRUE(NoDirectoryFileLeft());
    }
    EXPECT_TRUE(RecordedMessageBoxes().empty());
}

// A name dialog that cannot be created is told and the send stays ready; a name of 36 characters goes to
// the Open/Save folder.
TEST_F(Send, NameDialogThatCannotBeCreatedLeavesTheSendReady)
{
    std::string fits = std::string(32, 'n') + ".vbd";
    DialogRefusal refusal("Vbd Name");
    SendDirect(DesignBytes(300, 3), fits.c_str(), [&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        u.Click(dlg, IDC_SEND_NAME);
        MessageBoxInfo box = u.WaitMessageBox("Enter Filename");
        EXPECT_EQ(box.text, "Failed to create Window.");
        u.Answer(box, IDOK);
        Settle(dlg);
        EXPECT_TRUE(IsControlVisible(dlg, IDOK)) << "ready";
        u.Click(dlg, IDC_SEND_ATA_CARD);
        u.Click(dlg, IDC_SEND_OPEN_SAVE);
        Start()(u);
    });
    EXPECT_EQ(DialogRefusal::Refused(), 1);
    EXPECT_EQ(StoredNames(6), Names{fits});
}

// The memory chosen is kept for the next send of the module; the Open/Save folder tick is not.
TEST_F(Send, NextSendStartsFromTheMemoryChosen)
{
    SendDirect(DesignBytes(300, 3), "a.vbd", [&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        u.Click(dlg, IDC_SEND_ATA_CARD);
        u.Click(dlg, IDC_SEND_OPEN_SAVE);
        Start()(u);
    });
    SendDirect(DesignBytes(300, 4), "b.vbd", [&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        EXPECT_TRUE(IsChecked(dlg, IDC_SEND_ATA_CARD));
        EXPECT_FALSE(IsChecked(dlg, IDC_SEND_OPEN_SAVE));
        Start()(u);
    });
    EXPECT_EQ(StoredNames(6), Names{"a.vbd"});
    EXPECT_EQ(StoredNames(2), Names{"b.vbd"});
}

// The Vbd Name dialog opens over Send Designs with the name in force: Cancel keeps it, a typed name becomes
// its base with ".vbd", forbidden characters are refused in the dialog, and an empty box gives the clock's.
TEST_F(Send, NameDialogSetsTheNameToStoreUnder)
{
    uint64_t before = Now();
    SendDirect(DesignBytes(300, 3), "first.vbd", [&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        const struct {
            const char *typed, *shown;
            int button;
            bool refused;
        } steps[] = {{"other", "first.vbd", IDCANCEL, false},
                     {"my.design.pes", "first.vbd", IDOK, false},
                     {"a:b", "my.vbd", IDOK, true},
                     {"", "my.vbd", IDOK, false}};
        for (const auto &step : steps) {
            SCOPED_TRACE(step.typed);
            u.Click(dlg, IDC_SEND_NAME);
            HWND name = u.WaitDialog("Vbd Name");
            EXPECT_EQ(ControlText(name, IDC_DESIGN_NAME_EDIT), step.shown);
            EXPECT_EQ(GetWindow(name, GW_OWNER), dlg);
            u.SetText(name, IDC_DESIGN_NAME_EDIT, step.typed);
            u.Click(name, step.button);
            if (step.refused) {
                MessageBoxInfo box = u.WaitMessageBox("Rename");
                EXPECT_EQ(box.owner, name);
                EXPECT_TRUE(IsWindow(name)) << "the name dialog stays";
                u.Answer(box, IDOK);
                u.Close(name);
            }
            u.WaitGone(name);
        }
        Start()(u);
    });
    EXPECT_TRUE(ClockName(SentName(), before)) << SentName();
    EXPECT_EQ(StoredNames(1), Names{SentName()});
    EXPECT_EQ(ModuleMessages(),
              (std::vector<Shown>{{"Rename",
                                   "A filename cannot contain any of the following characters:\n \\ / : * ? \" < > |",
                                   MB_ICONHAND}}));
}

// Bound for the Open/Save folder, a name longer than 36 characters is refused at Start and again when the box
// is ticked: each time the box is cleared and the dialog stays ready, nothing started.
TEST_F(Send, OpenSaveFolderRefusesALongName)
{
    const std::string longName = std::string(36, 'L') + ".vbd";
    SendDirect(DesignBytes(300, 3), "first.vbd", [&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        u.Click(dlg, IDC_SEND_OPEN_SAVE);  // "first.vbd" fits
        u.Click(dlg, IDC_SEND_NAME);
        HWND name = u.WaitDialog("Vbd Name");
        u.SetText(name, IDC_DESIGN_NAME_EDIT, std::string(36, 'L') + ".pes");
        u.Click(name, IDOK);
        u.WaitGone(name);
        for (int id : {IDOK, IDC_SEND_OPEN_SAVE}) {  // Start, then ticking the box again
            SCOPED_TRACE(id == IDOK ? "Start" : "the tick");
            u.Click(dlg, id);
            MessageBoxInfo box = u.WaitMessageBox("File Name Error");
            EXPECT_EQ(box.text, LongNameRefused(longName).text);
            EXPECT_EQ(Dll().GetTransferStatus(), 0u);
            u.Answer(box, IDOK);
            u.WaitUntil([&] { return !IsChecked(dlg, IDC_SEND_OPEN_SAVE); }, "the box to be cleared");
            EXPECT_TRUE(IsControlVisible(dlg, IDOK));
            EXPECT_EQ(ControlText(dlg, IDC_SEND_STATUS), READY);
        }
        Start()(u);
    });
    EXPECT_EQ(StoredNames(1), Names{longName});
}

}  // namespace
