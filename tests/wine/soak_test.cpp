// The soak: seeded random steps over every export, over the serial link and USB, with the
// simulator's faults and the user's own (closing a progress dialog, Retry or Cancel on a busy
// machine, a design file that went missing) thrown in at random. A model of the machine predicts
// what each step leaves; after every step the machine, the received files, the messages the user
// saw, the transfer status and what the process holds are checked against it.
//
// VEMB_SOAK_SEED and VEMB_SOAK_STEPS choose the run (`make soak SEED=... STEPS=...`); the same
// seed makes the same steps. A failure names the seed and the step, and the command that replays
// the run up to that step.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <sstream>

#include "comm_settings_res.h"
#include "link/settings.h"
#include "machine_version_res.h"
#include "receive_designs_res.h"
#include "resource.h"
#include "send_designs_res.h"
#include "vemb_helpers.h"

using namespace vt;

namespace {

const char *const TEMP_FILES[] = {"SendList.tp$", "$$UPLDir.tmp", "$$UPLPrv.tmp"};
const int LOCATIONS[] = {1, 2};
const int POOL = 10;     // sample designs on disk
const int WARM_UP = 12;  // steps before what the process holds becomes the baseline
const int SPEEDS[] = {4800, 9600, 19200, 38400, 57600};  // by the stored speed code 1..5

enum Op { OP_LIST_SEND, OP_PICKER_SEND, OP_DIRECT_SEND, OP_RECEIVE, OP_DELETE, OP_SETTINGS, OP_VERSION, OPS };
static_assert(OPS <= WARM_UP, "the warm-up runs every operation once");
const char *const OP_NAMES[] = {"list send", "picker send", "direct send", "receive", "delete", "settings", "version"};
enum Fault { F_NONE, F_OPEN, F_SEQUENCE, F_DIRECTORY, F_BUSY, F_CLOSE, F_SLOW, F_FULL, F_MISSING_FILE, FAULTS };
const char *const FAULT_NAMES[] = {"none",         "open failure",   "sequence failure",
                                   "directory upload failure", "busy machine", "progress closed midway",
                                   "slow transfer", "full location", "missing design file"};
// The faults each operation meets.
const std::vector<Fault> OP_FAULTS[] = {
    {F_OPEN, F_SEQUENCE, F_DIRECTORY, F_CLOSE, F_SLOW, F_FULL, F_MISSING_FILE},
    {F_OPEN, F_SEQUENCE, F_DIRECTORY, F_CLOSE, F_SLOW, F_FULL},
    {F_OPEN, F_SEQUENCE, F_DIRECTORY, F_CLOSE, F_SLOW, F_FULL},
    {F_OPEN, F_SEQUENCE, F_DIRECTORY, F_CLOSE, F_SLOW},
    {F_OPEN, F_SEQUENCE, F_DIRECTORY, F_BUSY, F_CLOSE},
    {},
    {},
};

struct Design {
    std::string name;
    std::vector<char> bytes;
};
using Contents = std::vector<Design>;

DWORD EnvNumber(const char *name, DWORD fallback)
{
    char text[32];
    DWORD n = GetEnvironmentVariableA(name, text, sizeof text);
    return n && n < sizeof text ? strtoul(text, NULL, 10) : fallback;
}

// Stores as the machine does: a name already there keeps its place and takes the new bytes.
void Store(Contents &location, const Design &design)
{
    for (Design &d : location)
        if (d.name == design.name) {
            d.bytes = design.bytes;
            return;
        }
    location.push_back(design);
}

std::string Describe(const Contents &contents)
{
    std::string text;
    for (const Design &d : contents)
        text += d.name + "(" + std::to_string(d.bytes.size()) + ") ";
    return text;
}

// Ticks the named designs in a Receive or Delete Designs list, one click each.
void TickNames(Ui &u, HWND dialog, const Names &names);

class Soak : public VembTest {
protected:
    void SetUp() override
    {
        VembTest::SetUp();
        seed_ = EnvNumber("VEMB_SOAK_SEED", 1);
        steps_ = EnvNumber("VEMB_SOAK_STEPS", 150);
        rng_.seed(seed_);
        PatchFaults();
        TrackModuleGdi();
        for (int i = 0; i < POOL; ++i) {
            pool_.push_back({"p" + std::to_string(i) + ".vbd", DesignBytes(300 + 40 * i, i)});
            WriteFileBytes(In(pool_[i].name), pool_[i].bytes.data(), pool_[i].bytes.size());
        }
        OutputDebugStringA("soak\n");  // Wine makes its debug output mutex once, the first time
        for (const char *folder : {"rcvA", "rcvB", "rcvC"})
            CreateDirectoryA(In(folder).c_str(), NULL);
    }

