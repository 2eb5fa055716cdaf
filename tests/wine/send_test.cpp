// Sends through DirectFilesDownload and DirectDownload: the Send Designs dialog, the Check
// Files step, the cut to the room left below 100 designs, the name and stitch checks, the
// serial and USB workers, the Vbd Name dialog, what reached the machine, and every failure
// on the way.
#include <windows.h>
#include <commctrl.h>

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
const char FULL_MESSAGE[] = "100 designs are already registered.\nNo design can be registered.";
const char READY[] = "Ready to send designs.\nClick [Start] button.";

Shown TooLarge(const std::string &name, int limit)
{
    return {"Attention",
            "The design is too large and cannot be sent in this menu.\nThe pattern (" + name + ") exceeds the " +
                std::to_string(limit) + " stitch limit.",
            MB_ICONEXCLAMATION};
}

Shown SuchAs(const std::string &name)
{
    return {"File Name Error",
            "The Open/Save Folder does not support the long file names such as \"" + name +
                "\".\nPlease shorten the file name to 32 characters or less.",
            MB_ICONHAND};
}

// Presses Start in the Send Designs dialog with this caption.
HWND PressStart(Ui &u, const char *caption = SEND_COM)
{
    HWND dlg = u.WaitDialog(caption);
    u.Click(dlg, IDOK);
    return dlg;
}

// Start, and every message answered until the dialog has gone.
Script Start(const char *caption = SEND_COM)
{
    return [caption](Ui &u) { AnswerUntilGone(u, PressStart(u, caption)); };
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
    // Stores `count` small designs at a location.
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
    // DirectFilesDownload over a send list, or DirectDownload of bytes under a name, with
    // `script` driving the dialogs; checks the export's result.
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
    // Lets the module, the link libraries and the window classes make what they keep for the
    // life of the process, so that counts taken afterwards see only what a send leaves
    // behind: one whole send, and one that ends with a message.
    void WarmUp()
    {
        SendList(List({Design("warm.vbd")}, "warm.lst"), Start());
        SendList(In("none.lst"), Start());
        linksim::ResetMachine();
        ClearRecordedMessageBoxes();
    }
    static bool NoDirectoryFileLeft() { return !FileExists(TempFile("$$UPLDir.tmp")); }
};

// Five designs while the location holds 97: the fourth entry is emptied, three designs are
// stored byte for byte, the library still gets the count 5, and the cut is reported at the
// end. The USB library's -13 for the cut list counts as success. The serial line always
// opens at 9600 bit/s on the stored port; the sequences get the stored speed. The host's
// list (records not padded after their terminator, 10 bytes of no record behind) stays.
TEST_F(Send, ListIsCutToTheRoomLeft)
{
    WarmUp();
    SetRegDword(Key::Tambora, VALUE_BAUD_RATE, 5);
    SetRegDword(Key::Tambora, VALUE_COM_PORT, 3);
    for (bool usb : {false, true}) {
        SCOPED_TRACE(usb ? "USB" : "serial");
        UseUsb(usb ? Usb::Present : Usb::Absent);
        linksim::ResetMachine();
        SetFaults("port=COM3\n");
        ClearRecordedMessageBoxes();
        Fill(1, 97);
        Names paths;
        std::string file;
        for (const char *n : {"a.vbd", "b.vbd", "c.vbd", "d.vbd", "e.vbd"}) {
            paths.push_back(Design(n));
            file += paths.back() + '\0' + std::string(259 - paths.back().size(), 'X');
        }
        WriteFileText(In("odd.lst"), file + "ZZZZZZZZZZ");
        DWORD heaps = HeapCount();
        int handles = HandleCount();
        SendList(In("odd.lst"), Start(usb ? SEND_USB : SEND_COM));
        EXPECT_EQ(
            ModuleMessages(),
            (std::vector<Shown>{
                {"Attention", "100 designs have been registered.\nNo more design can be registered.", MB_ICONHAND}}));
        std::vector<SimCall> sent = CallsOf(usb ? "USB_Download_Sequence" : "Protocol_Seq_Download");
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].Arg("count") + " " + sent[0].Arg("progress") + " " + std::to_string(sent[0].result),
                  usb ? "5 yes -13" : "5 yes 0");
        ASSERT_EQ(sent[0].entries.size(), 5u);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(sent[0].entries[i].name + " " + std::to_string(sent[0].entries[i].location),
                      (i == 3 ? "" : paths[i]) + " 1");
        if (!usb) {
            EXPECT_EQ(sent[0].Arg("speed") + " " + CallsOf("Protocol_Seq_DirUpload").at(0).Arg("speed"), "57600 57600");
            std::vector<SimCall> opens = CallsOf("SIO_InitializeIO");
            ASSERT_EQ(opens.size(), 2u) << "Check Files, then the send";
            for (const SimCall &c : opens)
                EXPECT_EQ(c.Arg("port") + " " + c.Arg("speed") + " " + c.Arg("cancel"), "COM3 9600 yes");
            // Each load of the simulator's USB library keeps two handles of its own.
            EXPECT_EQ(HandleCount(), handles) << "a handle was left open";
        }
        Names stored = StoredNames(1);
        ASSERT_EQ(stored.size(), 100u);
        EXPECT_EQ(Names(stored.begin() + 97, stored.end()), (Names{"a.vbd", "b.vbd", "c.vbd"}));
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(StoredBytes(1, "abc"[i] + std::string(".vbd")), ReadFileBytes(paths[i]));
        EXPECT_TRUE(NoDirectoryFileLeft());
        EXPECT_TRUE(FileExists(In("odd.lst"))) << "the host's list stays";
        EXPECT_EQ(HeapCount(), heaps) << "the send heap is gone";
    }
}

