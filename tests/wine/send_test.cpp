// List sends through DirectFilesDownload: the Send Designs dialog, the Check Files step,
// the cut to the room left below 100 designs, the name and stitch checks, the serial and
// USB workers, and what reached the machine.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "check_files_res.h"
#include "link/settings.h"
#include "machine_version_res.h"
#include "resource.h"
#include "send_support.h"
#include "settings_support.h"

using namespace vt;

namespace {

std::string TooLargeMessage(const std::string &name, int shown)
{
    return "The design is too large and cannot be sent in this menu.\nThe pattern (" + name + ") exceeds the " +
           std::to_string(shown) + " stitch limit.";
}


class ListSend : public SendFixture {
protected:
    // Five designs while the location holds 97: the fourth entry is emptied, three designs
    // are stored, the library still gets the count 5, and the cut is reported at the end.
    void CutToRoom(bool usb)
    {
        Settle();
        Fill(1, 97);
        std::vector<std::string> paths;
        for (const char *n : {"a.vbd", "b.vbd", "c.vbd", "d.vbd", "e.vbd"})
            paths.push_back(WriteDesign(n));
        std::string list = WriteList(paths);
        DWORD heaps = HeapCount();
        UINT_PTR handles = HandleWatermark();
        UiScript ui([&](Ui &u) {
            PressStart(u, usb ? SEND_USB : SEND_COM);
            MessageBoxInfo box = u.WaitMessageBox("Attention");
            EXPECT_EQ(box.text, CUT_MESSAGE);
            EXPECT_EQ(box.style, (UINT)MB_ICONHAND);
            u.Answer(box, IDOK);
        });
        int result = Dll().DirectFilesDownload(Owner(), list.c_str(), 0);
        ui.Join();
        EXPECT_EQ(result, 1);
        std::vector<SimCall> downloads = CallsOf(usb ? "USB_Download_Sequence" : "Protocol_Seq_Download");
        ASSERT_EQ(downloads.size(), 1u);
        EXPECT_EQ(downloads[0].Arg("count"), "5");
        ASSERT_EQ(downloads[0].entries.size(), 5u);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(downloads[0].entries[i].name, i == 3 ? "" : paths[i]) << i;
            EXPECT_EQ(downloads[0].entries[i].location, 1);
            EXPECT_EQ(downloads[0].entries[i].number, 0);
        }
        EXPECT_EQ(downloads[0].result, usb ? -13 : 0);
        std::vector<std::string> stored = StoredNames(1);
        ASSERT_EQ(stored.size(), 100u);
        EXPECT_EQ(std::vector<std::string>(stored.begin() + 97, stored.end()),
                  (std::vector<std::string>{"a.vbd", "b.vbd", "c.vbd"}));
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(StoredBytes(1, "abc"[i] + std::string(".vbd")), ReadFileBytes(paths[i])) << "byte-identical";
        EXPECT_TRUE(CallsOf(usb ? "USB_DisplayMessageByReturnCode" : "DisplayMessageByReturnCode").empty());
        EXPECT_EQ(RecordedMessageBoxes().size(), 1u) << "only the cut message";
        EXPECT_TRUE(NoDirectoryFileLeft());
        EXPECT_TRUE(FileExists(list)) << "the host's list stays";
        EXPECT_EQ(HeapCount(), heaps) << "the send heap is gone";
        // (Each load of the simulator's USB library leaves two handles of its own behind, so
        // the count is only compared on the serial road.)
        if (!usb) {
            EXPECT_EQ(HandleWatermark(), handles) << "a handle was left open";
        }
        EXPECT_EQ(Dll().GetTransferStatus(), 0u);
    }
};
class SendChecks : public SendFixture {};
class SendDialog : public SendFixture {};
class CheckFiles : public SendFixture {};

TEST_F(ListSend, CutToTheRoomLeftOverSerial)
{
    CutToRoom(false);
}

TEST_F(ListSend, CutToTheRoomLeftOverUsbTakesMinus13AsSuccess)
{
    UseUsb(Usb::Present);
    CutToRoom(true);
}

TEST_F(ListSend, Minus13WithoutACutIsAnError)
{
    UseUsb(Usb::Present);
    SetFaults("fail.USB_Download_Sequence=-13,4\nmessage=log\n");
    std::string list = WriteList({WriteDesign("a.vbd"), WriteDesign("b.vbd")});
    UiScript ui([&](Ui &u) {
        HWND dlg = PressStart(u, SEND_USB);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().DirectFilesDownload(Owner(), list.c_str(), 0), 1);
    ui.Join();
    std::vector<SimCall> shown = CallsOf("USB_DisplayMessageByReturnCode");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].Arg("caption"), "Sending");
    EXPECT_EQ(shown[0].Arg("code"), "-13");
    EXPECT_EQ(shown[0].Arg("detail"), "4");
    EXPECT_TRUE(RecordedMessageBoxes().empty()) << "no cut message";
}