    int Pick(int n) { return (int)(rng_() % (unsigned)n); }
    bool Chance(int percent) { return Pick(100) < percent; }
    template <class T> std::vector<T> Subset(std::vector<T> from, size_t atLeast, size_t atMost)
    {
        std::shuffle(from.begin(), from.end(), rng_);
        size_t n = atLeast + Pick((int)(std::min(atMost, from.size()) - atLeast + 1));
        from.resize(n);
        return from;
    }

    void Step(int step);
    void ListSend();
    void PickerSend();
    // The outcomes of a send of pool designs `order` to a location with `room` left, the
    // machine against them and the messages the user must have seen.
    void ExpectSent(int location, size_t room, const std::vector<int> &order);
    // Perhaps fetches the preview of a ticked design of a Receive or Delete Designs list.
    void MaybePreview(Ui &u, HWND dialog);
    // Up to four designs stored at a location (one at least when there are any).
    Names SomeStored(int location)
    {
        Names names;
        for (const Design &d : model_[location])
            names.push_back(d.name);
        return Subset(names, names.empty() ? 0 : 1, 4);
    }
    // Before a Receive or Delete Designs list opens: a directory upload failure is set for the
    // list the step uses (the first one for location 1). The directory uploads so far.
    size_t PrepareList(int location, const char *serialSequence, const char *usbSequence)
    {
        if (fault_ == F_DIRECTORY && location == 1)
            ArmFault(serialSequence, usbSequence);
        return DirectoryUploads().size();
    }
    // In the list: location 2 clicked when asked for, the names ticked, perhaps a preview, then
    // the step's fault set for the transfer. False when nothing could be ticked.
    bool ChooseInList(Ui &u, HWND dialog, int location, const Names &names, size_t lists, const char *serialSequence,
                      const char *usbSequence)
    {
        if (location == 2) {
            if (fault_ == F_DIRECTORY)
                ArmFault(serialSequence, usbSequence);
            u.Click(dialog, IDC_LOCATION_ATA_CARD);
            WaitListLoaded(u, dialog, lists + 2);
        }
        TickNames(u, dialog, names);
        if (TickedItems(dialog).empty())
            return false;
        MaybePreview(u, dialog);
        if (fault_ != F_DIRECTORY)
            ArmFault(serialSequence, usbSequence);
        return true;
    }
    void DirectSend();
    void Receive();
    void Delete();
    void Settings();
    void Version();