// The count comes from the directory information of the chosen location: 99 designs at the
// ATA PC card leave room for one, 100 are refused with no worker, for a list and a direct
// send alike; the transfer status is 0 before Start, 1 from Start to the end, 0 after.
TEST_F(Send, StoredCountOfTheChosenLocationLimitsTheSend)
{
    Fill(1, 100);
    Fill(2, 99);
    Names paths = {Design("x.vbd"), Design("y.vbd")};
    SendList(List(paths), [](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        u.Click(dlg, IDC_SEND_ATA_CARD);
        u.Click(dlg, IDOK);
        AnswerUntilGone(u, dlg);
    });
    EXPECT_EQ(CallsOf("Protocol_Seq_DirUpload").at(0).Arg("location"), "2");
    EXPECT_EQ(CallsOf("Protocol_Seq_Download").at(0).entries.at(1).name, "");
    EXPECT_EQ(StoredNames(2).size(), 100u);
    EXPECT_EQ(StoredNames(2).back(), "x.vbd");
    for (bool direct : {false, true}) {
        SCOPED_TRACE(direct ? "direct" : "list");
        linksim::ResetMachine();
        ClearRecordedMessageBoxes();
        Fill(2, 100);  // the ATA PC card stays chosen
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
            SendList(List(paths), full);
        EXPECT_EQ(status + std::to_string(Dll().GetTransferStatus()), "01 over the dialog0");
        EXPECT_EQ(SimOps(), (Names{"SIO_InitializeIO", "Protocol_Seq_DirUpload", "SIO_TerminateIO"}));
        EXPECT_EQ(ModuleMessages(), (std::vector<Shown>{{"Attention", FULL_MESSAGE, MB_ICONHAND}}));
        EXPECT_TRUE(NoDirectoryFileLeft());
    }
}

