// The machine simulator: its two link libraries called directly, as the module calls them.
// VembSio.dll through its import; VEMBUSB.DLL loaded by name from beside the program.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <tuple>

#include "link/vemblink.h"
#include "link_ops.h"
#include "vemb_helpers.h"

using namespace vt;
using linksim::PROGRESS_STEPS;
using Names = std::vector<std::string>;

namespace {

const int SPEED = 38400;

// One interface over both libraries, so that each behaviour is tried on both.
struct LinkApi {
    std::string library;
    std::function<int(HANDLE cancel)> open;
    std::function<int()> close;
    std::function<int(DesignEntry *, int, DWORD *, VembProgressCallback)> download, upload;
    std::function<int(DWORD, DWORD, const char *, int, DWORD *, VembProgressCallback)> directDownload;
    std::function<int(const char *, int, DWORD *, VembProgressCallback)> dirUpload;
    std::function<int(BYTE, BYTE, DWORD *, VembBusyCallback)> erase;
    std::function<int(HWND, const char *, int, DWORD)> message;
    std::string downloadOp, eraseOp, dirUploadOp, messageOp;  // as the call log names them
    int listCutCode;
};

LinkApi SerialApi()
{
    using namespace std::placeholders;
    return {"serial",
            [](HANDLE cancel) { return SIO_InitializeIO("COM1", 9600, cancel); },
            SIO_TerminateIO,
            std::bind(Protocol_Seq_Download, SPEED, _1, _2, _3, _4),
            std::bind(Protocol_Seq_Upload, SPEED, _1, _2, _3, _4),
            std::bind(Protocol_Seq_Download_Direct, SPEED, _1, _2, _3, _4, _5, _6),
            std::bind(Protocol_Seq_DirUpload, SPEED, _1, _2, _3, _4),
            Protocol_Seq_Delete,
            DisplayMessageByReturnCode,
            "Protocol_Seq_Download", "Protocol_Seq_Delete", "Protocol_Seq_DirUpload", "DisplayMessageByReturnCode",
            0};
}

LinkApi UsbApi(HMODULE usb)
{
#define BIND(name) (name##_t) GetProcAddress(usb, #name)
    auto init = BIND(USB_Initialize);
    return {"usb",
            [init](HANDLE cancel) { return init(NULL, cancel); },
            BIND(USB_Terminate),
            BIND(USB_Download_Sequence),
            BIND(USB_Upload_Sequence),
            BIND(USB_DirectDownload_Sequence),
            BIND(USB_DirUpload_Sequence),
            BIND(USB_Erase_Sequence),
            BIND(USB_DisplayMessageByReturnCode),
            "USB_Download_Sequence", "USB_Erase_Sequence", "USB_DirUpload_Sequence",
            "USB_DisplayMessageByReturnCode",
            VEMB_USB_LIST_CUT};
#undef BIND
}

// ---- callbacks ----

using ProgressCall = std::array<DWORD, 4>;  // index, count, done, total
std::vector<ProgressCall> g_progress;
HANDLE g_cancel;  // set by CancelAfterFirstDesign once the first design is stored

int __stdcall RecordProgress(DWORD index, DWORD count, DWORD done, DWORD total)
{
    g_progress.push_back({index, count, done, total});
    return 1;
}

int __stdcall CancelAfterFirstDesign(DWORD index, DWORD count, DWORD done, DWORD total)
{
    if (done == PROGRESS_STEPS)
        SetEvent(g_cancel);
    return RecordProgress(index, count, done, total);
}

std::vector<ProgressCall> TakeProgress()
{
    std::vector<ProgressCall> calls;
    calls.swap(g_progress);
    return calls;
}

// The calls a sequence over `designs` designs makes: PROGRESS_STEPS per design.
std::vector<ProgressCall> ExpectedProgress(DWORD designs)
{
    std::vector<ProgressCall> calls;
    for (DWORD done = 1; done <= designs * PROGRESS_STEPS; ++done)
        calls.push_back({(done - 1) / PROGRESS_STEPS, designs, done, designs * PROGRESS_STEPS});
    return calls;
}

std::vector<int> g_busyAnswers;  // answered in order; 0 when used up
int g_busyAsked;

int __stdcall AnswerBusy()
{
    int asked = g_busyAsked++;
    return asked < (int)g_busyAnswers.size() ? g_busyAnswers[asked] : 0;
}

std::vector<char> Bytes(const std::string &text)
{
    return std::vector<char>(text.begin(), text.end());
}

// Bytes that survive no text-mode mangling: NUL, CR, LF, 0x1A, 0xFF.
std::vector<char> BinaryDesign(int seed)
{
    std::vector<char> bytes = {0, '\r', '\n', 0x1A, (char)0xFF};
    for (int i = 0; i < 700 + seed; ++i)
        bytes.push_back((char)((i * 37 + seed) & 0xFF));
    return bytes;
}

// A design entry list with its closing entry: (name or path, location, number) each.
std::vector<DesignEntry> EntryList(const std::vector<std::tuple<std::string, int, int>> &items)
{
    std::vector<DesignEntry> list(items.size() + 1);
    for (size_t i = 0; i < items.size(); ++i) {
        lstrcpynA(list[i].name, std::get<0>(items[i]).c_str(), VEMB_NAME_FIELD);
        list[i].location = (BYTE)std::get<1>(items[i]);
        list[i].number = (BYTE)std::get<2>(items[i]);
    }
    return list;
}

class LinkSim : public VembTest {
protected:
    void SetUp() override
    {
        VembTest::SetUp();
        TakeProgress();
        g_busyAnswers.clear();
        g_busyAsked = 0;
    }
    void TearDown() override
    {
        SIO_TerminateIO();
        if (usb_)
            FreeLibrary(usb_);
        VembTest::TearDown();
    }
    // Runs `body` with each library, on a fresh machine each time.
    void ForBothLinks(const std::function<void(const LinkApi &)> &body)
    {
        for (int i = 0; i < 2; ++i) {
            linksim::ResetMachine();
            LinkApi api = i == 0 ? SerialApi() : UsbApi(Usb());
            SCOPED_TRACE(api.library);
            body(api);
            api.close();
        }
    }
    HMODULE Usb()
    {
        if (!usb_) {
            UseUsb(vt::Usb::Present);
            usb_ = LoadLibraryA((ExeDir() + "VEMBUSB.DLL").c_str());
            EXPECT_NE(usb_, nullptr);
            RecordMessageBoxes(usb_);
        }
        return usb_;
    }
    std::string Path(const std::string &name) const { return WorkDir() + "\\" + name; }
    std::string File(const std::string &name, const std::vector<char> &bytes)
    {
        EXPECT_TRUE(WriteFileBytes(Path(name), bytes.data(), bytes.size()));
        return Path(name);
    }
    static std::vector<char> Stored(int location, int number)
    {
        std::vector<char> bytes;
        EXPECT_EQ(linksim::ReadDesign(location, number, &bytes), 0);
        return bytes;
    }

private:
    HMODULE usb_ = NULL;
};

// Download, directory upload, upload by number and a direct download: the bytes come back
// unchanged and the progress numbering is PROGRESS_STEPS per design.
TEST_F(LinkSim, SequencesRoundTripTheDesigns)
{
    ForBothLinks([&](const LinkApi &api) {
        std::string first = File("first.vbd", BinaryDesign(1)),
                    second = File("Second design.vbd", BinaryDesign(2));
        std::vector<DesignEntry> list = EntryList({{first, 2, 0}, {second, 2, 0}});
        ASSERT_EQ(api.open(NULL), 0);
        DWORD detail = 99;
        EXPECT_EQ(api.download(list.data(), 2, &detail, RecordProgress), 0);
        EXPECT_EQ(detail, 0u);
        EXPECT_EQ(TakeProgress(), ExpectedProgress(2));

        // The directory information: big-endian count, then length-prefixed names.
        EXPECT_EQ(api.dirUpload(Path("dir.tmp").c_str(), 2, &detail, NULL), 0);
        const char info[] = "\x00\x02\x09" "first.vbd" "\x11" "Second design.vbd";
        EXPECT_EQ(ReadFileBytes(Path("dir.tmp")), std::vector<char>(info, info + sizeof info - 1));

        std::vector<DesignEntry> back = EntryList({{Path("back2.vbd"), 2, 2}, {Path("back1.vbd"), 2, 1}});
        EXPECT_EQ(api.upload(back.data(), 2, &detail, RecordProgress), 0);
        EXPECT_EQ(ReadFileBytes(Path("back1.vbd")), BinaryDesign(1));
        EXPECT_EQ(ReadFileBytes(Path("back2.vbd")), BinaryDesign(2));
        EXPECT_EQ(TakeProgress(), ExpectedProgress(2));

        std::vector<char> design = BinaryDesign(9);
        EXPECT_EQ(api.directDownload((DWORD)(ULONG_PTR)design.data(), (DWORD)design.size(), "Rose:1.vbd", 6,
                                     &detail, RecordProgress),
                  0);
        EXPECT_EQ(TakeProgress(), ExpectedProgress(1));
        EXPECT_EQ(StoredNames(6), Names{"Rose:1.vbd"});
        EXPECT_EQ(Stored(6, 1), design);
    });
}

TEST_F(LinkSim, DeleteRenumbersTheDesignsBehind)
{
    ForBothLinks([&](const LinkApi &api) {
        for (const char *name : {"A.vbd", "B.vbd", "C.vbd", "D.vbd"})
            SeedDesign(1, name, Bytes(name));
        ASSERT_EQ(api.open(NULL), 0);
        DWORD detail = 5;
        EXPECT_EQ(api.erase(1, 2, &detail, AnswerBusy), 0);
        EXPECT_EQ(detail, 0u);
        EXPECT_EQ(api.erase(1, 3, &detail, AnswerBusy), 0);  // the old design 4
        EXPECT_EQ(StoredNames(1), (Names{"A.vbd", "C.vbd"}));
        EXPECT_EQ(Stored(1, 2), Bytes("C.vbd"));
        EXPECT_EQ(api.erase(1, 3, &detail, AnswerBusy), linksim::SIM_ERR_NO_DESIGN);
        EXPECT_EQ(api.erase(3, 1, &detail, AnswerBusy), linksim::SIM_ERR_LOCATION);
        EXPECT_EQ(g_busyAsked, 0);
    });
}

TEST_F(LinkSim, ALocationHoldsAtMost100Designs)
{
    ForBothLinks([&](const LinkApi &api) {
        for (int i = 1; i <= 99; ++i)
            SeedDesign(2, "stored" + std::to_string(i) + ".vbd", Bytes("s"));
        std::vector<DesignEntry> list =
            EntryList({{File("a.vbd", Bytes("a")), 2, 0}, {File("b.vbd", Bytes("b")), 2, 0}});
        ASSERT_EQ(api.open(NULL), 0);
        DWORD detail = 0;
        EXPECT_EQ(api.download(list.data(), 2, &detail, NULL), linksim::SIM_ERR_FULL);
        EXPECT_EQ(detail, 2u);
        ASSERT_EQ(StoredNames(2).size(), 100u);
        EXPECT_EQ(StoredNames(2).back(), "a.vbd");
        // A full location still takes a design it already holds, in place.
        list = EntryList({{File("stored7.vbd", Bytes("replaced")), 2, 0}});
        EXPECT_EQ(api.download(list.data(), 1, &detail, NULL), 0);
        EXPECT_EQ(Stored(2, 7), Bytes("replaced"));
        EXPECT_EQ(api.directDownload((DWORD)(ULONG_PTR) "xy", 2, "new.vbd", 2, &detail, NULL),
                  linksim::SIM_ERR_FULL);
        EXPECT_EQ(StoredNames(2).size(), 100u);
    });
}

// The module cuts a list to the room left by emptying an entry: what precedes it is stored,
// serial answers 0 and USB -13; the log shows every entry up to the count.
TEST_F(LinkSim, ListClosedEarlyStoresWhatPrecedesTheCut)
{
    ForBothLinks([&](const LinkApi &api) {
        std::string a = File("a.vbd", Bytes("a")), b = File("b.vbd", Bytes("b")), c = File("c.vbd", Bytes("c"));
        std::vector<DesignEntry> list = EntryList({{a, 1, 0}, {b, 1, 0}, {c, 1, 0}});
        list[1].name[0] = '\0';
        ASSERT_EQ(api.open(NULL), 0);
        DWORD detail = 0;
        EXPECT_EQ(api.download(list.data(), 3, &detail, RecordProgress), api.listCutCode);
        EXPECT_EQ(StoredNames(1), Names{"a.vbd"});
        EXPECT_EQ(TakeProgress(), ExpectedProgress(1));
        std::vector<SimCall> calls = CallsOf(api.downloadOp);
        ASSERT_EQ(calls.size(), 1u);
        ASSERT_EQ(calls[0].entries.size(), 3u);
        EXPECT_EQ(calls[0].entries[1].name, "");
        EXPECT_EQ(calls[0].entries[2].name, c);
        list = EntryList({{b, 1, 0}, {c, 1, 0}});
        EXPECT_EQ(api.download(list.data(), 2, &detail, NULL), 0);
        EXPECT_EQ(StoredNames(1), (Names{"a.vbd", "b.vbd", "c.vbd"}));
    });
}

TEST_F(LinkSim, BusyMachineAsksAndRetries)
{
    ForBothLinks([&](const LinkApi &api) {
        for (const char *name : {"A.vbd", "B.vbd", "C.vbd"})
            SeedDesign(1, name, Bytes(name));
        ASSERT_EQ(api.open(NULL), 0);
        DWORD detail = 0;
        SetFaults("busy=2\n");  // Retry twice: deleted
        g_busyAnswers = {1, 1};
        g_busyAsked = 0;
        EXPECT_EQ(api.erase(1, 1, &detail, AnswerBusy), 0);
        EXPECT_EQ(g_busyAsked, 2);
        EXPECT_EQ(StoredNames(1), (Names{"B.vbd", "C.vbd"}));
        EXPECT_EQ(CallsOf(api.eraseOp)[0].events, (Names{"busy -> 1", "busy -> 1"}));

        // Cancel gives up and deletes nothing; the busy answers stay used up across calls.
        SetFaults("busy=1\n");
        g_busyAnswers = {0};
        g_busyAsked = 0;
        EXPECT_EQ(api.erase(1, 1, &detail, AnswerBusy), linksim::SIM_ERR_GAVE_UP_BUSY);
        EXPECT_EQ(api.erase(1, 1, &detail, AnswerBusy), 0);
        EXPECT_EQ(g_busyAsked, 1);
        EXPECT_EQ(StoredNames(1), Names{"C.vbd"});
        SetFaults("busy=1\n");  // without a callback a busy machine gives up
        EXPECT_EQ(api.erase(1, 1, &detail, NULL), linksim::SIM_ERR_GAVE_UP_BUSY);
    });
}

TEST_F(LinkSim, ForcedFailuresAlwaysOrOnceWithTheirDetail)
{
    ForBothLinks([&](const LinkApi &api) {
        SeedDesign(1, "A.vbd", Bytes("a"));
        SeedDesign(1, "B.vbd", Bytes("b"));
        SetFaults("fail." + api.eraseOp + "=5,77,once\nfail." + api.dirUploadOp + "=-21\n");
        ASSERT_EQ(api.open(NULL), 0);
        DWORD detail = 0;
        EXPECT_EQ(api.erase(1, 1, &detail, AnswerBusy), 5);
        EXPECT_EQ(detail, 77u);
        EXPECT_EQ(StoredNames(1).size(), 2u) << "a forced failure does nothing";
        EXPECT_EQ(api.erase(1, 1, &detail, AnswerBusy), 0);
        EXPECT_EQ(detail, 0u);
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ(api.dirUpload(Path("dir.tmp").c_str(), 1, &detail, NULL), -21);
        EXPECT_FALSE(FileExists(Path("dir.tmp")));
        EXPECT_EQ(CallsOf(api.eraseOp)[0].events, (Names{"forced", "detail 77"}));
    });
}

TEST_F(LinkSim, CancelStopsTheSequenceAndKeepsWhatWasStored)
{
    ForBothLinks([&](const LinkApi &api) {
        std::string file = File("d.vbd", Bytes("design"));
        std::vector<DesignEntry> list = EntryList({{file, 1, 0}, {file, 2, 0}, {file, 4, 0}});
        g_cancel = CreateEventA(NULL, TRUE, FALSE, NULL);
        ASSERT_EQ(api.open(g_cancel), 0);
        DWORD detail = 0;
        int result = api.download(list.data(), 3, &detail, CancelAfterFirstDesign);
        CloseHandle(g_cancel);
        EXPECT_EQ(result, linksim::SIM_ERR_CANCELLED);
        EXPECT_EQ(detail, 2u);
        EXPECT_EQ(StoredNames(1), Names{"d.vbd"});
        EXPECT_TRUE(StoredNames(2).empty());
        std::vector<ProgressCall> firstDesign = ExpectedProgress(3);
        firstDesign.resize(PROGRESS_STEPS);
        EXPECT_EQ(TakeProgress(), firstDesign);
        Names events = CallsOf(api.downloadOp).at(0).events;
        EXPECT_NE(std::find(events.begin(), events.end(), "cancelled"), events.end());
    });
}

// The serial line opens only on the machine's port; closed, every sequence answers the
// port code. USB follows the cable.
TEST_F(LinkSim, LinkOpensOnlyWhereTheMachineIs)
{
    SetFaults("port=COM3\n");
    DWORD detail = 0;
    EXPECT_EQ(SIO_InitializeIO("COM1", 9600, NULL), linksim::SIM_ERR_PORT);
    EXPECT_EQ(Protocol_Seq_DirUpload(SPEED, Path("dir.tmp").c_str(), 1, &detail, NULL), linksim::SIM_ERR_PORT);
    EXPECT_EQ(SIO_InitializeIO("com3", 9600, NULL), 0);
    EXPECT_EQ(Protocol_Seq_DirUpload(SPEED, Path("dir.tmp").c_str(), 1, &detail, NULL), 0);
    EXPECT_EQ(ReadFileBytes(Path("dir.tmp")), std::vector<char>(2, 0));
    EXPECT_EQ(SIO_TerminateIO(), 0);
    EXPECT_EQ(Protocol_Seq_Delete(1, 1, &detail, NULL), linksim::SIM_ERR_PORT);
    SetFaults("fail.SIO_InitializeIO=4,once\n");
    EXPECT_EQ(SIO_InitializeIO("COM1", 9600, NULL), 4);
    EXPECT_EQ(Protocol_Seq_Delete(1, 1, &detail, NULL), linksim::SIM_ERR_PORT) << "a failed open leaves it closed";

    LinkApi usb = UsbApi(Usb());
    auto eventProc = (USB_EventProc_t)GetProcAddress(Usb(), "USB_EventProc");
    EXPECT_EQ(usb.open(NULL), 0);
    EXPECT_EQ(eventProc(Owner(), 0x8004, 0), 0);
    SetFaults("usb=disconnected\n");
    EXPECT_EQ(usb.open(NULL), linksim::SIM_ERR_NOT_CONNECTED);
    EXPECT_EQ(eventProc(Owner(), 0x8004, 0), -1);
    EXPECT_EQ(usb.erase(1, 1, &detail, NULL), linksim::SIM_ERR_NOT_CONNECTED);
}

// The message operation shows a box over the owner with the link caption, or only logs.
TEST_F(LinkSim, MessageShowsItsBoxOrOnlyLogs)
{
    ForBothLinks([&](const LinkApi &api) {
        ClearRecordedMessageBoxes();
        UiScript ui([&](Ui &u) {
            MessageBoxInfo box = u.WaitMessageBox("Receiving");
            EXPECT_EQ(box.text, "Loomstar link error 11 (detail 7).\nThe design was not found on the machine.");
            EXPECT_EQ(box.style, (UINT)MB_ICONHAND);
            EXPECT_EQ(box.owner, Owner());
            u.Answer(box, IDOK);
        });
        EXPECT_EQ(api.message(Owner(), "Receiving", 11, 7), 0);
        ui.Join();
        SetFaults("message=log\n");
        EXPECT_EQ(api.message(Owner(), "Delete", 12, 0), 0);
        EXPECT_EQ(RecordedMessageBoxes().size(), 1u);
        std::vector<SimCall> calls = CallsOf(api.messageOp);
        ASSERT_EQ(calls.size(), 2u);
        EXPECT_EQ(calls[1].args, (std::map<std::string, std::string>{
                                     {"caption", "Delete"}, {"code", "12"}, {"detail", "0"}}));
    });
}

// The call log as the harness reads it: arguments, entries, events and results.
TEST_F(LinkSim, CallLogRecordsArgumentsEntriesAndResults)
{
    std::string a = File("a.vbd", Bytes("a"));
    HANDLE cancel = CreateEventA(NULL, TRUE, FALSE, NULL);
    ASSERT_EQ(SIO_InitializeIO("COM1", 9600, cancel), 0);
    std::vector<DesignEntry> list = EntryList({{a, 5, 0}});
    DWORD detail = 0;
    EXPECT_EQ(Protocol_Seq_Download(SPEED, list.data(), 1, &detail, RecordProgress), 0);
    EXPECT_EQ(Protocol_Seq_Download_Direct(SPEED, (DWORD)(ULONG_PTR) "xyz", 3, "say \"hi\"\\.vbd", 2, &detail,
                                           NULL),
              0);
    EXPECT_EQ(SIO_TerminateIO(), 0);
    CloseHandle(cancel);

    std::vector<SimCall> calls = ReadSimCalls();
    ASSERT_EQ(SimOps(), (Names{"SIO_InitializeIO", "Protocol_Seq_Download", "Protocol_Seq_Download_Direct",
                               "SIO_TerminateIO"}));
    using Args = std::map<std::string, std::string>;
    EXPECT_EQ(calls[0].args, (Args{{"port", "COM1"}, {"speed", "9600"}, {"cancel", "yes"}}));
    EXPECT_EQ(calls[1].args, (Args{{"speed", "38400"}, {"count", "1"}, {"progress", "yes"}}));
    ASSERT_EQ(calls[1].entries.size(), 1u);
    EXPECT_EQ(calls[1].entries[0].name, a);
    EXPECT_EQ(calls[1].entries[0].location, 5);
    EXPECT_EQ(calls[1].events,
              (Names{"progress 0/1 1/4", "progress 0/1 2/4", "progress 0/1 3/4", "progress 0/1 4/4"}));
    EXPECT_EQ(calls[2].args, (Args{{"speed", "38400"},
                                   {"size", "3"},
                                   {"name", "say \"hi\"\\.vbd"},
                                   {"location", "2"},
                                   {"progress", "no"}}));
    for (const SimCall &c : calls) {
        EXPECT_TRUE(c.hasResult) << c.op;
        EXPECT_EQ(c.result, 0) << c.op;
    }
}

}  // namespace
