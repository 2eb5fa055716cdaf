// The machine simulator: its two link libraries called directly, as the module calls them.
// VembSio.dll through its import; VEMBUSB.DLL loaded by name from beside the program.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <tuple>

#include "link/vemblink.h"
#include "link_ops.h"
#include "vemb_fixture.h"

using namespace vt;
using linksim::PROGRESS_STEPS;

namespace {

// ---- one interface over both libraries, so each behaviour is tried on both ----

struct LinkApi {
    std::string library;  // "serial" or "usb", for failure messages
    std::function<int(HANDLE cancel)> open;
    std::function<int()> close;
    std::function<int(DesignEntry *, int, DWORD *, VembProgressCallback)> download;
    std::function<int(DWORD, DWORD, const char *, int, DWORD *, VembProgressCallback)> directDownload;
    std::function<int(const char *, int, DWORD *, VembProgressCallback)> dirUpload;
    std::function<int(DesignEntry *, int, DWORD *, VembProgressCallback)> upload;
    std::function<int(BYTE, BYTE, DWORD *, VembBusyCallback)> erase;
    std::function<int(HWND, const char *, int, DWORD)> message;
    // Operation names as the call log writes them.
    std::string downloadOp, dirUploadOp, uploadOp, eraseOp, messageOp;
    int listCutCode;
};

const int SPEED = 38400;

LinkApi SerialApi()
{
    LinkApi api;
    api.library = "serial";
    api.open = [](HANDLE cancel) { return SIO_InitializeIO("COM1", 9600, cancel); };
    api.close = [] { return SIO_TerminateIO(); };
    api.download = [](DesignEntry *l, int n, DWORD *d, VembProgressCallback p) {
        return Protocol_Seq_Download(SPEED, l, n, d, p);
    };
    api.directDownload = [](DWORD data, DWORD size, const char *name, int loc, DWORD *d, VembProgressCallback p) {
        return Protocol_Seq_Download_Direct(SPEED, data, size, name, loc, d, p);
    };
    api.dirUpload = [](const char *path, int loc, DWORD *d, VembProgressCallback p) {
        return Protocol_Seq_DirUpload(SPEED, path, loc, d, p);
    };
    api.upload = [](DesignEntry *l, int n, DWORD *d, VembProgressCallback p) {
        return Protocol_Seq_Upload(SPEED, l, n, d, p);
    };
    api.erase = Protocol_Seq_Delete;
    api.message = DisplayMessageByReturnCode;
    api.downloadOp = "Protocol_Seq_Download";
    api.dirUploadOp = "Protocol_Seq_DirUpload";
    api.uploadOp = "Protocol_Seq_Upload";
    api.eraseOp = "Protocol_Seq_Delete";
    api.messageOp = "DisplayMessageByReturnCode";
    api.listCutCode = 0;
    return api;
}

template <class T> T Bind(HMODULE module, const char *name)
{
    T f = (T)GetProcAddress(module, name);
    EXPECT_NE(f, nullptr) << name;
    return f;
}

LinkApi UsbApi(HMODULE usb)
{
    LinkApi api;
    api.library = "usb";
    auto init = Bind<USB_Initialize_t>(usb, "USB_Initialize");
    api.open = [init](HANDLE cancel) { return init(NULL, cancel); };
    api.close = Bind<USB_Terminate_t>(usb, "USB_Terminate");
    api.download = Bind<USB_Download_Sequence_t>(usb, "USB_Download_Sequence");
    api.directDownload = Bind<USB_DirectDownload_Sequence_t>(usb, "USB_DirectDownload_Sequence");
    api.dirUpload = Bind<USB_DirUpload_Sequence_t>(usb, "USB_DirUpload_Sequence");
    api.upload = Bind<USB_Upload_Sequence_t>(usb, "USB_Upload_Sequence");
    api.erase = Bind<USB_Erase_Sequence_t>(usb, "USB_Erase_Sequence");
    api.message = Bind<USB_DisplayMessageByReturnCode_t>(usb, "USB_DisplayMessageByReturnCode");
    api.downloadOp = "USB_Download_Sequence";
    api.dirUploadOp = "USB_DirUpload_Sequence";
    api.uploadOp = "USB_Upload_Sequence";
    api.eraseOp = "USB_Erase_Sequence";
    api.messageOp = "USB_DisplayMessageByReturnCode";
    api.listCutCode = VEMB_USB_LIST_CUT;
    return api;
}

// ---- callbacks ----

struct ProgressCall {
    DWORD index, count, done, total;
    bool operator==(const ProgressCall &o) const
    {
        return index == o.index && count == o.count && done == o.done && total == o.total;
    }
};
std::mutex g_progressLock;
std::vector<ProgressCall> g_progress;

int __stdcall RecordProgress(DWORD index, DWORD count, DWORD done, DWORD total)
{
    std::lock_guard<std::mutex> hold(g_progressLock);
    g_progress.push_back({index, count, done, total});
    return 1;
}

std::vector<ProgressCall> TakeProgress()
{
    std::lock_guard<std::mutex> hold(g_progressLock);
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

HANDLE g_cancelReached, g_cancelSet;

int __stdcall CancelAfterFirstDesign(DWORD index, DWORD count, DWORD done, DWORD total)
{
    RecordProgress(index, count, done, total);
    if (done == PROGRESS_STEPS) {
        SetEvent(g_cancelReached);
        WaitForSingleObject(g_cancelSet, 30000);
    }
    return 1;
}

DWORD WINAPI SetCancelWhenReached(LPVOID cancel)
{
    WaitForSingleObject(g_cancelReached, 30000);
    SetEvent((HANDLE)cancel);
    SetEvent(g_cancelSet);
    return 0;
}

std::vector<int> g_busyAnswers;  // answered in order; 0 when used up
int g_busyAsked;

int __stdcall AnswerBusy()
{
    int answer = g_busyAsked < (int)g_busyAnswers.size() ? g_busyAnswers[g_busyAsked] : 0;
    ++g_busyAsked;
    return answer;
}

// ---- the fixture ----

class LinkSimTest : public VembTest {
protected:
    void SetUp() override
    {
        VembTest::SetUp();
        RecordMessageBoxes(GetModuleHandleA("VembSio.dll"));
        TakeProgress();
        g_busyAnswers.clear();
        g_busyAsked = 0;
    }

    void TearDown() override
    {
        SIO_TerminateIO();
        if (usb_)
            FreeLibrary(usb_);
        usb_ = NULL;
        VembTest::TearDown();
    }

    LinkApi Serial() { return SerialApi(); }

    LinkApi Usb()
    {
        if (!usb_) {
            UseUsb(vt::Usb::Present);
            usb_ = LoadLibraryA((ExeDir() + "VEMBUSB.DLL").c_str());
            EXPECT_NE(usb_, nullptr);
            RecordMessageBoxes(usb_);
        }
        return UsbApi(usb_);
    }

    HMODULE UsbModule() const { return usb_; }

    // A design file of the test's own.
    std::string DesignFile(const std::string &name, const std::vector<char> &bytes)
    {
        std::string path = WorkDir() + "\\" + name;
        EXPECT_TRUE(WriteFileBytes(path, bytes.data(), bytes.size()));
        return path;
    }

    std::string Path(const std::string &name) const { return WorkDir() + "\\" + name; }

private:
    HMODULE usb_ = NULL;
};

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

std::vector<char> Bytes(const std::string &text)
{
    return std::vector<char>(text.begin(), text.end());
}

// Some bytes that survive no text-mode mangling: NUL, CR, LF, 0x1A, 0xFF.
std::vector<char> BinaryDesign(int seed)
{
    std::vector<char> bytes;
    for (int i = 0; i < 700 + seed; ++i)
        bytes.push_back((char)((i * 37 + seed) & 0xFF));
    bytes[3] = 0;
    bytes[4] = '\r';
    bytes[5] = '\n';
    bytes[6] = 0x1A;
    return bytes;
}

struct DirInfo {
    int count = -1;
    std::vector<std::string> names;
};

// Reads a directory information file: big-endian count, then length-prefixed names.
DirInfo ReadDirInfo(const std::string &path)
{
    DirInfo info;
    std::vector<char> bytes = ReadFileBytes(path);
    if (bytes.size() < 2)
        return info;
    info.count = (BYTE)bytes[0] * 256 + (BYTE)bytes[1];
    size_t at = 2;
    while (at < bytes.size()) {
        size_t length = (BYTE)bytes[at];
        info.names.push_back(std::string(bytes.begin() + at + 1, bytes.begin() + std::min(bytes.size(), at + 1 + length)));
        at += 1 + length;
    }
    return info;
}

std::vector<SimCall> CallsOf(const std::string &op)
{
    std::vector<SimCall> calls;
    for (const SimCall &c : ReadSimCalls())
        if (c.op == op)
            calls.push_back(c);
    return calls;
}

// ---- the machine's memory ----

class SimMachine : public LinkSimTest {};

TEST_F(SimMachine, AnyMachineNameIsStoredAndListedInOrder)
{
    const std::string longName = std::string(300, 'n') + ".vbd";
    const std::vector<std::string> names = {"a:b", "tab\there", "back\\slash", "new\nline", longName, "*?.vbd"};
    for (size_t i = 0; i < names.size(); ++i)
        SeedDesign(5, names[i], BinaryDesign((int)i));
    EXPECT_EQ(StoredNames(5), names);
    for (size_t i = 0; i < names.size(); ++i) {
        std::vector<char> bytes;
        ASSERT_EQ(linksim::ReadDesign(5, (int)i + 1, &bytes), 0);
        EXPECT_EQ(bytes, BinaryDesign((int)i)) << names[i];
    }
    // The directory information cuts a name to 255 bytes.
    std::vector<char> info = linksim::DirectoryInformation(5);
    ASSERT_TRUE(WriteFileBytes(Path("dir.bin"), info.data(), info.size()));
    DirInfo dir = ReadDirInfo(Path("dir.bin"));
    EXPECT_EQ(dir.count, 6);
    ASSERT_EQ(dir.names.size(), 6u);
    EXPECT_EQ(dir.names[4], longName.substr(0, 255));
    EXPECT_EQ(dir.names[0], "a:b");
}

TEST_F(SimMachine, LocationsAreSeparateAndCodeThreeIsNone)
{
    SeedDesign(1, "one.vbd", Bytes("1"));
    SeedDesign(6, "six.vbd", Bytes("6"));
    EXPECT_EQ(StoredNames(1), std::vector<std::string>{"one.vbd"});
    EXPECT_EQ(StoredNames(6), std::vector<std::string>{"six.vbd"});
    EXPECT_TRUE(StoredNames(2).empty());
    EXPECT_EQ(linksim::StoreDesign(3, "x", "x", 1), linksim::SIM_ERR_LOCATION);
    EXPECT_EQ(linksim::StoreDesign(0, "x", "x", 1), linksim::SIM_ERR_LOCATION);
}

TEST_F(SimMachine, StoringAStoredNameReplacesItInPlace)
{
    SeedDesign(1, "A.vbd", Bytes("a"));
    SeedDesign(1, "B.vbd", Bytes("b"));
    SeedDesign(1, "C.vbd", Bytes("c"));
    SeedDesign(1, "B.vbd", Bytes("new b"));
    EXPECT_EQ(StoredNames(1), (std::vector<std::string>{"A.vbd", "B.vbd", "C.vbd"}));
    std::vector<char> bytes;
    ASSERT_EQ(linksim::ReadDesign(1, 2, &bytes), 0);
    EXPECT_EQ(bytes, Bytes("new b"));
}

TEST_F(SimMachine, ResetForgetsDesignsFaultsAndLog)
{
    SeedDesign(2, "A.vbd", Bytes("a"));
    SetFaults("usb=disconnected\nbusy=3\n");
    EXPECT_EQ(SIO_TerminateIO(), 0);
    ASSERT_FALSE(ReadSimCalls().empty());
    linksim::ResetMachine();
    EXPECT_TRUE(StoredNames(2).empty());
    EXPECT_TRUE(ReadSimCalls().empty());
    EXPECT_TRUE(linksim::LoadFaults().usbConnected);
    EXPECT_EQ(linksim::LoadFaults().busy, 0);
}

TEST_F(SimMachine, FaultFileKeys)
{
    SetFaults("# a comment\n  USB = Disconnected \nport=COM4\r\nbusy=2\ndelay=15\nmessage=log\nunknown=1\n");
    linksim::Faults f = linksim::LoadFaults();
    EXPECT_FALSE(f.usbConnected);
    EXPECT_EQ(f.port, "COM4");
    EXPECT_EQ(f.busy, 2);
    EXPECT_EQ(f.delayMs, 15);
    EXPECT_FALSE(f.messageBox);
    SetFaults("");
    f = linksim::LoadFaults();
    EXPECT_TRUE(f.usbConnected);
    EXPECT_EQ(f.port, "COM1");
    EXPECT_TRUE(f.messageBox);
}

// The message text is documented for host developers: keep it stable.
TEST_F(SimMachine, MessageTextNamesCodeDetailAndMeaning)
{
    const std::pair<int, const char *> table[] = {
        {1, "No Loomstar machine is connected over USB."},
        {2, "The Loomstar machine does not answer on the serial port."},
        {3, "The transfer was cancelled."},
        {10, "The memory location already holds 100 designs."},
        {11, "The design was not found on the machine."},
        {12, "The machine was busy and the operation was given up."},
        {13, "A file on the computer cannot be read or written."},
        {14, "The machine has no such memory location."},
        {-13, "The list was closed early; the designs before the cut were stored."},
        {99, "The machine reported an unknown error."},
    };
    for (const auto &row : table)
        EXPECT_EQ(linksim::MessageText(row.first, 4000000000u),
                  "Loomstar link error " + std::to_string(row.first) + " (detail 4000000000).\n" + row.second);
}

// ---- sequences, on both libraries ----

class SimSequences : public LinkSimTest {
protected:
    // Runs `body` once with each library, on a fresh machine each time.
    void ForBothLinks(const std::function<void(const LinkApi &)> &body)
    {
        for (int i = 0; i < 2; ++i) {
            linksim::ResetMachine();
            LinkApi api = i == 0 ? Serial() : Usb();
            SCOPED_TRACE(api.library);
            body(api);
            api.close();
        }
    }
};

void DownloadListsAndUploadsBack(const LinkApi &api, const std::string &dir, const std::string &first,
                                 const std::string &second)
{
    std::vector<DesignEntry> list = EntryList({{first, 2, 0}, {second, 2, 0}});
    ASSERT_EQ(api.open(NULL), 0);
    DWORD detail = 99;
    EXPECT_EQ(api.download(list.data(), 2, &detail, RecordProgress), 0);
    EXPECT_EQ(detail, 0u);
    EXPECT_EQ(TakeProgress(), ExpectedProgress(2));
    EXPECT_EQ(api.close(), 0);

    // Directory upload lists both, with count and stored order; the callback may be null.
    std::string dirPath = dir + "\\$$UPLDir.tmp";
    ASSERT_EQ(api.open(NULL), 0);
    EXPECT_EQ(api.dirUpload(dirPath.c_str(), 2, &detail, NULL), 0);
    api.close();
    DirInfo info = ReadDirInfo(dirPath);
    EXPECT_EQ(info.count, 2);
    EXPECT_EQ(info.names, (std::vector<std::string>{"first.vbd", "Second design.vbd"}));
    EXPECT_TRUE(TakeProgress().empty());

    // Upload by number (design 2 first) writes the bytes back unchanged.
    std::vector<DesignEntry> back = EntryList({{dir + "\\back2.vbd", 2, 2}, {dir + "\\back1.vbd", 2, 1}});
    ASSERT_EQ(api.open(NULL), 0);
    EXPECT_EQ(api.upload(back.data(), 2, &detail, RecordProgress), 0);
    api.close();
    EXPECT_EQ(ReadFileBytes(dir + "\\back1.vbd"), ReadFileBytes(first));
    EXPECT_EQ(ReadFileBytes(dir + "\\back2.vbd"), ReadFileBytes(second));
    EXPECT_EQ(TakeProgress(), ExpectedProgress(2));
}

TEST_F(SimSequences, DownloadDirUploadAndUploadRoundTrip)
{
    ForBothLinks([&](const LinkApi &api) {
        std::string a = DesignFile("first.vbd", BinaryDesign(1));
        std::string b = DesignFile("Second design.vbd", BinaryDesign(2));
        DownloadListsAndUploadsBack(api, WorkDir(), a, b);
    });
}

TEST_F(SimSequences, DeleteRenumbersTheDesignsBehind)
{
    ForBothLinks([&](const LinkApi &api) {
        for (const char *name : {"A.vbd", "B.vbd", "C.vbd", "D.vbd"})
            SeedDesign(1, name, Bytes(name));
        ASSERT_EQ(api.open(NULL), 0);
        DWORD detail = 5;
        EXPECT_EQ(api.erase(1, 2, &detail, AnswerBusy), 0);
        EXPECT_EQ(detail, 0u);
        EXPECT_EQ(StoredNames(1), (std::vector<std::string>{"A.vbd", "C.vbd", "D.vbd"}));
        // The old design 4 is now 3.
        EXPECT_EQ(api.erase(1, 3, &detail, AnswerBusy), 0);
        EXPECT_EQ(StoredNames(1), (std::vector<std::string>{"A.vbd", "C.vbd"}));
        EXPECT_EQ(api.erase(1, 3, &detail, AnswerBusy), linksim::SIM_ERR_NO_DESIGN);
        EXPECT_EQ(api.erase(1, 0, &detail, AnswerBusy), linksim::SIM_ERR_NO_DESIGN);
        EXPECT_EQ(api.erase(3, 1, &detail, AnswerBusy), linksim::SIM_ERR_LOCATION);
        EXPECT_EQ(g_busyAsked, 0);
        std::vector<char> bytes;
        ASSERT_EQ(linksim::ReadDesign(1, 2, &bytes), 0);
        EXPECT_EQ(bytes, Bytes("C.vbd"));
    });
}

TEST_F(SimSequences, UploadOfAMissingDesignFailsWithItsPosition)
{
    ForBothLinks([&](const LinkApi &api) {
        SeedDesign(4, "card.vbd", Bytes("card"));
        std::vector<DesignEntry> list = EntryList({{Path("ok.vbd"), 4, 1}, {Path("missing.vbd"), 4, 2}});
        ASSERT_EQ(api.open(NULL), 0);
        DWORD detail = 0;
        EXPECT_EQ(api.upload(list.data(), 2, &detail, RecordProgress), linksim::SIM_ERR_NO_DESIGN);
        EXPECT_EQ(detail, 2u);
        EXPECT_EQ(ReadFileBytes(Path("ok.vbd")), Bytes("card"));
        EXPECT_FALSE(FileExists(Path("missing.vbd")));
        // A destination that cannot be written.
        list = EntryList({{Path("no such folder\\x.vbd"), 4, 1}});
        EXPECT_EQ(api.upload(list.data(), 1, &detail, RecordProgress), linksim::SIM_ERR_FILE);
        EXPECT_EQ(detail, 1u);
        DeleteFileA(Path("ok.vbd").c_str());
    });
}

TEST_F(SimSequences, ALocationHoldsAtMost100Designs)
{
    ForBothLinks([&](const LinkApi &api) {
        for (int i = 1; i <= 99; ++i)
            SeedDesign(2, "stored" + std::to_string(i) + ".vbd", Bytes("s"));
        std::string a = DesignFile("a.vbd", Bytes("a")), b = DesignFile("b.vbd", Bytes("b"));
        std::string again = DesignFile("stored7.vbd", Bytes("replaced"));
        std::vector<DesignEntry> list = EntryList({{a, 2, 0}, {b, 2, 0}});
        ASSERT_EQ(api.open(NULL), 0);
        DWORD detail = 0;
        EXPECT_EQ(api.download(list.data(), 2, &detail, RecordProgress), linksim::SIM_ERR_FULL);
        EXPECT_EQ(detail, 2u);
        std::vector<std::string> names = StoredNames(2);
        ASSERT_EQ(names.size(), 100u);
        EXPECT_EQ(names.back(), "a.vbd");
        // A full location still takes a design it already holds, in place.
        list = EntryList({{again, 2, 0}});
        EXPECT_EQ(api.download(list.data(), 1, &detail, RecordProgress), 0);
        std::vector<char> bytes;
        ASSERT_EQ(linksim::ReadDesign(2, 7, &bytes), 0);
        EXPECT_EQ(bytes, Bytes("replaced"));
        EXPECT_EQ(api.directDownload((DWORD)(ULONG_PTR) "xy", 2, "new.vbd", 2, &detail, NULL), linksim::SIM_ERR_FULL);
        EXPECT_EQ(StoredNames(2).size(), 100u);
    });
}

TEST_F(SimSequences, ListClosedEarlyStoresWhatPrecedesTheCut)
{
    ForBothLinks([&](const LinkApi &api) {
        std::string a = DesignFile("a.vbd", Bytes("a")), b = DesignFile("b.vbd", Bytes("b")),
                    c = DesignFile("c.vbd", Bytes("c"));
        std::vector<DesignEntry> list = EntryList({{a, 1, 0}, {b, 1, 0}, {c, 1, 0}});
        list[1].name[0] = '\0';  // the module cuts a list to the room left this way
        ASSERT_EQ(api.open(NULL), 0);
        DWORD detail = 0;
        EXPECT_EQ(api.download(list.data(), 3, &detail, RecordProgress), api.listCutCode);
        EXPECT_EQ(StoredNames(1), std::vector<std::string>{"a.vbd"});
        EXPECT_EQ(TakeProgress(), ExpectedProgress(1));
        // The log shows every entry up to the count, the emptied one with an empty name.
        std::vector<SimCall> calls = CallsOf(api.downloadOp);
        ASSERT_EQ(calls.size(), 1u);
        ASSERT_EQ(calls[0].entries.size(), 3u);
        EXPECT_EQ(calls[0].entries[0].name, a);
        EXPECT_EQ(calls[0].entries[1].name, "");
        EXPECT_EQ(calls[0].entries[2].name, c);
        EXPECT_EQ(calls[0].Arg("count"), "3");
        // A whole list answers 0 on both links.
        list = EntryList({{b, 1, 0}, {c, 1, 0}});
        EXPECT_EQ(api.download(list.data(), 2, &detail, NULL), 0);
        EXPECT_EQ(StoredNames(1), (std::vector<std::string>{"a.vbd", "b.vbd", "c.vbd"}));
    });
}

TEST_F(SimSequences, UnreadableFileStopsTheDownloadKeepingWhatWasStored)
{
    ForBothLinks([&](const LinkApi &api) {
        std::string a = DesignFile("a.vbd", Bytes("a"));
        std::vector<DesignEntry> list = EntryList({{a, 1, 0}, {Path("gone.vbd"), 1, 0}, {a, 2, 0}});
        ASSERT_EQ(api.open(NULL), 0);
        DWORD detail = 0;
        EXPECT_EQ(api.download(list.data(), 3, &detail, RecordProgress), linksim::SIM_ERR_FILE);
        EXPECT_EQ(detail, 2u);
        EXPECT_EQ(StoredNames(1), std::vector<std::string>{"a.vbd"});
        EXPECT_TRUE(StoredNames(2).empty());
        list = EntryList({{a, 3, 0}});
        EXPECT_EQ(api.download(list.data(), 1, &detail, RecordProgress), linksim::SIM_ERR_LOCATION);
        EXPECT_EQ(detail, 1u);
    });
}

TEST_F(SimSequences, DirectDownloadStoresTheHostsBytesUnderTheName)
{
    ForBothLinks([&](const LinkApi &api) {
        std::vector<char> design = BinaryDesign(9);
        ASSERT_EQ(api.open(NULL), 0);
        DWORD detail = 0;
        EXPECT_EQ(api.directDownload((DWORD)(ULONG_PTR)design.data(), (DWORD)design.size(), "Rose:1.vbd", 6, &detail,
                                     RecordProgress),
                  0);
        EXPECT_EQ(TakeProgress(), ExpectedProgress(1));
        ASSERT_EQ(StoredNames(6), std::vector<std::string>{"Rose:1.vbd"});
        std::vector<char> bytes;
        ASSERT_EQ(linksim::ReadDesign(6, 1, &bytes), 0);
        EXPECT_EQ(bytes, design);
    });
}

TEST_F(SimSequences, BusyMachineAsksAndRetries)
{
    ForBothLinks([&](const LinkApi &api) {
        for (const char *name : {"A.vbd", "B.vbd", "C.vbd"})
            SeedDesign(1, name, Bytes(name));
        ASSERT_EQ(api.open(NULL), 0);
        DWORD detail = 0;

        // Busy twice, Retry each time: deleted.
        SetFaults("busy=2\n");
        g_busyAnswers = {1, 1};
        g_busyAsked = 0;
        EXPECT_EQ(api.erase(1, 1, &detail, AnswerBusy), 0);
        EXPECT_EQ(g_busyAsked, 2);
        EXPECT_EQ(StoredNames(1), (std::vector<std::string>{"B.vbd", "C.vbd"}));
        std::vector<SimCall> calls = CallsOf(api.eraseOp);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].events, (std::vector<std::string>{"busy -> 1", "busy -> 1"}));
        EXPECT_EQ(calls[0].Arg("busy"), "yes");

        // Busy once more, Cancel: given up, nothing deleted; the busy answers stay used
        // up across calls, so the next delete goes through at once.
        SetFaults("busy=1\n");
        g_busyAnswers = {0};
        g_busyAsked = 0;
        EXPECT_EQ(api.erase(1, 1, &detail, AnswerBusy), linksim::SIM_ERR_GAVE_UP_BUSY);
        EXPECT_EQ(g_busyAsked, 1);
        EXPECT_EQ(StoredNames(1).size(), 2u);
        EXPECT_EQ(api.erase(1, 1, &detail, AnswerBusy), 0);
        EXPECT_EQ(g_busyAsked, 1);
        EXPECT_EQ(StoredNames(1), std::vector<std::string>{"C.vbd"});

        // No callback: a busy machine gives up.
        SetFaults("busy=1\n");
        EXPECT_EQ(api.erase(1, 1, &detail, NULL), linksim::SIM_ERR_GAVE_UP_BUSY);
    });
}