// With the Open/Save folder chosen, a name of 37 characters is skipped (36 pass) and the skip
// is told once the send has succeeded; when every name is skipped nothing is sent.
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
    EXPECT_EQ(CallsOf("Protocol_Seq_DirUpload").at(0).Arg("location"), "5");
    EXPECT_EQ(StoredNames(5), (Names{fits, "short.vbd"}));
    EXPECT_EQ(ModuleMessages(), (std::vector<Shown>{{"File Name Error",
                                                     "The Open/Save Folder does not support the long file names of "
                                                     "more than 32 characters.Some files failed to transfer.",
                                                     MB_ICONEXCLAMATION}}));
    linksim::ResetMachine();
    ClearRecordedMessageBoxes();
    bool kept = false;
    SendList(List({Design(tooLong), Design(std::string(40, 'h') + ".pes")}), [&](Ui &u) {
        kept = IsChecked(u.WaitDialog(SEND_COM), IDC_SEND_OPEN_SAVE);
        Start()(u);
    });
    EXPECT_TRUE(kept) << "the send location is kept between exports";
    EXPECT_TRUE(SimOps().empty()) << "no Check Files step, no worker";
    EXPECT_EQ(ModuleMessages(),
              (std::vector<Shown>{{"Warning", "Failed to send the selected VBD files.", MB_ICONHAND}}));
}

// The stitch limit follows the recorded machine version; refused designs are skipped with a
// message naming 32000 or 64000, the others are sent.
TEST_F(Send, StitchLimitFollowsTheMachineVersion)
{
    const int32_t counts[] = {32700, 32701, 40000, 65535, 65536, -5};
    Names paths;
    for (int32_t c : counts)
        paths.push_back(Design("s" + std::to_string(c) + ".vbd", c));
    std::string list = List(paths);
    const struct {
        int version;  // 0: none stored
        int32_t firstRefused;
        int shown;
    } cases[] = {{0, 32701, 32000}, {1, 32701, 32000}, {2, 65536, 64000}};
    for (const auto &c : cases) {
        SCOPED_TRACE("version " + std::to_string(c.version));
        DeleteSettingsKeys();
        if (c.version)
            SetRegDword(Key::Tambora, VALUE_MACHINE_VERSION, c.version);
        linksim::ResetMachine();
        ClearRecordedMessageBoxes();
        SendList(list, Start());
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
    }
}

// askVersion 1: the version question comes once, at the first design above 32700 stitches,
// and its answer is in force for that design's limit already. When the question cannot be
// asked, the limit of the version stored (none: 32000) applies.
TEST_F(Send, AskVersionAsksOnceAtTheFirstLargeDesign)
{
    int questions = 0;
    Names designs = {Design("small.vbd", 500), Design("big1.vbd", 40000), Design("big2.vbd", 40000)};
    SendList(
        List(designs),
        [&](Ui &u) {
            HWND dlg = PressStart(u);
            HWND version = u.WaitDialog("Select Machine's Version");
            ++questions;
            u.Click(version, IDC_VERSION_22);
            u.Click(version, IDOK);
            u.WaitGone(version);
            u.WaitGone(dlg);
        },
        1, 1);
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(StoredNames(1), (Names{"small.vbd", "big1.vbd", "big2.vbd"}));
    EXPECT_EQ(RegDwordBoth(VALUE_MACHINE_VERSION), std::make_pair(DWORD(2), DWORD(2)));

    DeleteSettingsKeys();
    linksim::ResetMachine();
    DialogRefusal refusal("Confirm Machine's Version");
    SendList(List({designs[0], designs[1]}), Start(), 1, 1);
    EXPECT_EQ(DialogRefusal::Refused(), 1);
    EXPECT_EQ(ModuleMessages(), std::vector<Shown>{TooLarge("big1.vbd", 32000)});
    EXPECT_EQ(StoredNames(1), Names{"small.vbd"});
}