    // The fault of this step, put in place just before the action it is meant for.
    void ArmFault(const char *serialSequence, const char *usbSequence);
    std::string Caption(const char *what) const
    {
        return std::string(what) + (usb_ ? " - USB Connected" : " - COM Port");
    }
    // Waits until the worker is under way, then closes its progress dialog as the close box does.
    void CloseMidway(Ui &u, HWND dialog)
    {
        u.WaitUntil([&] { return Dll().GetTransferStatus() == 1 || !IsWindow(dialog); }, "the transfer to start");
        u.Sleep(Pick(300));
        if (IsWindow(dialog))
            u.Close(dialog);
    }
    // In the Send Designs dialog (the one given, or the next to open): the location clicked, the
    // step's fault set, Start, the dialog closed midway when that is the fault, and every
    // message answered until it has gone.
    void StartSend(Ui &u, int location, const char *serialSequence, const char *usbSequence, HWND dialog = NULL)
    {
        if (!dialog)
            dialog = u.WaitDialog(Caption("Send Designs"));
        u.Click(dialog, location == 1 ? IDC_SEND_BUILTIN : IDC_SEND_ATA_CARD);
        ArmFault(serialSequence, usbSequence);
        u.Click(dialog, IDOK);
        if (fault_ == F_CLOSE)
            CloseMidway(u, dialog);
        AnswerUntilGone(u, dialog);
    }
    // Fills a location up to 98, 99 or 100 designs, on the machine and in the model.
    void Fill(int location)
    {
        Contents &c = model_[location];
        for (int i = 0, target = 98 + Pick(3); (int)c.size() < target; ++i) {
            Design d = {"fill" + std::to_string(i) + ".vbd", DesignBytes(20, i)};
            if (std::any_of(c.begin(), c.end(), [&](const Design &o) { return o.name == d.name; }))
                continue;
            ASSERT_EQ(linksim::StoreDesign(location, d.name, d.bytes.data(), d.bytes.size()), 0);
            c.push_back(d);
        }
    }
    Contents Machine(int location)
    {
        Contents c;
        for (const linksim::StoredDesign &d : linksim::ListDesigns(location))
            c.push_back({d.name, ReadFileBytes(d.file)});
        return c;
    }
    // The machine must hold one of the outcomes: `outcomes[k]` for a k allowed by the fault
    // (all of them when the user closed the progress dialog); it becomes the model.
    void ExpectOneOf(int location, const std::vector<Contents> &outcomes, int expected)
    {
        Contents now = Machine(location);
        ++checks_;
        EXPECT_LE(now.size(), (size_t)linksim::LOCATION_CAPACITY) << "location " << location;
        auto holds = [&](const Contents &c) {
            return c.size() == now.size() && std::equal(now.begin(), now.end(), c.begin(), [](const Design &a,
                                                                                                const Design &b) {
                       return a.name == b.name && a.bytes == b.bytes;
                   });
        };
        int found = expected >= 0 && holds(outcomes[expected]) ? expected : -1;
        for (size_t k = 0; k < outcomes.size() && found < 0; ++k)
            if (holds(outcomes[k]))
                found = (int)k;
        ++checks_;
        if (expected >= 0)
            EXPECT_EQ(found, expected) << "location " << location << " holds " << Describe(now) << "\nexpected "
                                       << Describe(outcomes[expected]) << "\n" << StepCalls();
        else
            EXPECT_GE(found, 0) << "location " << location << " holds " << Describe(now) << "\n" << StepCalls();
        model_[location] = now;
    }
    // Every location the step did not touch is as the model has it.
    void ExpectMachineAsModel()
    {
        for (int location : LOCATIONS)
            ExpectOneOf(location, {model_[location]}, 0);
    }
    // Whether the send's Check Files step gets to count the location and tell a full one: not
    // when its line does not open or its directory upload fails (the send ends quietly after the
    // link library's message), nor when the user may have closed the dialog before.
    bool CountsTheLocation() const { return fault_ != F_OPEN && fault_ != F_DIRECTORY && fault_ != F_CLOSE; }
    // The calls of these operations made in this step.
    std::vector<SimCall> NewCalls(const Names &ops)
    {
        std::vector<SimCall> all = ReadSimCalls(), calls;
        for (size_t i = callsBefore_; i < all.size(); ++i)
            if (std::find(ops.begin(), ops.end(), all[i].op) != ops.end())
                calls.push_back(all[i]);
        return calls;
    }
    // The link libraries' calls of this step with their results, for a failure's message.
    std::string StepCalls()
    {
        std::vector<SimCall> all = ReadSimCalls();
        std::string text = "calls:";
        for (size_t i = callsBefore_; i < all.size(); ++i)
            text += " " + all[i].op + (all[i].hasResult ? "->" + std::to_string(all[i].result) : "");
        return text;
    }
    // Every failure the link libraries answered in this step was explained to the user, and a
    // step without a fault met none; the module's own messages are those the step provoked.
    void ExpectTold(const std::vector<Shown> &module);
    std::string NewHandles();
    // The transfer status, the temporary files and what the process holds.
    void ExpectNothingLeft(int step);