TEST_F(SimSequences, ForcedFailuresAlwaysOrOnceWithTheirDetail)
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
        for (int i = 0; i < 2; ++i) {
            detail = 1;
            EXPECT_EQ(api.dirUpload(Path("dir.tmp").c_str(), 1, &detail, NULL), -21);
            EXPECT_EQ(detail, 0u);
        }
        EXPECT_FALSE(FileExists(Path("dir.tmp")));
        std::vector<SimCall> calls = CallsOf(api.eraseOp);
        ASSERT_EQ(calls.size(), 2u);
        EXPECT_EQ(calls[0].events, (std::vector<std::string>{"forced", "detail 77"}));
        EXPECT_EQ(calls[0].result, 5);
        EXPECT_TRUE(calls[1].events.empty());
    });
}

TEST_F(SimSequences, CancelStopsADelayedSequenceAndKeepsWhatWasStored)
{
    ForBothLinks([&](const LinkApi &api) {
        // A pause per step: the whole list would take seconds.
        SetFaults("delay=100\n");
        std::string files[3];
        for (int i = 0; i < 3; ++i)
            files[i] = DesignFile("d" + std::to_string(i) + ".vbd", Bytes("design"));
        std::vector<DesignEntry> list = EntryList({{files[0], 1, 0}, {files[1], 1, 0}, {files[2], 1, 0}});
        HANDLE cancel = CreateEventA(NULL, TRUE, FALSE, NULL);
        ASSERT_EQ(api.open(cancel), 0);

        // Another thread sets the event when the first design has been stored (its last
        // progress step); the callback holds the sequence until then, so the outcome does
        // not depend on timing.
        g_cancelReached = CreateEventA(NULL, TRUE, FALSE, NULL);
        g_cancelSet = CreateEventA(NULL, TRUE, FALSE, NULL);
        HANDLE thread = CreateThread(NULL, 0, SetCancelWhenReached, cancel, 0, NULL);
        DWORD detail = 0;
        int result = api.download(list.data(), 3, &detail, CancelAfterFirstDesign);
        WaitForSingleObject(thread, 30000);
        CloseHandle(thread);
        CloseHandle(cancel);
        CloseHandle(g_cancelReached);
        CloseHandle(g_cancelSet);

        EXPECT_EQ(result, linksim::SIM_ERR_CANCELLED);
        EXPECT_EQ(detail, 2u);
        EXPECT_EQ(StoredNames(1), std::vector<std::string>{"d0.vbd"});
        std::vector<ProgressCall> firstDesign = ExpectedProgress(3);
        firstDesign.resize(PROGRESS_STEPS);
        EXPECT_EQ(TakeProgress(), firstDesign);
        std::vector<SimCall> calls = CallsOf(api.downloadOp);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].events.back(), "detail 2");
        EXPECT_EQ(calls[0].result, linksim::SIM_ERR_CANCELLED);
        EXPECT_NE(std::find(calls[0].events.begin(), calls[0].events.end(), "cancelled"), calls[0].events.end());
    });
}

