// Sends through DirectFilesDownload and DirectDownload: the Send Designs dialog, the Check
// Files step, the cut to the room left below 100 designs, the name and stitch checks, the
// serial and USB workers, the Vbd Name dialog, and what reached the machine.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "check_files_res.h"
#include "design_name_res.h"
#include "link/settings.h"
#include "machine.h"
#include "machine_version_res.h"
#include "send_designs_res.h"
#include "vemb_helpers.h"

using namespace vt;
using Names = std::vector<std::string>;
using Script = std::function<void(Ui &)>;

namespace {

const char SEND_COM[] = "Send Designs - COM Port";
const char SEND_USB[] = "Send Designs - USB Connected";
const char VBD_NAME[] = "Vbd Name";
const char CUT_MESSAGE[] = "100 designs have been registered.\nNo more design can be registered.";
const char FULL_MESSAGE[] = "100 designs are already registered.\nNo design can be registered.";
const char READY[] = "Ready to send designs.\nClick [Start] button.";

std::string SuchAs(const std::string &name)
{
    return "The Open/Save Folder does not support the long file names such as \"" + name +
           "\".\nPlease shorten the file name to 32 characters or less.";
}

// Presses Start in the Send Designs dialog with this caption.
HWND PressStart(Ui &u, const char *caption = SEND_COM)
{
    HWND dlg = u.WaitDialog(caption);
    u.Click(dlg, IDOK);
    return dlg;
}

// A whole send: Start, and the dialog ends of itself.
void StartAndWait(Ui &u)
{
    u.WaitGone(PressStart(u));
}

int ProgressPosition(HWND dialog)
{
    return (int)SendDlgItemMessageA(dialog, IDC_SEND_PROGRESS, PBM_GETPOS, 0, 0);
}

// The local time as a count of 100 ns, and the count a default name stands for (base-36
// digits with ".vbd"; 0 when the name is no such thing).
uint64_t LocalTimeCount()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME count;
    SystemTimeToFileTime(&now, &count);
    return ((uint64_t)count.dwHighDateTime << 32) | count.dwLowDateTime;
}

uint64_t DefaultNameCount(const std::string &name)
{
    uint64_t count = 0;
    if (name.size() < 5 || name.size() > 17 || name.substr(name.size() - 4) != ".vbd" || name[0] == '0')
        return 0;
    for (char c : name.substr(0, name.size() - 4)) {
        if (!isdigit((unsigned char)c) && !isupper((unsigned char)c))
            return 0;
        count = count * 36 + (isdigit((unsigned char)c) ? c - '0' : c - 'A' + 10);
    }
    return count;
}

// The name the direct sequence was given.
std::string SentName()
{
    for (const SimCall &c : ReadSimCalls())
        if (c.op == "Protocol_Seq_Download_Direct" || c.op == "USB_DirectDownload_Sequence")
            return c.Arg("name");
    return "(not sent)";
}

class Send : public VembTest {
protected:
    std::string Design(const std::string &name, int32_t stitches = 1000)
    {
        return WriteDesign(WorkDir() + "\\" + name, stitches);
    }
    std::string List(const std::vector<std::string> &paths, const std::string &name = "host.lst")
    {
        return WriteSendList(WorkDir() + "\\" + name, paths);
    }
    // Stores `count` small designs at a location.
    static void Fill(int location, int count)
    {
        std::vector<char> bytes = DesignBytes(10, 0);
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(linksim::StoreDesign(location, "seed" + std::to_string(i) + ".vbd", bytes.data(),
                                           bytes.size()),
                      0);
    }
    static std::vector<char> StoredBytes(int location, const std::string &name)
    {
        for (const linksim::StoredDesign &d : linksim::ListDesigns(location))
            if (d.name == name)
                return ReadFileBytes(d.file);
        return {};
    }
    // DirectFilesDownload over a send list with `script` driving the dialogs.
    int SendList(const std::string &list, const Script &script, int askVersion = 0)
    {
        UiScript ui(script);
        int result = Dll().DirectFilesDownload(Owner(), list.c_str(), askVersion);
        ui.Join();
        return result;
    }
    // DirectDownload of the bytes under `name`.
    int SendDirect(const std::vector<char> &design, const char *name, const Script &script)
    {
        UiScript ui(script);
        int result = Dll().DirectDownload(Owner(), (DWORD)(UINT_PTR)design.data(), (DWORD)design.size(), name);
        ui.Join();
        return result;
    }
    // Lets the module, the link libraries and the window classes make what they keep for the
    // life of the process, so that counts taken afterwards see only what a send leaves
    // behind: one whole send, and one that ends with a message.
    void Settle()
    {
        SendList(List({Design("settle.vbd")}, "settle.lst"), StartAndWait);
        SendList(WorkDir() + "\\none.lst", [](Ui &u) {
            HWND dlg = PressStart(u);
            u.Answer(u.WaitMessageBox("Sending"), IDOK);
            u.WaitGone(dlg);
        });
        linksim::ResetMachine();
        ClearRecordedMessageBoxes();
    }
    static bool NoDirectoryFileLeft() { return !FileExists(TempFile("$$UPLDir.tmp")); }
};