// After a cut, a failing sequence is reported by the library alone.
TEST_F(ListSend, FailedSequenceDropsTheCutMessage)
{
    SetFaults("fail.Protocol_Seq_Download=13\nmessage=log\n");
    Fill(1, 99);
    std::string list = WriteList({WriteDesign("a.vbd"), WriteDesign("b.vbd")});
    UiScript ui([&](Ui &u) { u.WaitGone(PressStart(u)); });
    EXPECT_EQ(Dll().DirectFilesDownload(Owner(), list.c_str(), 0), 1);
    ui.Join();
    std::vector<SimCall> downloads = CallsOf("Protocol_Seq_Download");
    ASSERT_EQ(downloads.size(), 1u);
    EXPECT_EQ(downloads[0].entries.size(), 2u);
    EXPECT_EQ(downloads[0].entries[1].name, "") << "the list was cut";
    ASSERT_EQ(CallsOf("DisplayMessageByReturnCode").size(), 1u);
    EXPECT_EQ(CallsOf("DisplayMessageByReturnCode")[0].Arg("code"), "13");
    EXPECT_TRUE(RecordedMessageBoxes().empty());
    EXPECT_EQ(Dll().GetTransferStatus(), 0u);
}

// 99 designs at the ATA PC card leave room for one: the count is read from the directory
// information of the chosen location.
TEST_F(ListSend, NinetyNineStoredLeaveRoomForOneAtTheChosenLocation)
{
    Fill(2, 99);
    Fill(1, 100);
    std::vector<std::string> paths = {WriteDesign("x.vbd"), WriteDesign("y.vbd")};
    std::string list = WriteList(paths);
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        u.Click(dlg, IDC_SEND_ATA_CARD);
        u.Click(dlg, IDOK);
        u.Answer(u.WaitMessageBox("Attention"), IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().DirectFilesDownload(Owner(), list.c_str(), 0), 1);
    ui.Join();
    std::vector<SimCall> dir = CallsOf("Protocol_Seq_DirUpload");
    ASSERT_EQ(dir.size(), 1u);
    EXPECT_EQ(dir[0].Arg("location"), "2");
    std::vector<SimCall> downloads = CallsOf("Protocol_Seq_Download");
    ASSERT_EQ(downloads.size(), 1u);
    ASSERT_EQ(downloads[0].entries.size(), 2u);
    EXPECT_EQ(downloads[0].entries[0].location, 2);
    EXPECT_EQ(downloads[0].entries[1].name, "");
    EXPECT_EQ(StoredNames(2).back(), "x.vbd");
    EXPECT_EQ(StoredNames(2).size(), 100u);
}

// A full location: the message, no worker, dialog result 1, and the transfer status is 1
// only from Start to the end.
TEST_F(ListSend, FullLocationIsRefusedWithoutAWorker)
{
    Fill(1, 100);
    std::string list = WriteList({WriteDesign("a.vbd")});
    UINT during = 99;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        EXPECT_EQ(Dll().GetTransferStatus(), 0u) << "before Start";
        u.Click(dlg, IDOK);
        MessageBoxInfo box = u.WaitMessageBox("Attention");
        during = Dll().GetTransferStatus();
        EXPECT_EQ(box.text, FULL_MESSAGE);
        EXPECT_EQ(box.style, (UINT)MB_ICONHAND);
        EXPECT_EQ(box.owner, dlg);
        u.Answer(box, IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().DirectFilesDownload(Owner(), list.c_str(), 0), 1);
    ui.Join();
    EXPECT_EQ(during, 1u);
    EXPECT_EQ(Dll().GetTransferStatus(), 0u);
    EXPECT_EQ(SimOps(), (std::vector<std::string>{"SIO_InitializeIO", "Protocol_Seq_DirUpload", "SIO_TerminateIO"}));
    EXPECT_EQ(RecordedMessageBoxes().size(), 1u);
    EXPECT_TRUE(NoDirectoryFileLeft());
}