// ---- opening the link ----

class SimSerialLink : public LinkSimTest {};

TEST_F(SimSerialLink, OpensOnlyOnTheMachinesPort)
{
    SetFaults("port=COM3\n");
    EXPECT_EQ(SIO_InitializeIO("COM1", 9600, NULL), linksim::SIM_ERR_PORT);
    DWORD detail = 0;
    EXPECT_EQ(Protocol_Seq_DirUpload(SPEED, Path("dir.tmp").c_str(), 1, &detail, NULL), linksim::SIM_ERR_PORT);
    EXPECT_EQ(SIO_TerminateIO(), 0);
    EXPECT_EQ(SIO_InitializeIO("com3", 9600, NULL), 0);
    EXPECT_EQ(Protocol_Seq_DirUpload(SPEED, Path("dir.tmp").c_str(), 1, &detail, NULL), 0);
    EXPECT_EQ(ReadFileBytes(Path("dir.tmp")), std::vector<char>(2, 0));
    EXPECT_EQ(SIO_TerminateIO(), 0);
    // Closed again: every sequence answers the port code.
    std::vector<DesignEntry> list = EntryList({{Path("x.vbd"), 1, 1}});
    EXPECT_EQ(Protocol_Seq_Upload(SPEED, list.data(), 1, &detail, NULL), linksim::SIM_ERR_PORT);
    EXPECT_EQ(Protocol_Seq_Download(SPEED, list.data(), 1, &detail, NULL), linksim::SIM_ERR_PORT);
    EXPECT_EQ(Protocol_Seq_Delete(1, 1, &detail, NULL), linksim::SIM_ERR_PORT);
    EXPECT_EQ(Protocol_Seq_Download_Direct(SPEED, (DWORD)(ULONG_PTR) "x", 1, "x", 1, &detail, NULL),
              linksim::SIM_ERR_PORT);
    EXPECT_EQ(SIO_InitializeIO(NULL, 9600, NULL), linksim::SIM_ERR_PORT);
}