// ---- list sends ----

// Five designs while the location holds 97: the fourth entry is emptied, three designs are
// stored byte for byte, the library still gets the count 5, and the cut is reported at the
// end. The USB library's -13 for the cut list counts as success. The serial line always
// opens at 9600 bit/s on the stored port; the sequences get the stored speed.
TEST_F(Send, ListIsCutToTheRoomLeft)
{
    Settle();
    SetRegDword(Key::Tambora, VALUE_BAUD_RATE, 5);
    SetRegDword(Key::Tambora, VALUE_COM_PORT, 3);
    for (bool usb : {false, true}) {
        SCOPED_TRACE(usb ? "USB" : "serial");
        UseUsb(usb ? Usb::Present : Usb::Absent);
        linksim::ResetMachine();
        SetFaults("port=COM3\n");
        ClearRecordedMessageBoxes();
        Fill(1, 97);
        std::vector<std::string> paths;
        for (const char *n : {"a.vbd", "b.vbd", "c.vbd", "d.vbd", "e.vbd"})
            paths.push_back(Design(n));
        std::string list = List(paths);
        DWORD heaps = HeapCount();
        int handles = HandleCount();
        int result = SendList(list, [&](Ui &u) {
            PressStart(u, usb ? SEND_USB : SEND_COM);
            MessageBoxInfo box = u.WaitMessageBox("Attention");
            EXPECT_EQ(box.text, CUT_MESSAGE);
            EXPECT_EQ(box.style, (UINT)MB_ICONHAND);
            u.Answer(box, IDOK);
        });
        EXPECT_EQ(result, 1);
        std::vector<SimCall> downloads = CallsOf(usb ? "USB_Download_Sequence" : "Protocol_Seq_Download");
        ASSERT_EQ(downloads.size(), 1u);
        EXPECT_EQ(downloads[0].Arg("count"), "5");
        ASSERT_EQ(downloads[0].entries.size(), 5u);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(downloads[0].entries[i].name, i == 3 ? "" : paths[i]) << i;
            EXPECT_EQ(downloads[0].entries[i].location, 1);
        }
        EXPECT_EQ(downloads[0].result, usb ? -13 : 0);
        EXPECT_EQ(downloads[0].Arg("progress"), "yes");
        if (!usb) {
            EXPECT_EQ(downloads[0].Arg("speed"), "57600");
            EXPECT_EQ(CallsOf("Protocol_Seq_DirUpload").at(0).Arg("speed"), "57600");
            std::vector<SimCall> opens = CallsOf("SIO_InitializeIO");
            ASSERT_EQ(opens.size(), 2u) << "Check Files, then the send";
            for (const SimCall &c : opens)
                EXPECT_EQ(c.Arg("port") + " " + c.Arg("speed") + " " + c.Arg("cancel"), "COM3 9600 yes");
        }
        Names stored = StoredNames(1);
        ASSERT_EQ(stored.size(), 100u);
        EXPECT_EQ(Names(stored.begin() + 97, stored.end()), (Names{"a.vbd", "b.vbd", "c.vbd"}));
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(StoredBytes(1, "abc"[i] + std::string(".vbd")), ReadFileBytes(paths[i]));
        EXPECT_EQ(RecordedMessageBoxes().size(), 1u) << "only the cut message";
        EXPECT_TRUE(NoDirectoryFileLeft());
        EXPECT_TRUE(FileExists(list)) << "the host's list stays";
        EXPECT_EQ(HeapCount(), heaps) << "the send heap is gone";
        // Each load of the simulator's USB library keeps two handles of its own.
        if (!usb) {
            EXPECT_EQ(HandleCount(), handles) << "a handle was left open";
        }
    }
}