    DWORD seed_ = 1, steps_ = 150;
    std::mt19937 rng_;
    std::vector<Design> pool_;
    std::map<int, Contents> model_;
    bool usb_ = false;
    bool listCut_ = false;  // the module's list-cut flag, which lives across exports
    Fault fault_ = F_NONE;
    int speedCode_ = 0;  // 0: the default speed, 38400
    size_t callsBefore_ = 0;
    std::string baseline_;
    std::vector<bool> handles_;
    long checks_ = 0;
    int previews_ = 0;
    int opCount_[OPS] = {}, faultCount_[FAULTS] = {};
};

void Soak::ArmFault(const char *serialSequence, const char *usbSequence)
{
    std::string faults = "message=log\n";
    // A worker whose USB link does not start takes the serial road: no link opens at all.
    if (fault_ == F_OPEN)
        faults += "fail.SIO_InitializeIO=2\n";
    if (fault_ == F_OPEN && usb_)
        g_usbOpen.Arm(0, 1 << 30);
    if (fault_ == F_SEQUENCE)
        faults += std::string("fail.") + (usb_ ? usbSequence : serialSequence) + "=" +
                  std::to_string(10 + Pick(5)) + "," + std::to_string(1 + Pick(9)) + ",once\n";
    if (fault_ == F_DIRECTORY)
        faults += std::string("fail.") + (usb_ ? "USB_DirUpload_Sequence" : "Protocol_Seq_DirUpload") + "=13," +
                  std::to_string(1 + Pick(9)) + ",once\n";
    if (fault_ == F_SLOW || fault_ == F_CLOSE)
        faults += "delay=" + std::to_string(fault_ == F_SLOW ? 5 + Pick(20) : 120) + "\n";
    if (fault_ == F_BUSY)
        faults += "busy=" + std::to_string(1 + Pick(3)) + "\n";
    SetFaults(faults);
}

void Soak::ExpectTold(const std::vector<Shown> &module)
{
    std::vector<SimCall> calls = ReadSimCalls();
    Names failed, told;
    for (size_t i = callsBefore_; i < calls.size(); ++i) {
        const SimCall &c = calls[i];
        if (c.op.find("DisplayMessage") != std::string::npos)
            told.push_back(c.Arg("code") + "/" + c.Arg("detail"));
        else if (c.hasResult && c.result != 0 && c.op.find("Terminate") == std::string::npos &&
                 c.op != "USB_EventProc" && !(c.result == -13 && c.op == "USB_Download_Sequence"))
            failed.push_back(std::to_string(c.result));
        if (!usb_ && c.op.rfind("Protocol_Seq_", 0) == 0 && c.args.count("speed")) {
            ++checks_;
            EXPECT_EQ(c.Arg("speed"), std::to_string(SPEEDS[(speedCode_ ? speedCode_ : 4) - 1]))
                << c.op << ": the speed the user chose";
        }
    }
    ++checks_;
    for (const std::string &code : failed)
        EXPECT_TRUE(std::any_of(told.begin(), told.end(), [&](const std::string &t) { return t.rfind(code + "/", 0) == 0; }))
            << "link failure " << code << " not told; told: " << ::testing::PrintToString(told);
    ++checks_;
    if (fault_ == F_NONE || fault_ == F_SLOW) {
        EXPECT_EQ(told, Names{}) << "link messages in a step without a fault";
    }
    ++checks_;
    std::vector<Shown> shown = ModuleMessages();
    for (const Shown &s : module)
        EXPECT_NE(std::find(shown.begin(), shown.end(), s), shown.end()) << "not shown: " << s;
    if (fault_ == F_NONE || fault_ == F_SLOW) {
        EXPECT_EQ(shown, module) << "messages in a step without a fault";
    }
}

std::vector<bool> LiveHandles()
{
    std::vector<bool> live(0x4000);
    for (UINT_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags;
        live[value / 4] = GetHandleInformation((HANDLE)value, &flags) != 0;
    }
    return live;
}

// The kind and name of each handle the process holds that it did not hold after the warm-up.
std::string Soak::NewHandles()
{
    typedef LONG(WINAPI * QueryObject)(HANDLE, int, PVOID, ULONG, PULONG);
    QueryObject query = (QueryObject)GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryObject");
    std::vector<bool> live = LiveHandles();
    std::string text;
    for (size_t i = 0; i < live.size() && query; ++i) {
        if (!live[i] || (i < handles_.size() && handles_[i]))
            continue;
        // OBJECT_NAME_INFORMATION (1) and OBJECT_TYPE_INFORMATION (2) start with a UNICODE_STRING.
        struct {
            USHORT length, maximum;
            wchar_t *buffer;
            char rest[1024];
        } name = {}, type = {};
        ULONG size;
        query((HANDLE)(i * 4), 1, &name, sizeof name, &size);
        query((HANDLE)(i * 4), 2, &type, sizeof type, &size);
        char line[600];
        snprintf(line, sizeof line, " %.*ls %.*ls;", type.length / 2, type.buffer ? type.buffer : L"", name.length / 2,
                 name.buffer ? name.buffer : L"");
        text += line;
    }
    return text;
}

void Soak::ExpectNothingLeft(int step)
{
    checks_ += 3;
    EXPECT_EQ(Dll().GetTransferStatus(), 0u);
    for (const char *name : TEMP_FILES)
        EXPECT_FALSE(FileExists(TempFile(name))) << name << " left";
    Sleep(30);  // let ended threads leave the process
    std::string now = Holdings();
    if (step == WARM_UP)
        baseline_ = now, handles_ = LiveHandles();
    if (step > WARM_UP) {
        EXPECT_EQ(now, baseline_) << "what the process holds; handles since the warm-up: " << NewHandles();
    }
}

void Soak::Step(int step)
{
    Op op = (Op)std::discrete_distribution<int>({20, 10, 14, 20, 20, 8, 8})(rng_);
    // The warm-up runs every operation once, so that what the system loads for good on first use
    // (the shell and OLE behind the file dialog) is held before the baseline is taken.
    if (step <= OPS)
        op = (Op)(step - 1);
    const std::vector<Fault> &faults = OP_FAULTS[op];
    fault_ = faults.empty() || Chance(40) ? F_NONE : faults[Pick((int)faults.size())];
    usb_ = op < OP_SETTINGS && Chance(50);
    ++opCount_[op], ++faultCount_[fault_];
    std::string what = "seed " + std::to_string(seed_) + " step " + std::to_string(step) + ": " + OP_NAMES[op] +
                       (usb_ ? " over USB" : " serially") + ", " + FAULT_NAMES[fault_];
    SCOPED_TRACE(what);
    ArmWatchdog("Soak " + what + " (replay: make soak SEED=" + std::to_string(seed_) + " STEPS=" +
                    std::to_string(step) + ")",
                90);
    UseUsb(usb_ ? Usb::Present : Usb::Absent);
    SetFaults("message=log\n");
    g_usbOpen.Arm(0, 0);
    ClearRecordedMessageBoxes();
    callsBefore_ = ReadSimCalls().size();
    switch (op) {
    case OP_LIST_SEND: ListSend(); break;
    case OP_PICKER_SEND: PickerSend(); break;
    case OP_DIRECT_SEND: DirectSend(); break;
    case OP_RECEIVE: Receive(); break;
    case OP_DELETE: Delete(); break;
    case OP_SETTINGS: Settings(); break;
    case OP_VERSION: Version(); break;
    default: break;
    }
    ExpectNothingLeft(step);
}

const Shown READ_ERROR = {"Sending", "File Read Error.", MB_ICONHAND};

void Soak::ListSend()
{
    listCut_ = false;  // DirectFilesDownload clears the list-cut flag
    int location = LOCATIONS[Pick(2)];
    if (fault_ == F_FULL)
        Fill(location);
    if (Chance(20)) {  // a design changed on disk since it was last sent
        Design &d = pool_[Pick(POOL)];
        d.bytes = DesignBytes(300 + Pick(500), Pick(1000));
        WriteFileBytes(In(d.name), d.bytes.data(), d.bytes.size());
    }
    std::vector<int> chosen(POOL);
    for (int i = 0; i < POOL; ++i)
        chosen[i] = i;
    chosen = Subset(chosen, 1, 5);
    Names paths;
    for (int i : chosen)
        paths.push_back(In(pool_[i].name));
    if (fault_ == F_MISSING_FILE)
        paths.insert(paths.begin() + Pick((int)paths.size() + 1), In("gone" + std::to_string(Pick(9)) + ".vbd"));
    std::string list = WriteSendList(In("host.lst"), paths);
    const size_t room = linksim::LOCATION_CAPACITY - model_[location].size();
    UiScript ui([&](Ui &u) {
        StartSend(u, location, "Protocol_Seq_Download", "USB_Download_Sequence");
    });
    int result = Dll().DirectFilesDownload(Owner(), list.c_str(), 0);
    ui.Join();
    // Closed before its worker started (during Check Files, or over a refusal), the dialog ends with 2.
    bool worked = !NewCalls({"Protocol_Seq_Download", "USB_Download_Sequence"}).empty();
    EXPECT_EQ(result, fault_ == F_CLOSE && !worked ? 2 : 1);
    ExpectSent(location, room, chosen);
    EXPECT_TRUE(FileExists(list)) << "the host's list stays";
}

void Soak::ExpectSent(int location, size_t room, const std::vector<int> &order)
{
    // The outcomes: the first k designs of what fits stored, k = 0 .. all.
    std::vector<Contents> outcomes = {model_[location]};
    for (size_t i = 0; i < order.size() && i < room && fault_ != F_MISSING_FILE; ++i) {
        outcomes.push_back(outcomes.back());
        Store(outcomes.back(), pool_[order[i]]);
    }
    bool clean = fault_ == F_NONE || fault_ == F_SLOW || fault_ == F_FULL;
    ExpectOneOf(location, outcomes, fault_ == F_CLOSE ? -1 : clean ? (int)outcomes.size() - 1 : 0);
    std::vector<Shown> told;
    if (fault_ == F_MISSING_FILE)
        told.push_back(READ_ERROR);
    else if (room == 0 && CountsTheLocation())
        told.push_back(LOCATION_FULL);
    else if (order.size() > room && clean)
        told.push_back(LIST_CUT);
    // The list-cut flag outlives its export: a send that ends before its worker, and not by the close box,
    // tells a former cut again. A worker's send sets it anew: cut, and the download not failed.
    std::vector<SimCall> downloads = NewCalls({"Protocol_Seq_Download", "USB_Download_Sequence"});
    if (downloads.empty() && listCut_ && fault_ != F_CLOSE)
        told.push_back(LIST_CUT);
    if (!downloads.empty())
        listCut_ = order.size() > room && (downloads[0].result == 0 || downloads[0].result == -13);
    ExpectTold(told);
    ExpectMachineAsModel();
}

// The design picker: pool designs selected in its file list, ">>", Send.
void Soak::PickerSend()
{
    int location = LOCATIONS[Pick(2)];
    if (fault_ == F_FULL)
        Fill(location);
    std::vector<int> all(POOL), order;
    for (int i = 0; i < POOL; ++i)
        all[i] = i;
    Names names;
    for (int i : Subset(all, 1, 4))
        names.push_back(pool_[i].name);
    const size_t room = linksim::LOCATION_CAPACITY - model_[location].size();
    char folder[MAX_PATH];
    lstrcpynA(folder, WorkDir().c_str(), MAX_PATH);
    UiScript ui([&](Ui &u) {
        HWND common = u.WaitDialog("Select Designs");
        uidrive::PickerWindows p;
        u.WaitUntil([&] {
            p = uidrive::FindPickerWindows(common);
            return p.child && p.files && SendMessageA(p.files, LVM_GETITEMCOUNT, 0, 0) >= POOL;
        }, "the picker's file list");
        uidrive::SelectListItemsByText(p.files, names);
        u.Click(p.child, 1005);  // ">>"
        HWND rows = GetDlgItem(p.child, 1001);
        u.WaitUntil([&] { return SendMessageA(rows, LVM_GETITEMCOUNT, 0, 0) == (LRESULT)names.size(); },
                    "the chosen designs");
        for (const std::string &row : ListItemTexts(rows))  // the send goes in the rows' order
            for (int i = 0; i < POOL; ++i)
                if (row == pool_[i].name || (row.size() > pool_[i].name.size() &&
                                             row.compare(row.size() - pool_[i].name.size() - 1, std::string::npos,
                                                         "\\" + pool_[i].name) == 0))
                    order.push_back(i);
        u.Click(p.child, 1002);  // "Send"
        StartSend(u, location, "Protocol_Seq_Download", "USB_Download_Sequence");
    });
    EXPECT_EQ(Dll().TransferVBDFiles(Owner(), folder), 1);
    ui.Join();
    EXPECT_EQ(order.size(), names.size()) << "the picker's rows name the chosen designs";
    ExpectSent(location, room, order);
}

void Soak::DirectSend()
{
    listCut_ = false;  // the direct send's preparation clears it
    int location = LOCATIONS[Pick(2)];
    if (fault_ == F_FULL)
        Fill(location);
    Design design = {"", DesignBytes(200 + Pick(600), Pick(1000))};
    int naming = Pick(3);  // 0 the host's name, 1 the clock's, 2 renamed in the name dialog
    std::string hostName = naming == 0 ? "h" + std::to_string(Pick(8)) + ".vbd" : "";
    if (naming == 0)
        design.name = hostName;
    if (naming == 2)
        design.name = "r" + std::to_string(Pick(8)) + ".vbd";
    const bool full = model_[location].size() >= (size_t)linksim::LOCATION_CAPACITY;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(Caption("Send Designs"));
        if (naming == 2) {
            u.Click(dlg, IDC_SEND_NAME);
            HWND name = u.WaitDialog("Vbd Name");
            u.SetText(name, 1020, design.name.substr(0, design.name.size() - 4));
            u.Click(name, IDOK);
            u.WaitGone(name);
        }
        StartSend(u, location, "Protocol_Seq_Download_Direct", "USB_DirectDownload_Sequence", dlg);
    });
    EXPECT_EQ(Dll().DirectDownload(Owner(), (DWORD)(UINT_PTR)design.bytes.data(), (DWORD)design.bytes.size(),
                                   hostName.c_str()),
              1);
    ui.Join();
    std::vector<SimCall> sent = NewCalls({"Protocol_Seq_Download_Direct", "USB_DirectDownload_Sequence"});
    if (naming == 1 && !sent.empty())
        design.name = sent.back().Arg("name");  // the clock's name, as the module made it
    std::vector<Contents> outcomes = {model_[location]};
    if (!full && !design.name.empty()) {
        outcomes.push_back(outcomes.back());
        Store(outcomes.back(), design);
    }
    bool clean = fault_ == F_NONE || fault_ == F_SLOW || fault_ == F_FULL;
    ExpectOneOf(location, outcomes, fault_ == F_CLOSE ? -1 : clean ? (int)outcomes.size() - 1 : 0);
    ExpectTold(full && CountsTheLocation() ? std::vector<Shown>{LOCATION_FULL} : std::vector<Shown>{});
    ExpectMachineAsModel();
}