// Failures of the send list, of a design's file, of memory, of the cancel event and of the
// worker end the send with a "Sending" message: all but the worker before the machine is
// asked anything, the worker after the Check Files step. Nothing is left behind.
TEST_F(Send, FailuresBeforeTheTransferEndTheSendWithAMessage)
{
    WriteFileBytes(In("empty.lst"), "", 0);
    const Names checkFiles = {"SIO_InitializeIO", "Protocol_Seq_DirUpload", "SIO_TerminateIO"};
    const std::string one = List({Design("a.vbd")});
    const struct {
        const char *what;
        std::string list;  // empty: a direct send
        CallFault *fault;
        int pass;
        const char *watched, *message;
        Names ops;
    } cases[] = {
        {"missing list", In("none.lst"), nullptr, 0, "", "File Open Error.", {}},
        {"empty list", In("empty.lst"), nullptr, 0, "", "File Open Error.", {}},
        {"unreadable list", one, &g_fileRead, 0, "host.lst", "File Read Error.", {}},
        {"missing design", List({Design("b.vbd"), In("gone.vbd")}, "gone.lst"), nullptr, 0, "", "File Read Error.", {}},
        {"design is a folder", List({WorkDir()}, "folder.lst"), nullptr, 0, "", "File Read Error.", {}},
        {"unreadable design", one, &g_fileRead, 0, "a.vbd", "File Read Error.", {}},
        {"no send heap", one, &g_heapCreate, 0, "", "Not Enough Memory.", {}},
        {"no memory in it", one, &g_heapAlloc, 0, "", "Not Enough Memory.", {}},
        {"list: no event", one, &g_event, 0, "", "Failed to create event object.", {}},
        {"direct: no event", "", &g_event, 0, "", "Failed to create event object.", {}},
        {"list: no worker", one, &g_thread, 1, "", "Failed to create thread.", checkFiles},
        {"direct: no worker", "", &g_thread, 1, "", "Failed to create thread.", checkFiles},
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
            c.fault->Arm(c.pass);
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

// Every link failure of a send is explained by the link library alone, under the step's
// caption: the line that does not open (detail 0) and the sequence that fails (its detail),
// also after a cut (whose message is then not shown); USB's -13 without a cut is such a
// failure. The transfer status is 0 afterwards, the USB library unloaded, no handle left.
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
            SendDirect(DesignBytes(300, 5), "d.vbd", Start(c.usb ? SEND_USB : SEND_COM));
        else
            SendList(list, Start(c.usb ? SEND_USB : SEND_COM));
        EXPECT_EQ(c.fault ? c.fault->failed : 1, 1);
        EXPECT_EQ(LinkMessages(), Names{c.told});
        EXPECT_EQ(StoredNames(1).size(), (size_t)c.stored);
        EXPECT_EQ(GetModuleHandleA("VEMBUSB.DLL"), (HMODULE)NULL);
        EXPECT_EQ(Dll().GetTransferStatus(), 0u);
        EXPECT_TRUE(c.usb || HandleCount() == handles) << "a handle was left open";
    }
    EXPECT_TRUE(ModuleMessages().empty());
}

// The Check Files step: its link failures and its close box end the send with the library's
// message alone; without its event the send ends after its message; without its dialog it
// goes on as if the location were empty. What its upload left: no file ends the send without
// a message; an empty file, one too short for its count, or one whose size or count cannot
// be read counts as an empty location; one that a failed upload left is read like any
// other. The file goes, and so does every cancel event.
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
         false, {{"Attention", FULL_MESSAGE, MB_ICONHAND}}, {"Design List 14/3"}},
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
            HWND send = PressStart(u, c.usb ? SEND_USB : SEND_COM);
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
        EXPECT_EQ(CallsOf({"Protocol_Seq_Download", "USB_Download_Sequence"}).size(), c.sent ? 1u : 0u);
        EXPECT_EQ(StoredNames(1).size(), c.refuseDialog ? 100u : c.sent ? 1u : 0u);
        EXPECT_TRUE(NoDirectoryFileLeft());
        EXPECT_EQ(Dll().GetTransferStatus(), 0u);
        // (The refusing hook costs Wine a handle.)
        EXPECT_TRUE(c.usb || c.refuseDialog || HandleCount() == handles) << "a cancel event was left open";
    }
}