TEST_F(ListSend, TransferStatusReturnsToZeroAfterAFailedSend)
{
    SetFaults("fail.Protocol_Seq_Download=13,2\n");
    std::string list = WriteList({WriteDesign("a.vbd")});
    UINT during = 99;
    UiScript ui([&](Ui &u) {
        HWND dlg = PressStart(u);
        MessageBoxInfo box = u.WaitMessageBox("Sending");  // the link library's own message
        during = Dll().GetTransferStatus();
        EXPECT_EQ(box.owner, dlg);
        u.Answer(box, IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().DirectFilesDownload(Owner(), list.c_str(), 0), 1);
    ui.Join();
    EXPECT_EQ(during, 1u);
    EXPECT_EQ(Dll().GetTransferStatus(), 0u);
    ASSERT_EQ(CallsOf("DisplayMessageByReturnCode").size(), 1u);
    EXPECT_EQ(CallsOf("DisplayMessageByReturnCode")[0].Arg("detail"), "2");
}

// The serial line always opens at 9600 bit/s; the sequences get the stored speed.
TEST_F(ListSend, SerialLineOpensAt9600WhileTheSequencesGetTheStoredSpeed)
{
    SetRegDword(Key::Tambora, VALUE_BAUD_RATE, 5);
    SetRegDword(Key::Tambora, VALUE_COM_PORT, 3);
    SetFaults("port=COM3\n");
    std::string path = WriteDesign("a.vbd");
    std::string list = WriteList({path});
    UiScript ui([&](Ui &u) { u.WaitGone(PressStart(u)); });
    EXPECT_EQ(Dll().DirectFilesDownload(Owner(), list.c_str(), 0), 1);
    ui.Join();
    std::vector<SimCall> opens = CallsOf("SIO_InitializeIO");
    ASSERT_EQ(opens.size(), 2u) << "Check Files, then the send";
    for (const SimCall &c : opens) {
        EXPECT_EQ(c.Arg("speed"), "9600");
        EXPECT_EQ(c.Arg("port"), "COM3");
        EXPECT_EQ(c.Arg("cancel"), "yes");
    }
    std::vector<SimCall> dir = CallsOf("Protocol_Seq_DirUpload");
    ASSERT_EQ(dir.size(), 1u);
    EXPECT_EQ(dir[0].Arg("speed"), "57600");
    EXPECT_EQ(dir[0].Arg("path"), TempFile("$$UPLDir.tmp"));
    EXPECT_EQ(dir[0].Arg("progress"), "no");
    std::vector<SimCall> downloads = CallsOf("Protocol_Seq_Download");
    ASSERT_EQ(downloads.size(), 1u);
    EXPECT_EQ(downloads[0].Arg("speed"), "57600");
    EXPECT_EQ(downloads[0].Arg("progress"), "yes");
    EXPECT_EQ(StoredBytes(1, "a.vbd"), ReadFileBytes(path));
}

// With the Open/Save folder chosen, a name of 37 characters is skipped (36 pass), and the
// skip is told once the send has succeeded.
TEST_F(ListSend, OpenSaveFolderSkipsLongNamesAndTellsAfterTheSend)
{
    std::string fits = std::string(32, 'f') + ".vbd", tooLong = std::string(33, 'g') + ".vbd";
    std::vector<std::string> paths = {WriteDesign(fits), WriteDesign(tooLong), WriteDesign("short.vbd")};
    std::string list = WriteList(paths);
    size_t downloadsWhenTold = 99;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        u.Click(dlg, IDC_SEND_OPEN_SAVE);
        u.Click(dlg, IDOK);
        MessageBoxInfo box = u.WaitMessageBox("File Name Error");
        downloadsWhenTold = CallsOf("Protocol_Seq_Download").size();
        EXPECT_EQ(box.text, LONG_NAMES_SKIPPED);
        EXPECT_EQ(box.style, (UINT)MB_ICONEXCLAMATION);
        u.Answer(box, IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().DirectFilesDownload(Owner(), list.c_str(), 0), 1);
    ui.Join();
    EXPECT_EQ(downloadsWhenTold, 1u) << "told after the sequence";
    std::vector<SimCall> downloads = CallsOf("Protocol_Seq_Download");
    ASSERT_EQ(downloads.size(), 1u);
    EXPECT_EQ(downloads[0].Arg("count"), "2");
    EXPECT_EQ(CallsOf("Protocol_Seq_DirUpload")[0].Arg("location"), "5");
    EXPECT_EQ(StoredNames(5), (std::vector<std::string>{fits, "short.vbd"}));
    EXPECT_EQ(RecordedMessageBoxes().size(), 1u);
}

TEST_F(ListSend, OpenSaveFolderWithEveryNameTooLongSendsNothing)
{
    std::string list = WriteList({WriteDesign(std::string(33, 'g') + ".vbd"), WriteDesign(std::string(40, 'h') + ".pes")});
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        u.Click(dlg, IDC_SEND_OPEN_SAVE);
        u.Click(dlg, IDOK);
        MessageBoxInfo box = u.WaitMessageBox("Warning");
        EXPECT_EQ(box.text, "Failed to send the selected VBD files.");
        EXPECT_EQ(box.style, (UINT)MB_ICONHAND);
        u.Answer(box, IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().DirectFilesDownload(Owner(), list.c_str(), 0), 1);
    ui.Join();
    EXPECT_TRUE(SimOps().empty()) << "no Check Files step, no worker";
    EXPECT_EQ(RecordedMessageBoxes().size(), 1u) << "no name message without a send";
    EXPECT_EQ(Dll().GetTransferStatus(), 0u);
}

// The stitch limit follows the recorded machine version; refused designs are skipped with
// a message naming 32000 or 64000, the others are sent.
TEST_F(SendChecks, StitchLimitFollowsTheMachineVersion)
{
    const int32_t counts[] = {32700, 32701, 40000, 65535, 65536, -5};
    std::vector<std::string> paths;
    for (int32_t c : counts)
        paths.push_back(WriteDesign("s" + std::to_string(c) + ".vbd", c));
    std::string list = WriteList(paths);
    struct Case {
        int version;  // 0: none stored
        std::vector<int32_t> refused;
        int shown;
    };
    const Case cases[] = {{0, {32701, 40000, 65535, 65536}, 32000},
                          {1, {32701, 40000, 65535, 65536}, 32000},
                          {2, {65536}, 64000}};
    for (const Case &c : cases) {
        SCOPED_TRACE("version " + std::to_string(c.version));
        DeleteSettingsKeys();
        if (c.version)
            SetRegDword(Key::Tambora, VALUE_MACHINE_VERSION, c.version);
        linksim::ResetMachine();
        ClearRecordedMessageBoxes();
        std::vector<std::string> told;
        UiScript ui([&](Ui &u) {
            HWND dlg = PressStart(u);
            for (size_t i = 0; i < c.refused.size(); ++i) {
                MessageBoxInfo box = u.WaitMessageBox("Attention");
                told.push_back(box.text);
                EXPECT_EQ(box.style, (UINT)MB_ICONEXCLAMATION);
                u.Answer(box, IDOK);
            }
            u.WaitGone(dlg);
        });
        EXPECT_EQ(Dll().DirectFilesDownload(Owner(), list.c_str(), 0), 1);
        ui.Join();
        std::vector<std::string> expectTold, expectSent;
        for (int32_t n : counts) {
            std::string name = "s" + std::to_string(n) + ".vbd";
            if (std::find(c.refused.begin(), c.refused.end(), n) != c.refused.end())
                expectTold.push_back(TooLargeMessage(name, c.shown));
            else
                expectSent.push_back(name);
        }
        EXPECT_EQ(told, expectTold);
        EXPECT_EQ(StoredNames(1), expectSent);
        ASSERT_EQ(CallsOf("Protocol_Seq_Download").size(), 1u);
        EXPECT_EQ(CallsOf("Protocol_Seq_Download")[0].Arg("count"), std::to_string(expectSent.size()));
    }
}

// askVersion 1: the version question comes once, at the first design above 32700
// stitches, and its answer is in force for that design's limit already.
TEST_F(SendChecks, AskVersionAsksOnceAtTheFirstLargeDesign)
{
    std::string list =
        WriteList({WriteDesign("small.vbd", 500), WriteDesign("big1.vbd", 40000), WriteDesign("big2.vbd", 40000)});
    int questions = 0;
    UiScript ui([&](Ui &u) {
        HWND dlg = PressStart(u);
        HWND version = u.WaitDialog("Select Machine's Version");
        ++questions;
        u.Click(version, IDC_VERSION_22);
        u.Click(version, IDOK);
        u.WaitGone(version);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().DirectFilesDownload(Owner(), list.c_str(), 1), 1);
    ui.Join();
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(StoredNames(1), (std::vector<std::string>{"small.vbd", "big1.vbd", "big2.vbd"}));
    EXPECT_EQ(RegDwordBoth(VALUE_MACHINE_VERSION), std::make_pair(DWORD(2), DWORD(2)));
    EXPECT_TRUE(RecordedMessageBoxes().empty());

    // Without askVersion nobody is asked: both large designs are refused.
    DeleteSettingsKeys();
    linksim::ResetMachine();
    DialogWatch watch({"Select Machine's Version", "Confirm Machine's Version"});
    UiScript again([&](Ui &u) {
        HWND dlg = PressStart(u);
        u.Answer(u.WaitMessageBox("Attention"), IDOK);
        u.Answer(u.WaitMessageBox("Attention"), IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().DirectFilesDownload(Owner(), list.c_str(), 0), 1);
    again.Join();
    EXPECT_EQ(watch.Stop(), 0);
    EXPECT_EQ(StoredNames(1), (std::vector<std::string>{"small.vbd"}));
}

// Failures of the send list itself end the send with "Sending" messages, before any link
// call, and release the send heap.
TEST_F(SendChecks, SendListFailuresEndTheSendBeforeTheMachineIsAsked)
{
    std::string empty = WorkDir() + "\\empty.lst";
    WriteFileBytes(empty, "", 0);
    struct Case {
        const char *what;
        std::string list;
        const char *message;
    };
    const Case cases[] = {
        {"missing list", WorkDir() + "\\none.lst", "File Open Error."},
        {"empty list", empty, "File Open Error."},
        {"missing design", WriteList({WriteDesign("a.vbd"), WorkDir() + "\\gone.vbd"}, "gone.lst"), "File Read Error."},
        {"design is a folder", WriteList({WorkDir()}, "folder.lst"), "File Read Error."},
    };
    Settle();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ClearRecordedMessageBoxes();
        DWORD heaps = HeapCount();
        UINT_PTR handles = HandleWatermark();
        UiScript ui([&](Ui &u) {
            HWND dlg = PressStart(u);
            MessageBoxInfo box = u.WaitMessageBox("Sending");
            EXPECT_EQ(box.text, c.message);
            EXPECT_EQ(box.style, (UINT)MB_ICONHAND);
            u.Answer(box, IDOK);
            u.WaitGone(dlg);
        });
        EXPECT_EQ(Dll().DirectFilesDownload(Owner(), c.list.c_str(), 0), 1);
        ui.Join();
        EXPECT_EQ(HeapCount(), heaps);
        EXPECT_EQ(HandleWatermark(), handles);
        EXPECT_EQ(Dll().GetTransferStatus(), 0u);
    }
    EXPECT_TRUE(SimOps().empty());
}

// A host-made list: a partial tail is no record, a record needs no padding after its
// terminator, and a design file opened elsewhere without sharing cannot be read.
TEST_F(SendChecks, HostListRecordsAreReadUpToTheirZeroByte)
{
    std::string a = WriteDesign("a.vbd"), b = WriteDesign("b.vbd");
    std::vector<char> bytes(260, 'X');  // rubbish after the terminator
    std::copy(a.begin(), a.end(), bytes.begin());
    bytes[a.size()] = '\0';
    std::vector<char> second(260, 0);
    std::copy(b.begin(), b.end(), second.begin());
    bytes.insert(bytes.end(), second.begin(), second.end());
    bytes.insert(bytes.end(), 10, 'Z');  // 530 bytes: two records
    std::string list = WorkDir() + "\\odd.lst";
    WriteFileBytes(list, bytes.data(), bytes.size());
    UiScript ui([&](Ui &u) { u.WaitGone(PressStart(u)); });
    EXPECT_EQ(Dll().DirectFilesDownload(Owner(), list.c_str(), 0), 1);
    ui.Join();
    EXPECT_EQ(StoredNames(1), (std::vector<std::string>{"a.vbd", "b.vbd"}));
    EXPECT_EQ(CallsOf("Protocol_Seq_Download")[0].Arg("count"), "2");

    HANDLE held = CreateFileA(b.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    UiScript busy([&](Ui &u) {
        HWND dlg = PressStart(u);
        MessageBoxInfo box = u.WaitMessageBox("Sending");
        EXPECT_EQ(box.text, "File Read Error.");
        u.Answer(box, IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().DirectFilesDownload(Owner(), list.c_str(), 0), 1);
    busy.Join();
    CloseHandle(held);
}

// Closing the dialog while a send runs only sets the cancel event; the dialog ends when the
// worker reports, and the export waits for the worker before it lets the USB library go.
TEST_F(ListSend, ClosingWhileSendingCancelsAndWaitsForTheWorker)
{
    UseUsb(Usb::Present);
    SetFaults("delay=150\n");
    std::string list = WriteList({WriteDesign("a.vbd"), WriteDesign("b.vbd"), WriteDesign("c.vbd")});
    bool aliveWhileWorkerReports = false;
    UiScript ui([&](Ui &u) {
        HWND dlg = PressStart(u, SEND_USB);
        u.WaitUntil([&] { return ControlText(dlg, IDC_SEND_COUNTER) != ""; }, "the send to move");
        u.Close(dlg);
        MessageBoxInfo box = u.WaitMessageBox("Sending");  // the worker, telling of the cancel
        aliveWhileWorkerReports = IsWindow(dlg) && IsWindowVisible(dlg);
        EXPECT_EQ(box.owner, dlg);
        u.Answer(box, IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().DirectFilesDownload(Owner(), list.c_str(), 0), 1);
    ui.Join();
    EXPECT_TRUE(aliveWhileWorkerReports);
    std::vector<SimCall> downloads = CallsOf("USB_Download_Sequence");
    ASSERT_EQ(downloads.size(), 1u);
    EXPECT_EQ(downloads[0].result, 3);
    EXPECT_NE(std::find(downloads[0].events.begin(), downloads[0].events.end(), "cancelled"),
              downloads[0].events.end());
    EXPECT_LT(StoredNames(1).size(), 3u);
    std::vector<std::string> ops = SimOps();
    ASSERT_GE(ops.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(ops.end() - 4, ops.end()),
              (std::vector<std::string>{"USB_Download_Sequence", "USB_Terminate", "USB_DisplayMessageByReturnCode",
                                        "USB_Terminate"}))
        << "the export's own USB_Terminate comes last";
    EXPECT_EQ(Dll().GetTransferStatus(), 0u);
}

// While the send runs: buttons hidden, status text, animation playing, and the counter
// and bar following the sequence's progress.
TEST_F(SendDialog, ShowsTheRunningSend)
{
    SetFaults("delay=150\n");
    std::string list = WriteList({WriteDesign("a.vbd"), WriteDesign("b.vbd"), WriteDesign("c.vbd")});
    UiScript ui([&](Ui &u) {
        HWND dlg = PressStart(u);
        u.WaitUntil([&] { return ControlText(dlg, IDC_SEND_COUNTER) == "2  /  3" && ProgressPosition(dlg) == 50; },
                    "the second design, half way");
        EXPECT_FALSE(IsControlVisible(dlg, IDOK));
        EXPECT_FALSE(IsControlVisible(dlg, IDCANCEL));
        EXPECT_FALSE(IsControlEnabled(dlg, IDOK));
        EXPECT_FALSE(IsControlEnabled(dlg, IDC_SEND_BUILTIN));
        EXPECT_FALSE(IsControlEnabled(dlg, IDC_SEND_ATA_CARD));
        EXPECT_FALSE(IsControlEnabled(dlg, IDC_SEND_OPEN_SAVE));
        EXPECT_EQ(ControlText(dlg, IDC_SEND_STATUS), "Just a moment, please.");
        MarkerWatch marker;
        u.WaitUntil([&] { return marker.SteppedTowardsTheMachine(GetDlgItem(dlg, IDC_SEND_ANIMATION)); },
                    "the sending clip to play");
        // Status and animation centred in the client area once the buttons are hidden.
        RECT client;
        GetClientRect(dlg, &client);
        for (int id : {IDC_SEND_STATUS, IDC_SEND_ANIMATION}) {
            RECT r = ClientRectOf(dlg, GetDlgItem(dlg, id));
            EXPECT_EQ(r.left, (client.right - (r.right - r.left)) / 2) << id;
        }
        u.WaitUntil([&] { return ControlText(dlg, IDC_SEND_COUNTER) == "3  /  3" && ProgressPosition(dlg) == 83; },
                    "the third design");
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().DirectFilesDownload(Owner(), list.c_str(), 0), 1);
    ui.Join();
    EXPECT_EQ(StoredNames(1).size(), 3u);
}

TEST_F(SendDialog, TemplateAsDesignedInListMode)
{
    std::string list = WriteList({WriteDesign("a.vbd")});
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        const DWORD RADIO = BS_AUTORADIOBUTTON;
        ExpectLayout(dlg, 263, 167,
                     {
                         {IDOK, "Button", "Start", 203, 15, 50, 14, 0, BS_TYPEMASK, BS_DEFPUSHBUTTON},
                         {IDCANCEL, "Button", "Cancel", 203, 39, 50, 14, 0, BS_TYPEMASK, BS_PUSHBUTTON},
                         {IDC_SEND_NAME, "Button", "Name", 203, 70, 50, 14, 0, BS_TYPEMASK, BS_PUSHBUTTON},
                         {-1, "Button", "Send to ", 50, 37, 121, 28, 0, BS_TYPEMASK, BS_GROUPBOX},
                         {IDC_SEND_BUILTIN, "Button", "Built-in", 60, 49, 47, 12, 0, BS_TYPEMASK, RADIO},
                         {IDC_SEND_ATA_CARD, "Button", "ATA PC Card", 112, 48, 58, 12, 0, BS_TYPEMASK, RADIO},
                         {IDC_SEND_OPEN_SAVE, "Button", "Select Open/Save folder.", 60, 67, 110, 15, 0, BS_TYPEMASK,
                          BS_AUTOCHECKBOX},
                         {IDC_SEND_ANIMATION, "SysAnimate32", "", 15, 86, 180, 43, ACS_TRANSPARENT, 0, 0},
                         {IDC_SEND_COUNTER, "Static", "", 187, 149, 66, 11, 0, SS_TYPEMASK, SS_LEFT},
                         {IDC_SEND_PROGRESS, "msctls_progress32", "Progress1", 8, 137, 245, 10, PBS_SMOOTH, 0, 0},
                         {IDC_SEND_STATUS, "Static", "Ready to send designs.\nClick [Start] button.", 24, 14, 160, 18,
                          0, SS_TYPEMASK, SS_CENTER},
                     });
        // The bar draws its border as it likes; the template asks for one.
        EXPECT_EQ(TemplateControlStyle(Dll().module, IDD_SEND_DESIGNS, IDC_SEND_PROGRESS) & (PBS_SMOOTH | WS_BORDER),
                  (DWORD)(PBS_SMOOTH | WS_BORDER));
        EXPECT_FALSE(IsControlVisible(dlg, IDC_SEND_NAME)) << "list mode";
        EXPECT_FALSE(IsControlEnabled(dlg, IDC_SEND_NAME));
        EXPECT_TRUE(IsChecked(dlg, IDC_SEND_BUILTIN));
        EXPECT_FALSE(IsChecked(dlg, IDC_SEND_ATA_CARD));
        EXPECT_FALSE(IsChecked(dlg, IDC_SEND_OPEN_SAVE));
        EXPECT_EQ(ProgressPosition(dlg), 0);
        EXPECT_EQ(SendDlgItemMessageA(dlg, IDC_SEND_PROGRESS, PBM_GETRANGE, FALSE, 0), 100);
        EXPECT_EQ(GetWindowLongA(dlg, GWL_STYLE) & (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME),
                  WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME);
        // Centred on the screen.
        RECT r;
        GetWindowRect(dlg, &r);
        EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2);
        EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2);
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().DirectFilesDownload(Owner(), list.c_str(), 0), 2) << "closed before Start";
    ui.Join();
    EXPECT_TRUE(SimOps().empty());
    EXPECT_EQ(Dll().GetTransferStatus(), 0u);
}

// The title follows the link: from the probe at opening, and from every device change.
TEST_F(SendDialog, TitleFollowsTheLink)
{
    std::string list = WriteList({WriteDesign("a.vbd")});
    struct Case {
        Usb usb;
        const char *faults;
        const char *title;
        const char *afterChange;  // after WM_DEVICECHANGE
    };
    const Case cases[] = {
        {Usb::Absent, "", SEND_COM, SEND_USB},  // without the library UsbEventProc answers 1
        {Usb::Present, "", SEND_USB, SEND_USB},
        {Usb::Present, "usb=disconnected\n", "Send Designs - USB Disconnected", "Send Designs - USB Disconnected"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.title);
        UseUsb(c.usb);
        SetFaults(c.faults);
        UiScript ui([&](Ui &u) {
            HWND dlg = u.WaitDialog(c.title);
            EXPECT_EQ(SendMessageA(dlg, WM_DEVICECHANGE, 0x8000, 0), TRUE);
            EXPECT_EQ(WindowText(dlg), c.afterChange);
            u.Close(dlg);
            u.WaitGone(dlg);
        });
        EXPECT_EQ(Dll().DirectFilesDownload(Owner(), list.c_str(), 0), 2);
        ui.Join();
    }
}

// The send location is kept between exports and opens the next dialog.
TEST_F(SendDialog, SendLocationIsKeptBetweenExports)
{
    std::string list = WriteList({WriteDesign("a.vbd")});
    UiScript first([&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        u.Click(dlg, IDC_SEND_ATA_CARD);
        u.Click(dlg, IDC_SEND_OPEN_SAVE);
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().DirectFilesDownload(Owner(), list.c_str(), 0), 1);
    first.Join();
    EXPECT_EQ(StoredNames(6), (std::vector<std::string>{"a.vbd"}));
    UiScript second([&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        EXPECT_TRUE(IsChecked(dlg, IDC_SEND_ATA_CARD));
        EXPECT_FALSE(IsChecked(dlg, IDC_SEND_BUILTIN));
        EXPECT_TRUE(IsChecked(dlg, IDC_SEND_OPEN_SAVE));
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().DirectFilesDownload(Owner(), list.c_str(), 0), 2);
    second.Join();
    // A direct send never starts in an Open/Save folder.
    std::vector<char> design = DesignBytes(100, 1);
    UiScript direct([&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        EXPECT_TRUE(IsChecked(dlg, IDC_SEND_ATA_CARD));
        EXPECT_FALSE(IsChecked(dlg, IDC_SEND_OPEN_SAVE));
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().DirectDownload(Owner(), (DWORD)(UINT_PTR)design.data(), (DWORD)design.size(), "d.vbd"), 1);
    direct.Join();
}

TEST_F(CheckFiles, DialogAsDesignedAndClosingItEndsTheSendQuietly)
{
    Settle();
    SetFaults("delay=300\nmessage=log\n");
    std::string list = WriteList({WriteDesign("a.vbd")});
    UINT_PTR handles = HandleWatermark();
    UiScript ui([&](Ui &u) {
        HWND send = PressStart(u);
        HWND dlg = u.WaitDialog("Check Files");
        ExpectLayout(dlg, 259, 44,
                     {{IDC_CHECK_FILES_TEXT, "Static", "Receiving design information from Loomstar.", 7, 17, 243, 11,
                       0, SS_TYPEMASK, SS_CENTER}});
        EXPECT_EQ(GetWindow(dlg, GW_OWNER), send);
        u.Close(dlg);
        u.WaitGone(dlg);
        u.WaitGone(send);
    });
    EXPECT_EQ(Dll().DirectFilesDownload(Owner(), list.c_str(), 0), 1);
    ui.Join();
    std::vector<SimCall> dir = CallsOf("Protocol_Seq_DirUpload");
    ASSERT_EQ(dir.size(), 1u);
    EXPECT_EQ(dir[0].result, 3);
    EXPECT_EQ(CallsOf("DisplayMessageByReturnCode")[0].Arg("caption"), "Design List");
    EXPECT_TRUE(CallsOf("Protocol_Seq_Download").empty());
    EXPECT_TRUE(RecordedMessageBoxes().empty()) << "the library's message only";
    EXPECT_TRUE(NoDirectoryFileLeft());
    EXPECT_EQ(HandleWatermark(), handles) << "both cancel events are closed";
    EXPECT_EQ(Dll().GetTransferStatus(), 0u);
}

TEST_F(CheckFiles, LinkFailuresEndTheSendWithTheLibrarysMessage)
{
    struct Case {
        Usb usb;
        const char *faults;
        const char *failing;  // the call whose failure is shown
        const char *detail;
    };
    const Case cases[] = {
        {Usb::Absent, "fail.Protocol_Seq_DirUpload=13,7\nmessage=log\n", "DisplayMessageByReturnCode", "7"},
        {Usb::Absent, "port=COM2\nmessage=log\n", "DisplayMessageByReturnCode", "0"},
        {Usb::Present, "fail.USB_DirUpload_Sequence=14,9\nmessage=log\n", "USB_DisplayMessageByReturnCode", "9"},
    };
    std::string list = WriteList({WriteDesign("a.vbd")});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.faults);
        UseUsb(c.usb);
        linksim::ResetMachine();
        SetFaults(c.faults);
        UiScript ui([&](Ui &u) { u.WaitGone(PressStart(u, c.usb == Usb::Present ? SEND_USB : SEND_COM)); });
        EXPECT_EQ(Dll().DirectFilesDownload(Owner(), list.c_str(), 0), 1);
        ui.Join();
        std::vector<SimCall> shown = CallsOf(c.failing);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].Arg("caption"), "Design List");
        EXPECT_EQ(shown[0].Arg("detail"), c.detail);
        EXPECT_TRUE(CallsOf("Protocol_Seq_Download").empty());
        EXPECT_TRUE(CallsOf("USB_Download_Sequence").empty());
        EXPECT_TRUE(NoDirectoryFileLeft());
    }
    EXPECT_TRUE(RecordedMessageBoxes().empty());
}

// Loaded from a sub-folder, the module still keeps its temporary files beside the host's
// executable.
TEST_F(CheckFiles, TemporaryFilesLieBesideTheHostEvenWhenTheModuleLiesElsewhere)
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
    ASSERT_NE(directFiles, nullptr);
    std::string list = WriteList({WriteDesign("a.vbd")});
    UiScript ui([&](Ui &u) { u.WaitGone(PressStart(u)); });
    EXPECT_EQ(directFiles(Owner(), list.c_str(), 0), 1);
    ui.Join();
    FreeLibrary(module);
    std::vector<SimCall> dir = CallsOf("Protocol_Seq_DirUpload");
    ASSERT_EQ(dir.size(), 1u);
    EXPECT_EQ(dir[0].Arg("path"), ExeDir() + "$$UPLDir.tmp");
    EXPECT_EQ(StoredNames(1), (std::vector<std::string>{"a.vbd"}));
    EXPECT_FALSE(FileExists(sub + "$$UPLDir.tmp"));
    EXPECT_TRUE(NoDirectoryFileLeft());
    for (const char *name : {"VembDlg.dll", "VembSio.dll"})
        DeleteFileA((sub + name).c_str());
    RemoveDirectoryA(sub.c_str());
}

}  // namespace