// Ticks the named designs in a Receive Designs or Delete Designs list, one click each.
void TickNames(Ui &u, HWND dialog, const Names &names)
{
    Names shown = ItemNames(dialog);
    for (const std::string &name : names) {
        auto at = std::find(shown.begin(), shown.end(), name);
        if (at == shown.end())
            continue;
        int index = (int)(at - shown.begin());
        SendMessageA(DesignList(dialog), LVM_ENSUREVISIBLE, index, FALSE);
        ClickCheckBox(dialog, index);
        Barrier(u, dialog);
    }
    Names ticked;
    for (int i : TickedItems(dialog))
        ticked.push_back(shown[i]);
    Names wanted;  // those the list shows (none after a failed directory upload)
    for (const std::string &name : names)
        if (std::find(shown.begin(), shown.end(), name) != shown.end())
            wanted.push_back(name);
    std::sort(ticked.begin(), ticked.end());
    std::sort(wanted.begin(), wanted.end());
    EXPECT_EQ(ticked, wanted) << "the designs ticked";
}

void Soak::MaybePreview(Ui &u, HWND dialog)
{
    if (!Chance(30))
        return;
    size_t fetches = Uploads().size();
    u.Click(dialog, IDC_SHOW_PREVIEW);
    WaitPreviewDone(u, dialog, fetches + 1);
    ++previews_;
}