// A failed sequence is told by the library alone, also after a cut; USB's -13 without a cut
// is such a failure. The transfer status is 1 while it is told and 0 afterwards.
TEST_F(Send, FailedSequenceIsToldByTheLibraryAlone)
{
    struct Case {
        Usb usb;
        const char *faults;
        int stored;
        const char *shownBy, *code;
    } cases[] = {
        {Usb::Present, "fail.USB_Download_Sequence=-13,4\n", 0, "USB_DisplayMessageByReturnCode", "-13"},
        {Usb::Absent, "fail.Protocol_Seq_Download=13,4\n", 99, "DisplayMessageByReturnCode", "13"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.faults);
        UseUsb(c.usb);
        linksim::ResetMachine();
        ClearRecordedMessageBoxes();
        SetFaults(c.faults);
        Fill(1, c.stored);
        std::string list = List({Design("a.vbd"), Design("b.vbd")});
        UINT during = 99;
        int result = SendList(list, [&](Ui &u) {
            HWND dlg = PressStart(u, c.usb == Usb::Present ? SEND_USB : SEND_COM);
            MessageBoxInfo box = u.WaitMessageBox("Sending");
            during = Dll().GetTransferStatus();
            EXPECT_EQ(box.owner, dlg);
            u.Answer(box, IDOK);
            u.WaitGone(dlg);
        });
        EXPECT_EQ(result, 1);
        EXPECT_EQ(during, 1u);
        EXPECT_EQ(Dll().GetTransferStatus(), 0u);
        std::vector<SimCall> shown = CallsOf(c.shownBy);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].Arg("code"), c.code);
        EXPECT_EQ(shown[0].Arg("detail"), "4");
        for (const MessageBoxCall &box : RecordedMessageBoxes())
            EXPECT_NE(box.caption, "Attention") << "no cut message";
    }
}

// The count comes from the directory information of the chosen location: 99 designs at the
// ATA PC card leave room for one, 100 are refused with no worker, for a list and a direct
// send alike; the transfer status is 1 from Start to the end.
TEST_F(Send, StoredCountOfTheChosenLocationLimitsTheSend)
{
    Fill(1, 100);
    Fill(2, 99);
    std::vector<std::string> paths = {Design("x.vbd"), Design("y.vbd")};
    Script ataCard = [](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        u.Click(dlg, IDC_SEND_ATA_CARD);
        u.Click(dlg, IDOK);
        u.Answer(u.WaitMessageBox("Attention"), IDOK);
        u.WaitGone(dlg);
    };
    EXPECT_EQ(SendList(List(paths), ataCard), 1);
    EXPECT_EQ(CallsOf("Protocol_Seq_DirUpload").at(0).Arg("location"), "2");
    EXPECT_EQ(CallsOf("Protocol_Seq_Download").at(0).entries.at(1).name, "");
    EXPECT_EQ(StoredNames(2).size(), 100u);
    EXPECT_EQ(StoredNames(2).back(), "x.vbd");

    for (bool direct : {false, true}) {
        SCOPED_TRACE(direct ? "direct" : "list");
        linksim::ResetMachine();
        ClearRecordedMessageBoxes();
        Fill(2, 100);  // the ATA PC card stays chosen
        UINT before = 99, during = 99;
        Script full = [&](Ui &u) {
            HWND dlg = u.WaitDialog(SEND_COM);
            before = Dll().GetTransferStatus();
            u.Click(dlg, IDOK);
            MessageBoxInfo box = u.WaitMessageBox("Attention");
            during = Dll().GetTransferStatus();
            EXPECT_EQ(box.text, FULL_MESSAGE);
            EXPECT_EQ(box.style, (UINT)MB_ICONHAND);
            EXPECT_EQ(box.owner, dlg);
            u.Answer(box, IDOK);
            u.WaitGone(dlg);
        };
        std::vector<char> design = DesignBytes(300, 3);
        EXPECT_EQ(direct ? SendDirect(design, "x.vbd", full) : SendList(List(paths), full), 1);
        EXPECT_EQ(before, 0u);
        EXPECT_EQ(during, 1u);
        EXPECT_EQ(Dll().GetTransferStatus(), 0u);
        EXPECT_EQ(SimOps(), (Names{"SIO_InitializeIO", "Protocol_Seq_DirUpload", "SIO_TerminateIO"}));
        EXPECT_EQ(RecordedMessageBoxes().size(), 1u);
        EXPECT_TRUE(NoDirectoryFileLeft());
    }
}