TEST_F(SimSerialLink, ForcedOpenFailureLeavesTheLineClosed)
{
    SetFaults("fail.SIO_InitializeIO=4,once\n");
    EXPECT_EQ(SIO_InitializeIO("COM1", 9600, NULL), 4);
    DWORD detail = 0;
    EXPECT_EQ(Protocol_Seq_Delete(1, 1, &detail, NULL), linksim::SIM_ERR_PORT);
    EXPECT_EQ(SIO_InitializeIO("COM1", 9600, NULL), 0);
}

TEST_F(SimSerialLink, CallLogRecordsArgumentsEntriesAndResults)
{
    std::string a = DesignFile("a.vbd", Bytes("a"));
    HANDLE cancel = CreateEventA(NULL, TRUE, FALSE, NULL);
    ASSERT_EQ(SIO_InitializeIO("COM1", 9600, cancel), 0);
    std::vector<DesignEntry> list = EntryList({{a, 5, 0}});
    DWORD detail = 0;
    EXPECT_EQ(Protocol_Seq_Download(SPEED, list.data(), 1, &detail, RecordProgress), 0);
    EXPECT_EQ(Protocol_Seq_Download_Direct(SPEED, (DWORD)(ULONG_PTR) "xyz", 3, "say \"hi\"\\.vbd", 2, &detail, NULL),
              0);
    EXPECT_EQ(Protocol_Seq_Delete(2, 1, &detail, AnswerBusy), 0);
    EXPECT_EQ(SIO_TerminateIO(), 0);
    CloseHandle(cancel);
    SetFaults("message=log\n");
    EXPECT_EQ(DisplayMessageByReturnCode(Owner(), "Design List", 13, 4), 0);

    std::vector<SimCall> calls = ReadSimCalls();
    std::vector<std::string> ops;
    for (const SimCall &c : calls)
        ops.push_back(c.op);
    ASSERT_EQ(ops, (std::vector<std::string>{"SIO_InitializeIO", "Protocol_Seq_Download", "Protocol_Seq_Download_Direct",
                                             "Protocol_Seq_Delete", "SIO_TerminateIO", "DisplayMessageByReturnCode"}));
    for (const SimCall &c : calls)
        EXPECT_TRUE(c.hasResult) << c.op;
    EXPECT_EQ(calls[0].args, (std::map<std::string, std::string>{{"port", "COM1"}, {"speed", "9600"}, {"cancel", "yes"}}));
    EXPECT_EQ(calls[1].args,
              (std::map<std::string, std::string>{{"speed", "38400"}, {"count", "1"}, {"progress", "yes"}}));
    ASSERT_EQ(calls[1].entries.size(), 1u);
    EXPECT_EQ(calls[1].entries[0].name, a);
    EXPECT_EQ(calls[1].entries[0].location, 5);
    EXPECT_EQ(calls[1].entries[0].number, 0);
    EXPECT_EQ(calls[1].events, (std::vector<std::string>{"progress 0/1 1/4", "progress 0/1 2/4", "progress 0/1 3/4",
                                                         "progress 0/1 4/4"}));
    EXPECT_EQ(calls[2].args, (std::map<std::string, std::string>{{"speed", "38400"},
                                                                 {"size", "3"},
                                                                 {"name", "say \"hi\"\\.vbd"},
                                                                 {"location", "2"},
                                                                 {"progress", "no"}}));
    EXPECT_TRUE(calls[2].events.empty());
    EXPECT_EQ(calls[3].args,
              (std::map<std::string, std::string>{{"location", "2"}, {"number", "1"}, {"busy", "yes"}}));
    EXPECT_TRUE(calls[4].args.empty());
    EXPECT_EQ(calls[5].args,
              (std::map<std::string, std::string>{{"caption", "Design List"}, {"code", "13"}, {"detail", "4"}}));
    EXPECT_EQ(StoredNames(2), std::vector<std::string>{});  // the direct design was deleted again
    EXPECT_EQ(StoredNames(5), std::vector<std::string>{"a.vbd"});
}