void Soak::Receive()
{
    int location = LOCATIONS[Pick(2)];
    std::string folder = In(std::string("rcv") + (char)('A' + Pick(3)));
    SetRegString(Key::Tambora, VALUE_RECEIVE_FOLDER, folder);
    Names names = SomeStored(location);
    for (const std::string &name : names)
        DeleteFileA((folder + "\\" + name).c_str());
    size_t lists = PrepareList(location, "Protocol_Seq_Upload", "USB_Upload_Sequence");
    RunList(Owner(), Side::Receive, [&](Ui &u, HWND dlg) {
        if (!ChooseInList(u, dlg, location, names, lists, "Protocol_Seq_Upload", "USB_Upload_Sequence"))
            return;
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
        // Its title tells what the link answers now: "USB Disconnected" when USB does not start.
        HWND progress = u.WaitDialogPrefix("Receive Designs - ");
        u.Click(progress, IDOK);
        if (fault_ == F_CLOSE)
            CloseMidway(u, progress);
        AnswerUntilGone(u, progress);
    }, usb_);
    bool clean = fault_ == F_NONE || fault_ == F_SLOW;
    for (const Design &d : model_[location]) {
        if (std::find(names.begin(), names.end(), d.name) == names.end())
            continue;
        std::string file = folder + "\\" + d.name;
        ++checks_;
        if (clean || (fault_ == F_CLOSE && FileExists(file))) {
            EXPECT_EQ(ReadFileBytes(file), d.bytes) << file << " as stored";
        } else if (fault_ != F_CLOSE) {
            EXPECT_FALSE(FileExists(file)) << file << " after a failed receive";
        }
    }
    ExpectTold({});
    ExpectMachineAsModel();
}