// While the send runs: buttons hidden, locations disabled, status text and animation
// centred, the sending clip playing, the counter and bar following the sequence's progress.
// Closing the dialog then only sets the cancel event: the dialog ends when the worker
// reports (the library's message over the dialog), and the export waits for the worker
// before it lets the USB library go.
TEST_F(Send, ClosingWhileSendingCancelsAndWaitsForTheWorker)
{
    UseUsb(Usb::Present);
    SetFaults("delay=250\n");
    Names seen;
    SendList(List({Design("a.vbd"), Design("b.vbd"), Design("c.vbd")}), [&](Ui &u) {
        HWND dlg = PressStart(u, SEND_USB);
        u.WaitUntil([&] { return ControlText(dlg, IDC_SEND_COUNTER) == "2  /  3" &&
                                 SendDlgItemMessageA(dlg, IDC_SEND_PROGRESS, PBM_GETPOS, 0, 0) == 50; },
                    "the second design half sent");
        seen.push_back(std::to_string(SendDlgItemMessageA(dlg, IDC_SEND_PROGRESS, PBM_GETPOS, 0, 0)) + "% " +
                       ControlText(dlg, IDC_SEND_STATUS));
        for (int id : {IDOK, IDCANCEL, IDC_SEND_BUILTIN, IDC_SEND_ATA_CARD, IDC_SEND_OPEN_SAVE})
            if (id == IDOK || id == IDCANCEL ? IsControlVisible(dlg, id) : IsControlEnabled(dlg, id))
                seen.push_back("usable " + std::to_string(id));
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
        if (IsWindowVisible(dlg) && box.owner == dlg)
            seen.push_back("told over the dialog");
        u.Answer(box, IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(seen, (Names{"50% Just a moment, please.", "told over the dialog"}));
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

// List mode at opening, and the title following the link: from the probe at opening, and
// from every device change (without the library UsbEventProc answers 1: connected).
TEST_F(Send, DialogOpensInListModeTitledByTheLink)
{
    std::string list = List({Design("a.vbd")});
    const struct {
        Usb usb;
        const char *faults, *title, *afterChange;
    } cases[] = {
        {Usb::Absent, "", SEND_COM, SEND_USB},
        {Usb::Present, "", SEND_USB, SEND_USB},
        {Usb::Present, "usb=disconnected\n", "Send Designs - USB Disconnected", "Send Designs - USB Disconnected"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.title);
        UseUsb(c.usb);
        SetFaults(c.faults);
        SendList(
            list,
            [&](Ui &u) {
                HWND dlg = u.WaitDialog(c.title);
                EXPECT_FALSE(IsControlVisible(dlg, IDC_SEND_NAME)) << "list mode";
                EXPECT_TRUE(IsChecked(dlg, IDC_SEND_BUILTIN));
                EXPECT_FALSE(IsChecked(dlg, IDC_SEND_ATA_CARD) || IsChecked(dlg, IDC_SEND_OPEN_SAVE));
                EXPECT_EQ(ControlText(dlg, IDC_SEND_STATUS), READY);
                EXPECT_EQ(SendDlgItemMessageA(dlg, IDC_SEND_PROGRESS, PBM_GETRANGE, FALSE, 0), 100);
                EXPECT_EQ(SendMessageA(dlg, WM_DEVICECHANGE, 0x8000, 0), TRUE);
                EXPECT_EQ(WindowText(dlg), c.afterChange);
                u.Close(dlg);
                u.WaitGone(dlg);
            },
            2);  // closed before Start
    }
    for (const std::string &op : SimOps())
        EXPECT_TRUE(op.rfind("USB_", 0) == 0) << op << ": only the USB probe before Start";
}

// Loaded from a sub-folder, the module still keeps its temporary files beside the host's
// executable.
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

// The host's bytes are stored under the host's name, unchanged and unchecked.
TEST_F(Send, DirectSendStoresTheHostsBytesUnderItsName)
{
    std::vector<char> design = DesignBytes(1200, 7);
    for (bool usb : {false, true}) {
        SCOPED_TRACE(usb ? "USB" : "serial");
        const char *name = usb ? "a:b<c" : "Flower.vbd";
        UseUsb(usb ? Usb::Present : Usb::Absent);
        linksim::ResetMachine();
        bool nameButton = false;
        SendDirect(design, name, [&](Ui &u) {
            HWND dlg = u.WaitDialog(usb ? SEND_USB : SEND_COM);
            nameButton = IsControlVisible(dlg, IDC_SEND_NAME) && IsControlEnabled(dlg, IDC_SEND_NAME);
            Start(usb ? SEND_USB : SEND_COM)(u);
        });
        EXPECT_TRUE(nameButton);
        std::vector<SimCall> sent = CallsOf(usb ? "USB_DirectDownload_Sequence" : "Protocol_Seq_Download_Direct");
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].Arg("size") + " " + sent[0].Arg("location") + " " + sent[0].Arg("progress"),
                  std::to_string(design.size()) + " 1 yes");
        EXPECT_EQ(StoredBytes(1, name), design);
        EXPECT_EQ(DirectoryUploads().size(), 1u) << "Check Files";
        EXPECT_TRUE(NoDirectoryFileLeft());
    }
    EXPECT_TRUE(RecordedMessageBoxes().empty());
}

// Without a host name, and with an empty name typed into the Vbd Name dialog, the local time
// names the design: base-36 digits of its count of 100 ns since 1601, and ".vbd".
TEST_F(Send, DirectSendWithoutANameTakesTheClocksName)
{
    auto now = [] {
        SYSTEMTIME local;
        GetLocalTime(&local);
        FILETIME count;
        SystemTimeToFileTime(&local, &count);
        return ((uint64_t)count.dwHighDateTime << 32) | count.dwLowDateTime;
    };
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        linksim::ResetMachine();
        uint64_t before = now(), count = 0;
        SendDirect(DesignBytes(300, 3),
                   way == 0   ? NULL
                   : way == 1 ? ""
                              : "Flower.vbd",
                   [&](Ui &u) {
                       HWND dlg = u.WaitDialog(SEND_COM);
                       if (way == 2) {
                           u.Click(dlg, IDC_SEND_NAME);
                           HWND name = u.WaitDialog("Vbd Name");
                           u.SetText(name, IDC_DESIGN_NAME_EDIT, "");
                           u.Click(name, IDOK);
                           u.WaitGone(name);
                       }
                       Start()(u);
                   });
        std::string name = SentName();
        bool digits = name.size() > 4 && name.size() <= 16 && name.substr(name.size() - 4) == ".vbd";
        for (size_t i = 0; digits && i < name.size() - 4; ++i) {
            digits = isdigit((unsigned char)name[i]) || isupper((unsigned char)name[i]);
            count = count * 36 + (isdigit((unsigned char)name[i]) ? name[i] - '0' : name[i] - 'A' + 10);
        }
        EXPECT_TRUE(digits && count >= before && count <= now()) << name;
    }
}

// Into the Open/Save folder a name of 36 characters goes; a longer one is refused when the
// box is ticked and again at Start, which clears the box and leaves the dialog ready.
TEST_F(Send, DirectSendOpenSaveFolderRefusesALongName)
{
    std::vector<char> design = DesignBytes(300, 3);
    std::string fits = std::string(32, 'n') + ".vbd", longName = std::string(36, 'L') + ".vbd";
    SendDirect(design, fits.c_str(), [](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        u.Click(dlg, IDC_SEND_ATA_CARD);
        u.Click(dlg, IDC_SEND_OPEN_SAVE);
        Start()(u);
    });
    EXPECT_EQ(StoredNames(6), Names{fits});
    linksim::ResetMachine();
    Names seen;
    SendDirect(design, "short.vbd", [&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        // The send location is kept between exports; a direct send never starts in the folder.
        seen.push_back(IsChecked(dlg, IDC_SEND_ATA_CARD) && !IsChecked(dlg, IDC_SEND_OPEN_SAVE) ? "ATA" : "?");
        u.Click(dlg, IDC_SEND_BUILTIN);
        u.Click(dlg, IDC_SEND_OPEN_SAVE);  // "short.vbd" fits
        u.Click(dlg, IDC_SEND_NAME);
        HWND name = u.WaitDialog("Vbd Name");
        u.SetText(name, IDC_DESIGN_NAME_EDIT, std::string(36, 'L') + ".pes");
        u.Click(name, IDOK);
        u.WaitGone(name);
        for (int id : {IDOK, IDC_SEND_OPEN_SAVE}) {  // Start, then ticking the box again
            u.Click(dlg, id);
            MessageBoxInfo box = u.WaitMessageBox("File Name Error");
            seen.push_back("status " + std::to_string(Dll().GetTransferStatus()));
            u.Answer(box, IDOK);
            u.WaitUntil([&] { return !IsChecked(dlg, IDC_SEND_OPEN_SAVE); }, "the box to be cleared");
            seen.push_back(IsControlVisible(dlg, IDOK) && ControlText(dlg, IDC_SEND_STATUS) == READY ? "ready" : "?");
        }
        Start()(u);  // without the folder the long name goes to the built-in memory
    });
    EXPECT_EQ(seen, (Names{"ATA", "status 0", "ready", "status 0", "ready"}));
    EXPECT_EQ(ModuleMessages(), (std::vector<Shown>{SuchAs(longName), SuchAs(longName)}));
    EXPECT_EQ(StoredNames(1), Names{longName});
    EXPECT_TRUE(StoredNames(5).empty());
}

// The Vbd Name dialog shows the current name; typed names become a base name with ".vbd";
// Cancel, and forbidden characters (with the "Rename" message), keep the old name. A name
// dialog that cannot be created is told, and the send dialog stays ready.
TEST_F(Send, NameDialogMakesABaseNameWithVbd)
{
    Names shown;
    SendDirect(DesignBytes(300, 3), "first.vbd", [&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        for (const char *typed : {"other", "my.design.pes", ".hidden.pes", "...", "Rose", "a:b"}) {
            u.Click(dlg, IDC_SEND_NAME);
            HWND name = u.WaitDialog("Vbd Name");
            EXPECT_EQ(GetWindow(name, GW_OWNER), dlg);
            shown.push_back(ControlText(name, IDC_DESIGN_NAME_EDIT));
            u.SetText(name, IDC_DESIGN_NAME_EDIT, typed);
            u.Click(name, std::string(typed) == "other" ? IDCANCEL : IDOK);
            if (std::string(typed) == "a:b") {
                MessageBoxInfo box = u.WaitMessageBox("Rename");
                EXPECT_EQ(box.owner, name);
                u.Answer(box, IDOK);
                EXPECT_TRUE(IsWindow(name)) << "the dialog stays";
                u.Close(name);
            }
            u.WaitGone(name);
        }
        Start()(u);
    });
    EXPECT_EQ(shown, (Names{"first.vbd", "first.vbd", "my.vbd", "hidden.vbd", ".vbd", "Rose.vbd"}));
    EXPECT_EQ(SentName(), "Rose.vbd") << "the refused name changed nothing";
    EXPECT_EQ(ModuleMessages(),
              (std::vector<Shown>{{"Rename",
                                   "A filename cannot contain any of the following characters:\n \\ / : * ? \" < > |",
                                   MB_ICONHAND}}));

    linksim::ResetMachine();
    ClearRecordedMessageBoxes();
    DialogRefusal refusal("Vbd Name");
    bool ready = false;
    SendDirect(DesignBytes(300, 2), "n.vbd", [&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        u.Click(dlg, IDC_SEND_NAME);
        u.Answer(u.WaitMessageBox("Enter Filename"), IDOK);
        Settle(dlg);
        ready = IsControlVisible(dlg, IDOK);
        Start()(u);
    });
    EXPECT_TRUE(ready) << "the dialog stays ready";
    EXPECT_EQ(DialogRefusal::Refused(), 1);
    EXPECT_EQ(ModuleMessages(), (std::vector<Shown>{{"Enter Filename", "Failed to create Window.", MB_ICONHAND}}));
    EXPECT_EQ(StoredNames(1), Names{"n.vbd"});
}

}  // namespace