// Calls of two threads never mix their lines in the log.
TEST_F(SimSerialLink, TwoThreadsLogWholeCalls)
{
    LinkApi usb = Usb();
    HMODULE module = UsbModule();
    std::string a = DesignFile("a.vbd", Bytes("a")), b = DesignFile("b.vbd", Bytes("b"));
    struct Events {
        USB_EventProc_t proc;
        static DWORD WINAPI Run(LPVOID self)
        {
            for (int i = 0; i < 40; ++i)
                ((Events *)self)->proc(NULL, 0x8000, (LPARAM)i);
            return 0;
        }
    } events = {Bind<USB_EventProc_t>(module, "USB_EventProc")};
    ASSERT_EQ(SIO_InitializeIO("COM1", 9600, NULL), 0);
    HANDLE thread = CreateThread(NULL, 0, Events::Run, &events, 0, NULL);
    std::vector<DesignEntry> list = EntryList({{a, 1, 0}, {b, 1, 0}});
    for (int i = 0; i < 20; ++i) {
        DWORD detail;
        EXPECT_EQ(Protocol_Seq_Download(SPEED, list.data(), 2, &detail, RecordProgress), 0);
    }
    WaitForSingleObject(thread, 30000);
    CloseHandle(thread);

    int downloads = 0, eventProcs = 0;
    for (const SimCall &c : ReadSimCalls()) {
        EXPECT_TRUE(c.hasResult) << c.op;
        if (c.op == "Protocol_Seq_Download") {
            ++downloads;
            EXPECT_EQ(c.entries.size(), 2u);
            EXPECT_EQ(c.events.size(), 2u * PROGRESS_STEPS);
        } else if (c.op == "USB_EventProc") {
            ++eventProcs;
            EXPECT_EQ(c.Arg("wparam"), "32768");
            EXPECT_TRUE(c.entries.empty());
            EXPECT_TRUE(c.events.empty());
        }
    }
    EXPECT_EQ(downloads, 20);
    EXPECT_EQ(eventProcs, 40);
}