void Soak::Delete()
{
    int location = LOCATIONS[Pick(2)];
    Names names = SomeStored(location);
    size_t lists = PrepareList(location, "Protocol_Seq_Delete", "USB_Erase_Sequence");
    bool gaveUp = false, started = false;
    RunList(Owner(), Side::Delete, [&](Ui &u, HWND dlg) {
        if (!ChooseInList(u, dlg, location, names, lists, "Protocol_Seq_Delete", "USB_Erase_Sequence"))
            return;
        int busy = linksim::LoadFaults().busy;
        u.Click(dlg, IDOK);
        u.Answer(u.WaitMessageBox("Delete"), IDYES);
        started = true;
        if (fault_ == F_CLOSE) {  // the wait dialog, unless the deletions were over before it was seen
            HWND wait = NULL;
            u.WaitUntil([&] { return (wait = FindWindowA(NULL, "Delete Designs")) || !IsWindow(dlg); },
                        "the wait dialog");
            if (wait)
                PostMessageA(wait, WM_CLOSE, 0, 0);
        }
        for (int i = 0; i < busy && !gaveUp; ++i) {
            gaveUp = Chance(40);
            u.Answer(u.WaitMessageBox("Delete"), gaveUp ? IDCANCEL : IDRETRY);
        }
        AnswerUntilGone(u, dlg);
    }, usb_);
    // Highest number first: the outcomes after k deletions.
    std::vector<int> numbers;
    Contents &c = model_[location];
    for (size_t i = 0; i < c.size(); ++i)
        if (std::find(names.begin(), names.end(), c[i].name) != names.end())
            numbers.push_back((int)i);
    std::sort(numbers.rbegin(), numbers.rend());
    std::vector<Contents> outcomes = {c};
    for (int n : numbers) {
        outcomes.push_back(outcomes.back());
        outcomes.back().erase(outcomes.back().begin() + n);
    }
    bool all = started && (fault_ == F_NONE || (fault_ == F_BUSY && !gaveUp));
    ExpectOneOf(location, outcomes, fault_ == F_CLOSE ? -1 : all ? (int)outcomes.size() - 1 : 0);
    const Shown sure = {"Delete", "Are you sure?", MB_YESNO | MB_ICONQUESTION};
    ExpectTold(started ? std::vector<Shown>{sure} : std::vector<Shown>{});
    ExpectMachineAsModel();
}