// With the Open/Save folder chosen, a name of 37 characters is skipped (36 pass) and the skip
// is told once the send has succeeded; when every name is skipped nothing is sent.
TEST_F(Send, OpenSaveFolderSkipsLongNames)
{
    std::string fits = std::string(32, 'f') + ".vbd", tooLong = std::string(33, 'g') + ".vbd";
    size_t downloadsWhenTold = 99;
    int result = SendList(List({Design(fits), Design(tooLong), Design("short.vbd")}), [&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        u.Click(dlg, IDC_SEND_OPEN_SAVE);
        u.Click(dlg, IDOK);
        MessageBoxInfo box = u.WaitMessageBox("File Name Error");
        downloadsWhenTold = CallsOf("Protocol_Seq_Download").size();
        EXPECT_EQ(box.text, "The Open/Save Folder does not support the long file names of more than 32 "
                            "characters.Some files failed to transfer.");
        EXPECT_EQ(box.style, (UINT)MB_ICONEXCLAMATION);
        u.Answer(box, IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(downloadsWhenTold, 1u) << "told after the sequence";
    EXPECT_EQ(CallsOf("Protocol_Seq_Download").at(0).Arg("count"), "2");
    EXPECT_EQ(CallsOf("Protocol_Seq_DirUpload").at(0).Arg("location"), "5");
    EXPECT_EQ(StoredNames(5), (Names{fits, "short.vbd"}));

    linksim::ResetMachine();
    ClearRecordedMessageBoxes();
    result = SendList(List({Design(tooLong), Design(std::string(40, 'h') + ".pes")}), [&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        EXPECT_TRUE(IsChecked(dlg, IDC_SEND_OPEN_SAVE)) << "the send location is kept between exports";
        u.Click(dlg, IDOK);
        MessageBoxInfo box = u.WaitMessageBox("Warning");
        EXPECT_EQ(box.text, "Failed to send the selected VBD files.");
        EXPECT_EQ(box.style, (UINT)MB_ICONHAND);
        u.Answer(box, IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(SimOps().empty()) << "no Check Files step, no worker";
    EXPECT_EQ(RecordedMessageBoxes().size(), 1u) << "no name message without a send";
}

// The stitch limit follows the recorded machine version; refused designs are skipped with a
// message naming 32000 or 64000, the others are sent.
TEST_F(Send, StitchLimitFollowsTheMachineVersion)
{
    const int32_t counts[] = {32700, 32701, 40000, 65535, 65536, -5};
    std::vector<std::string> paths;
    for (int32_t c : counts)
        paths.push_back(Design("s" + std::to_string(c) + ".vbd", c));
    std::string list = List(paths);
    struct Case {
        int version;  // 0: none stored
        std::vector<int32_t> refused;
        int shown;
    } cases[] = {{0, {32701, 40000, 65535, 65536}, 32000},
                 {1, {32701, 40000, 65535, 65536}, 32000},
                 {2, {65536}, 64000}};
    for (const Case &c : cases) {
        SCOPED_TRACE("version " + std::to_string(c.version));
        DeleteSettingsKeys();
        if (c.version)
            SetRegDword(Key::Tambora, VALUE_MACHINE_VERSION, c.version);
        linksim::ResetMachine();
        Names told, expectTold, expectSent;
        SendList(list, [&](Ui &u) {
            HWND dlg = PressStart(u);
            for (size_t i = 0; i < c.refused.size(); ++i) {
                MessageBoxInfo box = u.WaitMessageBox("Attention");
                told.push_back(box.text);
                EXPECT_EQ(box.style, (UINT)MB_ICONEXCLAMATION);
                u.Answer(box, IDOK);
            }
            u.WaitGone(dlg);
        });
        for (int32_t n : counts) {
            std::string name = "s" + std::to_string(n) + ".vbd";
            if (std::find(c.refused.begin(), c.refused.end(), n) == c.refused.end())
                expectSent.push_back(name);
            else
                expectTold.push_back("The design is too large and cannot be sent in this menu.\nThe pattern (" +
                                     name + ") exceeds the " + std::to_string(c.shown) + " stitch limit.");
        }
        EXPECT_EQ(told, expectTold);
        EXPECT_EQ(StoredNames(1), expectSent);
    }
}

// askVersion 1: the version question comes once, at the first design above 32700 stitches,
// and its answer is in force for that design's limit already. (Without askVersion nobody is
// asked: a question would fail the stitch limit test above.)
TEST_F(Send, AskVersionAsksOnceAtTheFirstLargeDesign)
{
    std::string list = List({Design("small.vbd", 500), Design("big1.vbd", 40000), Design("big2.vbd", 40000)});
    int questions = 0;
    int result = SendList(
        list,
        [&](Ui &u) {
            HWND dlg = PressStart(u);
            HWND version = u.WaitDialog("Select Machine's Version");
            ++questions;
            u.Click(version, IDC_VERSION_22);
            u.Click(version, IDOK);
            u.WaitGone(version);
            u.WaitGone(dlg);
        },
        1);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(StoredNames(1), (Names{"small.vbd", "big1.vbd", "big2.vbd"}));
    EXPECT_EQ(RegDwordBoth(VALUE_MACHINE_VERSION), std::make_pair(DWORD(2), DWORD(2)));
}

// Failures of the send list itself end the send with "Sending" messages before any link
// call, and leave no heap or handle behind.
TEST_F(Send, SendListFailuresEndTheSendBeforeTheMachineIsAsked)
{
    std::string empty = WorkDir() + "\\empty.lst";
    WriteFileBytes(empty, "", 0);
    const struct {
        const char *what;
        std::string list;
        const char *message;
    } cases[] = {
        {"missing list", WorkDir() + "\\none.lst", "File Open Error."},
        {"empty list", empty, "File Open Error."},
        {"missing design", List({Design("a.vbd"), WorkDir() + "\\gone.vbd"}, "gone.lst"), "File Read Error."},
        {"design is a folder", List({WorkDir()}, "folder.lst"), "File Read Error."},
    };
    Settle();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        DWORD heaps = HeapCount();
        int handles = HandleCount();
        int result = SendList(c.list, [&](Ui &u) {
            HWND dlg = PressStart(u);
            MessageBoxInfo box = u.WaitMessageBox("Sending");
            EXPECT_EQ(box.text, c.message);
            EXPECT_EQ(box.style, (UINT)MB_ICONHAND);
            u.Answer(box, IDOK);
            u.WaitGone(dlg);
        });
        EXPECT_EQ(result, 1);
        EXPECT_EQ(HeapCount(), heaps);
        EXPECT_EQ(HandleCount(), handles);
        EXPECT_EQ(Dll().GetTransferStatus(), 0u);
    }
    EXPECT_TRUE(SimOps().empty());
}

// A host-made list: a partial tail is no record, and a record needs no padding after its
// terminator (530 bytes are two records).
TEST_F(Send, HostListRecordsAreReadUpToTheirZeroByte)
{
    std::string a = Design("a.vbd"), b = Design("b.vbd");
    std::vector<char> bytes(520, 0);
    std::fill(bytes.begin(), bytes.begin() + 260, 'X');  // rubbish after the terminator
    std::copy(a.c_str(), a.c_str() + a.size() + 1, bytes.begin());
    std::copy(b.begin(), b.end(), bytes.begin() + 260);
    bytes.insert(bytes.end(), 10, 'Z');
    std::string list = WorkDir() + "\\odd.lst";
    WriteFileBytes(list, bytes.data(), bytes.size());
    EXPECT_EQ(SendList(list, StartAndWait), 1);
    EXPECT_EQ(StoredNames(1), (Names{"a.vbd", "b.vbd"}));
    EXPECT_EQ(CallsOf("Protocol_Seq_Download").at(0).Arg("count"), "2");
}

// Closing the dialog while a send runs only sets the cancel event; the dialog ends when the
// worker reports, and the export waits for the worker before it lets the USB library go.
TEST_F(Send, ClosingWhileSendingCancelsAndWaitsForTheWorker)
{
    UseUsb(Usb::Present);
    SetFaults("delay=150\n");
    bool aliveWhileWorkerReports = false;
    int result = SendList(List({Design("a.vbd"), Design("b.vbd"), Design("c.vbd")}), [&](Ui &u) {
        HWND dlg = PressStart(u, SEND_USB);
        u.WaitUntil([&] { return ControlText(dlg, IDC_SEND_COUNTER) != ""; }, "the send to move");
        u.Close(dlg);
        MessageBoxInfo box = u.WaitMessageBox("Sending");  // the worker, telling of the cancel
        aliveWhileWorkerReports = IsWindowVisible(dlg);
        u.Answer(box, IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(aliveWhileWorkerReports);
    std::vector<SimCall> downloads = CallsOf("USB_Download_Sequence");
    ASSERT_EQ(downloads.size(), 1u);
    EXPECT_EQ(downloads[0].result, 3);
    EXPECT_LT(StoredNames(1).size(), 3u);
    Names ops = SimOps();
    ASSERT_GE(ops.size(), 4u);
    EXPECT_EQ(Names(ops.end() - 4, ops.end()), (Names{"USB_Download_Sequence", "USB_Terminate",
                                                      "USB_DisplayMessageByReturnCode", "USB_Terminate"}))
        << "the export's own USB_Terminate comes last";
    EXPECT_EQ(Dll().GetTransferStatus(), 0u);
}

// ---- the dialog ----

// While the send runs: buttons hidden, status text and animation centred, the sending clip
// playing, and the counter and bar following the sequence's progress.
TEST_F(Send, DialogShowsTheRunningSend)
{
    SetFaults("delay=150\n");
    SendList(List({Design("a.vbd"), Design("b.vbd"), Design("c.vbd")}), [&](Ui &u) {
        HWND dlg = PressStart(u);
        u.WaitUntil([&] { return ControlText(dlg, IDC_SEND_COUNTER) == "2  /  3" && ProgressPosition(dlg) == 50; },
                    "the second design, half way");
        for (int id : {IDOK, IDCANCEL})
            EXPECT_FALSE(IsControlVisible(dlg, id)) << id;
        for (int id : {IDC_SEND_BUILTIN, IDC_SEND_ATA_CARD, IDC_SEND_OPEN_SAVE})
            EXPECT_FALSE(IsControlEnabled(dlg, id)) << id;
        EXPECT_EQ(ControlText(dlg, IDC_SEND_STATUS), "Just a moment, please.");
        MarkerWatch marker(true);
        u.WaitUntil([&] { return marker.Stepped(GetDlgItem(dlg, IDC_SEND_ANIMATION)); },
                    "the sending clip to play");
        RECT client;
        GetClientRect(dlg, &client);
        for (int id : {IDC_SEND_STATUS, IDC_SEND_ANIMATION}) {
            RECT r;
            GetWindowRect(GetDlgItem(dlg, id), &r);
            MapWindowPoints(NULL, dlg, (POINT *)&r, 2);
            EXPECT_EQ(r.left, (client.right - (r.right - r.left)) / 2) << id;
        }
        u.WaitUntil([&] { return ControlText(dlg, IDC_SEND_COUNTER) == "3  /  3" && ProgressPosition(dlg) == 83; },
                    "the third design");
        u.WaitGone(dlg);
    });
    EXPECT_EQ(StoredNames(1).size(), 3u);
}

// The template in list mode, and the title following the link: from the probe at opening,
// and from every device change.
TEST_F(Send, DialogTemplateAndTitle)
{
    std::string list = List({Design("a.vbd")});
    const struct {
        Usb usb;
        const char *faults, *title, *afterChange;
    } cases[] = {
        {Usb::Absent, "", SEND_COM, SEND_USB},  // without the library UsbEventProc answers 1
        {Usb::Present, "", SEND_USB, SEND_USB},
        {Usb::Present, "usb=disconnected\n", "Send Designs - USB Disconnected", "Send Designs - USB Disconnected"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.title);
        UseUsb(c.usb);
        SetFaults(c.faults);
        int result = SendList(list, [&](Ui &u) {
            HWND dlg = u.WaitDialog(c.title);
            ExpectControls(dlg, {{IDOK, "Button", "Start"},
                                 {IDCANCEL, "Button", "Cancel"},
                                 {IDC_SEND_NAME, "Button", "Name"},
                                 {-1, "Button", "Send to "},
                                 {IDC_SEND_BUILTIN, "Button", "Built-in"},
                                 {IDC_SEND_ATA_CARD, "Button", "ATA PC Card"},
                                 {IDC_SEND_OPEN_SAVE, "Button", "Select Open/Save folder."},
                                 {IDC_SEND_ANIMATION, "SysAnimate32", ""},
                                 {IDC_SEND_COUNTER, "Static", ""},
                                 {IDC_SEND_PROGRESS, "msctls_progress32", "Progress1"},
                                 {IDC_SEND_STATUS, "Static", READY}});
            EXPECT_FALSE(IsControlVisible(dlg, IDC_SEND_NAME)) << "list mode";
            EXPECT_TRUE(IsChecked(dlg, IDC_SEND_BUILTIN));
            EXPECT_FALSE(IsChecked(dlg, IDC_SEND_ATA_CARD) || IsChecked(dlg, IDC_SEND_OPEN_SAVE));
            EXPECT_EQ(SendDlgItemMessageA(dlg, IDC_SEND_PROGRESS, PBM_GETRANGE, FALSE, 0), 100);
            EXPECT_EQ(SendMessageA(dlg, WM_DEVICECHANGE, 0x8000, 0), TRUE);
            EXPECT_EQ(WindowText(dlg), c.afterChange);
            u.Close(dlg);
            u.WaitGone(dlg);
        });
        EXPECT_EQ(result, 2) << "closed before Start";
    }
    for (const std::string &op : SimOps())
        EXPECT_TRUE(op.rfind("USB_", 0) == 0) << op << ": only the USB probe before Start";
}

// A link failure of the Check Files step, or its dialog closed, ends the send with the
// library's message alone; closed, the step leaves no cancel event behind.
TEST_F(Send, CheckFilesFailuresEndTheSendWithTheLibrarysMessage)
{
    const struct {
        Usb usb;
        const char *faults, *shownBy, *detail;
        bool close;
    } cases[] = {
        {Usb::Absent, "fail.Protocol_Seq_DirUpload=13,7\n", "DisplayMessageByReturnCode", "7", false},
        {Usb::Absent, "port=COM2\n", "DisplayMessageByReturnCode", "0", false},
        {Usb::Present, "fail.USB_DirUpload_Sequence=14,9\n", "USB_DisplayMessageByReturnCode", "9", false},
        {Usb::Absent, "delay=300\n", "DisplayMessageByReturnCode", "0", true},
    };
    Settle();
    std::string list = List({Design("a.vbd")});
    for (const auto &c : cases) {
        SCOPED_TRACE(c.faults);
        UseUsb(c.usb);
        linksim::ResetMachine();
        SetFaults(std::string(c.faults) + "message=log\n");
        int handles = HandleCount();
        int result = SendList(list, [&](Ui &u) {
            HWND send = PressStart(u, c.usb == Usb::Present ? SEND_USB : SEND_COM);
            if (c.close) {
                HWND dlg = u.WaitDialog("Check Files");
                ExpectControls(
                    dlg, {{IDC_CHECK_FILES_TEXT, "Static", "Receiving design information from Loomstar."}});
                EXPECT_EQ(GetWindow(dlg, GW_OWNER), send);
                u.Close(dlg);
            }
            u.WaitGone(send);
        });
        EXPECT_EQ(result, 1);
        std::vector<SimCall> shown = CallsOf(c.shownBy);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].Arg("caption"), "Design List");
        EXPECT_EQ(shown[0].Arg("detail"), c.detail);
        EXPECT_TRUE(CallsOf("Protocol_Seq_Download").empty() && CallsOf("USB_Download_Sequence").empty());
        EXPECT_TRUE(NoDirectoryFileLeft());
        EXPECT_EQ(Dll().GetTransferStatus(), 0u);
        if (c.close) {
            EXPECT_EQ(CallsOf("Protocol_Seq_DirUpload").at(0).result, 3);
            EXPECT_EQ(HandleCount(), handles) << "both cancel events are closed";
        }
    }
    EXPECT_TRUE(RecordedMessageBoxes().empty());
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
    ASSERT_NE(module, (HMODULE)NULL);
    char loaded[MAX_PATH] = "";
    GetModuleFileNameA(module, loaded, MAX_PATH);
    EXPECT_EQ(std::string(loaded), sub + "VembDlg.dll") << "the copy, not the one beside the program";
    auto directFiles = (int(WINAPI *)(HWND, const char *, int))GetProcAddress(module, "DirectFilesDownload");
    std::string list = List({Design("a.vbd")});
    UiScript ui(StartAndWait);
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

// ---- direct sends ----

// The host's bytes are stored under the host's name, unchanged and unchecked.
TEST_F(Send, DirectSendStoresTheHostsBytesUnderItsName)
{
    std::vector<char> design = DesignBytes(1200, 7);
    for (bool usb : {false, true}) {
        SCOPED_TRACE(usb ? "USB" : "serial");
        const char *name = usb ? "a:b<c" : "Flower.vbd";
        UseUsb(usb ? Usb::Present : Usb::Absent);
        linksim::ResetMachine();
        int result = SendDirect(design, name, [&](Ui &u) {
            HWND dlg = u.WaitDialog(usb ? SEND_USB : SEND_COM);
            EXPECT_TRUE(IsControlVisible(dlg, IDC_SEND_NAME));
            EXPECT_TRUE(IsControlEnabled(dlg, IDC_SEND_NAME));
            u.Click(dlg, IDOK);
            u.WaitGone(dlg);
        });
        EXPECT_EQ(result, 1);
        std::vector<SimCall> sent = CallsOf(usb ? "USB_DirectDownload_Sequence" : "Protocol_Seq_Download_Direct");
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].Arg("size"), std::to_string(design.size()));
        EXPECT_EQ(sent[0].Arg("location"), "1");
        EXPECT_EQ(sent[0].Arg("progress"), "yes");
        EXPECT_EQ(StoredBytes(1, name), design);
        EXPECT_EQ(CallsOf(usb ? "USB_DirUpload_Sequence" : "Protocol_Seq_DirUpload").size(), 1u) << "Check Files";
        EXPECT_TRUE(NoDirectoryFileLeft());
        EXPECT_EQ(Dll().GetTransferStatus(), 0u);
    }
    EXPECT_TRUE(RecordedMessageBoxes().empty());
}

// Without a host name, and with an empty name typed into the Vbd Name dialog, the local time
// names the design.
TEST_F(Send, DirectSendWithoutANameTakesTheClocksName)
{
    std::vector<char> design = DesignBytes(300, 3);
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        linksim::ResetMachine();
        uint64_t before = LocalTimeCount();
        SendDirect(design, way == 0 ? NULL : way == 1 ? "" : "Flower.vbd", [&](Ui &u) {
            HWND dlg = u.WaitDialog(SEND_COM);
            if (way == 2) {
                u.Click(dlg, IDC_SEND_NAME);
                HWND name = u.WaitDialog(VBD_NAME);
                u.SetText(name, IDC_DESIGN_NAME_EDIT, "");
                u.Click(name, IDOK);
                u.WaitGone(name);
            }
            u.Click(dlg, IDOK);
            u.WaitGone(dlg);
        });
        uint64_t count = DefaultNameCount(SentName());
        EXPECT_TRUE(count >= before && count <= LocalTimeCount()) << SentName();
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
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(CallsOf("Protocol_Seq_Download_Direct").at(0).Arg("location"), "6");
    EXPECT_EQ(StoredNames(6), Names{fits});

    linksim::ResetMachine();
    UINT statusAtMessage = 99;
    SendDirect(design, "short.vbd", [&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        EXPECT_TRUE(IsChecked(dlg, IDC_SEND_ATA_CARD)) << "the send location is kept between exports";
        EXPECT_FALSE(IsChecked(dlg, IDC_SEND_OPEN_SAVE)) << "a direct send never starts in the Open/Save folder";
        u.Click(dlg, IDC_SEND_BUILTIN);
        u.Click(dlg, IDC_SEND_OPEN_SAVE);  // "short.vbd" fits
        u.Click(dlg, IDC_SEND_NAME);
        HWND name = u.WaitDialog(VBD_NAME);
        u.SetText(name, IDC_DESIGN_NAME_EDIT, std::string(36, 'L') + ".pes");
        u.Click(name, IDOK);
        u.WaitGone(name);
        u.Click(dlg, IDOK);
        MessageBoxInfo box = u.WaitMessageBox("File Name Error");
        statusAtMessage = Dll().GetTransferStatus();
        EXPECT_EQ(box.text, SuchAs(longName));
        EXPECT_EQ(box.style, (UINT)MB_ICONHAND);
        u.Answer(box, IDOK);
        u.WaitUntil([&] { return !IsChecked(dlg, IDC_SEND_OPEN_SAVE); }, "the box to be cleared");
        EXPECT_TRUE(IsControlVisible(dlg, IDOK)) << "still ready";
        EXPECT_EQ(ControlText(dlg, IDC_SEND_STATUS), READY);
        // Ticking the box again is refused at once.
        u.Click(dlg, IDC_SEND_OPEN_SAVE);
        box = u.WaitMessageBox("File Name Error");
        EXPECT_EQ(box.text, SuchAs(longName));
        u.Answer(box, IDOK);
        u.WaitUntil([&] { return !IsChecked(dlg, IDC_SEND_OPEN_SAVE); }, "the box to be cleared again");
        u.Click(dlg, IDOK);  // without the folder the long name goes to the built-in memory
        u.WaitGone(dlg);
    });
    EXPECT_EQ(statusAtMessage, 0u) << "refused before the transfer began";
    EXPECT_EQ(StoredNames(1), Names{longName});
    EXPECT_TRUE(StoredNames(5).empty());
}

// ---- the Vbd Name dialog ----

// The Vbd Name dialog shows the current name; typed names become a base name with ".vbd";
// Cancel, and forbidden characters (with the "Rename" message), keep the old name.
TEST_F(Send, NameDialogMakesABaseNameWithVbd)
{
    const std::pair<const char *, const char *> cases[] = {
        {"my.design.pes", "my.vbd"}, {".hidden.pes", "hidden.vbd"}, {"...", ".vbd"}, {"Rose", "Rose.vbd"}};
    Names shown;
    SendDirect(DesignBytes(300, 3), "first.vbd", [&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        auto nameDialog = [&] {
            u.Click(dlg, IDC_SEND_NAME);
            return u.WaitDialog(VBD_NAME);
        };
        HWND name = nameDialog();
        ExpectControls(name, {{-1, "Static", "Enter the file name to save in Loomstar."},
                              {IDC_DESIGN_NAME_EDIT, "Edit", "first.vbd"},
                              {IDOK, "Button", "OK"},
                              {IDCANCEL, "Button", "Cancel"}});
        EXPECT_EQ(GetWindow(name, GW_OWNER), dlg);
        u.SetText(name, IDC_DESIGN_NAME_EDIT, "other");
        u.Click(name, IDCANCEL);
        u.WaitGone(name);
        for (auto &c : cases) {
            name = nameDialog();
            shown.push_back(ControlText(name, IDC_DESIGN_NAME_EDIT));
            u.SetText(name, IDC_DESIGN_NAME_EDIT, c.first);
            u.Click(name, IDOK);
            u.WaitGone(name);
        }
        name = nameDialog();
        shown.push_back(ControlText(name, IDC_DESIGN_NAME_EDIT));
        u.SetText(name, IDC_DESIGN_NAME_EDIT, "a:b");
        u.Click(name, IDOK);
        MessageBoxInfo box = u.WaitMessageBox("Rename");
        EXPECT_EQ(box.text, "A filename cannot contain any of the following characters:\n \\ / : * ? \" < > |");
        EXPECT_EQ(box.style, (UINT)MB_ICONHAND);
        EXPECT_EQ(box.owner, name);
        u.Answer(box, IDOK);
        EXPECT_TRUE(IsWindow(name)) << "the dialog stays";
        u.Close(name);
        u.WaitGone(name);
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(shown, (Names{"first.vbd", "my.vbd", "hidden.vbd", ".vbd", "Rose.vbd"}));
    EXPECT_EQ(SentName(), "Rose.vbd") << "the refused name changed nothing";
}

}  // namespace