class SimUsbLink : public LinkSimTest {};

TEST_F(SimUsbLink, InitializeAndEventProcFollowTheCable)
{
    LinkApi usb = Usb();
    auto init = Bind<USB_Initialize_t>(UsbModule(), "USB_Initialize");
    auto eventProc = Bind<USB_EventProc_t>(UsbModule(), "USB_EventProc");
    auto opening = Bind<USB_Opening_Sequence_t>(UsbModule(), "USB_Opening_Sequence");
    HANDLE cancel = CreateEventA(NULL, TRUE, FALSE, NULL);
    EXPECT_EQ(init(Owner(), NULL), 0);
    EXPECT_EQ(init(Owner(), cancel), 0);  // the worker initialises twice
    EXPECT_EQ(eventProc(Owner(), 0x8004, 0), 0);
    EXPECT_EQ(usb.close(), 0);
    EXPECT_EQ(opening(), 0);

    SetFaults("usb=disconnected\n");
    EXPECT_EQ(init(Owner(), cancel), linksim::SIM_ERR_NOT_CONNECTED);
    EXPECT_EQ(eventProc(Owner(), 0x8004, 0), -1);
    DWORD detail = 0;
    EXPECT_EQ(usb.dirUpload(Path("dir.tmp").c_str(), 1, &detail, NULL), linksim::SIM_ERR_NOT_CONNECTED);
    EXPECT_EQ(usb.erase(1, 1, &detail, AnswerBusy), linksim::SIM_ERR_NOT_CONNECTED);
    EXPECT_EQ(usb.close(), 0);
    CloseHandle(cancel);

    SetFaults("fail.USB_Initialize=7\n");
    EXPECT_EQ(init(Owner(), NULL), 7);

    std::vector<SimCall> inits = CallsOf("USB_Initialize");
    ASSERT_EQ(inits.size(), 4u);
    EXPECT_EQ(inits[0].Arg("cancel"), "no");
    EXPECT_EQ(inits[1].Arg("cancel"), "yes");
    EXPECT_EQ(inits[2].result, linksim::SIM_ERR_NOT_CONNECTED);
    std::vector<SimCall> events = CallsOf("USB_EventProc");
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].Arg("wparam"), "32772");
    EXPECT_EQ(events[1].result, -1);
}