void Soak::Settings()
{
    const int speeds[] = {IDC_BAUD_4800, IDC_BAUD_9600, IDC_BAUD_19200, IDC_BAUD_38400, IDC_BAUD_57600};
    int code = 1 + Pick(5);
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog("Communication Settings");
        u.Click(dlg, speeds[code - 1]);
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().SetSerialCommParamDlg(Owner()), 1);
    ui.Join();
    speedCode_ = code;
    ++checks_;
    EXPECT_EQ(RegDwordBoth(VALUE_BAUD_RATE), std::make_pair((DWORD)code, (DWORD)code));
    ExpectTold({});
    ExpectMachineAsModel();
}

void Soak::Version()
{
    int version = 1 + Pick(2);
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog("Select Machine's Version");
        u.Click(dlg, version == 1 ? IDC_VERSION_21 : IDC_VERSION_22);
        u.Click(dlg, IDOK);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().CheckVersionDlg(Owner(), 1), 1);
    ui.Join();
    ++checks_;
    EXPECT_EQ(Dll().GetVersionCode(), version);
    ExpectTold({});
    ExpectMachineAsModel();
}

TEST_F(Soak, RandomStepsUnderFaultsLoseNothing)
{
    DWORD start = GetTickCount();
    int step = 1;
    for (; step <= (int)steps_; ++step) {
        Step(step);
        if (HasFailure())
            break;
    }
    double seconds = (GetTickCount() - start) / 1000.0;
    std::ostringstream report;
    report << "soak: seed " << seed_ << ", " << std::min(step, (int)steps_) << " steps in " << seconds << " s ("
           << (int)(seconds * 1000 / std::max(1, std::min(step, (int)steps_))) << " ms a step), " << checks_
           << " checks, " << previews_ << " previews fetched\n  operations:";
    for (int i = 0; i < OPS; ++i)
        report << " " << OP_NAMES[i] << " " << opCount_[i] << ";";
    report << "\n  faults:";
    for (int i = 0; i < FAULTS; ++i)
        report << " " << FAULT_NAMES[i] << " " << faultCount_[i] << ";";
    report << "\n  held after warm-up: " << baseline_ << "\n  held at the end:    " << Holdings() << "\n";
    printf("%s", report.str().c_str());
    if (HasFailure())
        printf("soak FAILED at seed %lu step %d; replay: make soak SEED=%lu STEPS=%d\n", seed_, step, seed_, step);
}

}  // namespace