TEST_F(SimUsbLink, LibraryWithoutOpeningSequenceStillWorks)
{
    UseUsb(vt::Usb::NoOpening);
    HMODULE module = LoadLibraryA((ExeDir() + "VEMBUSB.DLL").c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(GetProcAddress(module, "USB_Opening_Sequence"), nullptr);
    auto init = (USB_Initialize_t)GetProcAddress(module, "USB_Initialize");
    ASSERT_NE(init, nullptr);
    EXPECT_EQ(init(NULL, NULL), 0);
    FreeLibrary(module);
}

// ---- the message operation ----

class SimMessages : public LinkSimTest {};

void MessageShowsBoxOrOnlyLogs(HWND owner, const LinkApi &api)
{
    SCOPED_TRACE(api.library);
    ClearRecordedMessageBoxes();
    UiScript ui([&](Ui &u) {
        MessageBoxInfo box = u.WaitMessageBox("Receiving");
        EXPECT_EQ(box.text, "Loomstar link error 11 (detail 7).\nThe design was not found on the machine.");
        EXPECT_EQ(box.style, (UINT)MB_ICONHAND);
        EXPECT_EQ(box.owner, owner);
        u.Answer(box, IDOK);
    });
    EXPECT_EQ(api.message(owner, "Receiving", 11, 7), 0);
    ui.Join();
    std::vector<MessageBoxCall> boxes = RecordedMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].style, (UINT)MB_ICONHAND);
    EXPECT_EQ(boxes[0].caption, "Receiving");

    linksim::WriteFaults("message=log\n");
    EXPECT_EQ(api.message(owner, "Delete", 12, 0), 0);
    EXPECT_EQ(RecordedMessageBoxes().size(), 1u);
    std::vector<SimCall> calls = CallsOf(api.messageOp);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].args, (std::map<std::string, std::string>{{"caption", "Receiving"}, {"code", "11"}, {"detail", "7"}}));
    EXPECT_EQ(calls[1].args, (std::map<std::string, std::string>{{"caption", "Delete"}, {"code", "12"}, {"detail", "0"}}));
    EXPECT_EQ(calls[1].result, 0);
}

TEST_F(SimMessages, SerialMessageShowsItsBoxWithTheLinkCaption)
{
    MessageShowsBoxOrOnlyLogs(Owner(), Serial());
}

TEST_F(SimMessages, UsbMessageShowsItsBoxWithTheLinkCaption)
{
    MessageShowsBoxOrOnlyLogs(Owner(), Usb());
}

}  // namespace
