// The failures that the other test programs leave unprovoked, each met as a user would meet
// it: a dialog that cannot be created, no memory, no event or thread, a temporary file that
// is missing, empty or unreadable, and link failures at every step. What cannot be had from
// the simulator comes from outside the module: a window hook refuses a dialog's window, and
// patched imports of VembDlg.dll fail one call of the system or of the link libraries. The
// rows each case covers are listed in tests/failure_matrix.tsv.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "design_name_res.h"
#include "designgen/design_writer.h"
#include "link/vemblink.h"
#include "machine.h"
#include "machinelist_support.h"
#include "message_box_log.h"
#include "picker_res.h"
#include "receive_designs_res.h"
#include "send/picker.h"
#include "send_designs_res.h"
#include "vemb_helpers.h"

using namespace vt;

namespace {

// ---- calls that fail on demand ----

// Lets `pass` calls through, then fails the next `fail` ones. Armed from the test's thread,
// taken on whichever thread calls.
struct CallFault {
    LONG pass = 0, fail = 0, failed = 0;
    void Arm(LONG passFirst, LONG failCount = 1) { pass = passFirst, fail = failCount, failed = 0; }
    bool Take()
    {
        static struct Lock {
            Lock() { InitializeCriticalSection(&section); }
            CRITICAL_SECTION section;
        } lock;
        EnterCriticalSection(&lock.section);
        bool take = fail > 0 && pass-- <= 0;
        if (take)
            --fail, ++failed;
        LeaveCriticalSection(&lock.section);
        return take;
    }
};

CallFault g_heapCreate, g_heapAlloc, g_globalAlloc, g_globalLock, g_event, g_thread, g_calloc, g_fileRead,
    g_fileWrite, g_fileSize, g_serialOpen, g_usbOpen;
// ReadFile, WriteFile and GetFileSize fail only on the file of this name (opened by the module).
std::string g_watchedFile;
volatile HANDLE g_watchedHandle = INVALID_HANDLE_VALUE;

decltype(&HeapCreate) g_realHeapCreate;
decltype(&HeapAlloc) g_realHeapAlloc;
decltype(&GlobalAlloc) g_realGlobalAlloc;
decltype(&GlobalLock) g_realGlobalLock;
decltype(&CreateEventA) g_realCreateEvent;
decltype(&CreateThread) g_realCreateThread;
decltype(&CreateFileA) g_realCreateFile;
decltype(&ReadFile) g_realReadFile;
decltype(&WriteFile) g_realWriteFile;
decltype(&GetFileSize) g_realGetFileSize;
decltype(&GetProcAddress) g_realGetProcAddress;
void *(__cdecl *g_realCalloc)(size_t, size_t);
int(__stdcall *g_realSerialOpen)(const char *, int, HANDLE);
USB_Initialize_t g_realUsbOpen;

HANDLE WINAPI FaultyHeapCreate(DWORD options, SIZE_T initial, SIZE_T most)
{
    return g_heapCreate.Take() ? NULL : g_realHeapCreate(options, initial, most);
}
LPVOID WINAPI FaultyHeapAlloc(HANDLE heap, DWORD flags, SIZE_T size)
{
    return g_heapAlloc.Take() ? NULL : g_realHeapAlloc(heap, flags, size);
}
HGLOBAL WINAPI FaultyGlobalAlloc(UINT flags, SIZE_T size)
{
    return g_globalAlloc.Take() ? NULL : g_realGlobalAlloc(flags, size);
}
LPVOID WINAPI FaultyGlobalLock(HGLOBAL block)
{
    return g_globalLock.Take() ? NULL : g_realGlobalLock(block);
}
HANDLE WINAPI FaultyCreateEvent(LPSECURITY_ATTRIBUTES sa, BOOL manual, BOOL initial, LPCSTR name)
{
    return g_event.Take() ? NULL : g_realCreateEvent(sa, manual, initial, name);
}
HANDLE WINAPI FaultyCreateThread(LPSECURITY_ATTRIBUTES sa, SIZE_T stack, LPTHREAD_START_ROUTINE start, LPVOID param,
                                 DWORD flags, LPDWORD id)
{
    return g_thread.Take() ? NULL : g_realCreateThread(sa, stack, start, param, flags, id);
}
void *__cdecl FaultyCalloc(size_t count, size_t size)
{
    return g_calloc.Take() ? NULL : g_realCalloc(count, size);
}
HANDLE WINAPI WatchingCreateFile(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD how,
                                 DWORD attributes, HANDLE model)
{
    HANDLE file = g_realCreateFile(path, access, share, sa, how, attributes, model);
    std::string p = path ? path : "";
    if (!g_watchedFile.empty() && p.size() >= g_watchedFile.size() &&
        lstrcmpiA(p.c_str() + p.size() - g_watchedFile.size(), g_watchedFile.c_str()) == 0)
        g_watchedHandle = file;
    return file;
}
BOOL WINAPI FaultyReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD got, LPOVERLAPPED overlapped)
{
    if (file == g_watchedHandle && g_fileRead.Take()) {
        SetLastError(ERROR_READ_FAULT);
        return FALSE;
    }
    return g_realReadFile(file, buffer, size, got, overlapped);
}
BOOL WINAPI FaultyWriteFile(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD put, LPOVERLAPPED overlapped)
{
    if (file == g_watchedHandle && g_fileWrite.Take()) {
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    return g_realWriteFile(file, buffer, size, put, overlapped);
}
DWORD WINAPI FaultyGetFileSize(HANDLE file, LPDWORD high)
{
    if (file == g_watchedHandle && g_fileSize.Take()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_FILE_SIZE;
    }
    return g_realGetFileSize(file, high);
}
// The link libraries answer "not open" (2 serial, 1 USB) without being asked.
int __stdcall FaultySerialOpen(const char *port, int speed, HANDLE cancel)
{
    return g_serialOpen.Take() ? 2 : g_realSerialOpen(port, speed, cancel);
}
int __stdcall FaultyUsbOpen(HWND owner, HANDLE cancel)
{
    return g_usbOpen.Take() ? 1 : g_realUsbOpen(owner, cancel);
}
// The USB link library is bound by name: its USB_Initialize comes back patched.
FARPROC WINAPI PatchingGetProcAddress(HMODULE module, LPCSTR name)
{
    FARPROC found = g_realGetProcAddress(module, name);
    if (found && !IS_INTRESOURCE(name) && strcmp(name, "USB_Initialize") == 0) {
        g_realUsbOpen = (USB_Initialize_t)found;
        return (FARPROC)FaultyUsbOpen;
    }
    return found;
}

// Points VembDlg.dll's imports at the faulty calls above, each calling on to the real one.
// The module is loaded afresh for every test, so this runs in every SetUp.
void PatchModuleImports()
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    struct {
        const char *dll, *name;
        void *hook;
        void **real;
    } patches[] = {
        {"kernel32.dll", "HeapCreate", (void *)FaultyHeapCreate, (void **)&g_realHeapCreate},
        {"kernel32.dll", "HeapAlloc", (void *)FaultyHeapAlloc, (void **)&g_realHeapAlloc},
        {"kernel32.dll", "GlobalAlloc", (void *)FaultyGlobalAlloc, (void **)&g_realGlobalAlloc},
        {"kernel32.dll", "GlobalLock", (void *)FaultyGlobalLock, (void **)&g_realGlobalLock},
        {"kernel32.dll", "CreateEventA", (void *)FaultyCreateEvent, (void **)&g_realCreateEvent},
        {"kernel32.dll", "CreateThread", (void *)FaultyCreateThread, (void **)&g_realCreateThread},
        {"kernel32.dll", "CreateFileA", (void *)WatchingCreateFile, (void **)&g_realCreateFile},
        {"kernel32.dll", "ReadFile", (void *)FaultyReadFile, (void **)&g_realReadFile},
        {"kernel32.dll", "WriteFile", (void *)FaultyWriteFile, (void **)&g_realWriteFile},
        {"kernel32.dll", "GetFileSize", (void *)FaultyGetFileSize, (void **)&g_realGetFileSize},
        {"kernel32.dll", "GetProcAddress", (void *)PatchingGetProcAddress, (void **)&g_realGetProcAddress},
        {"msvcrt.dll", "calloc", (void *)FaultyCalloc, (void **)&g_realCalloc},
        {"VembSio.dll", "SIO_InitializeIO", (void *)FaultySerialOpen, (void **)&g_realSerialOpen},
    };
    HMODULE module = Dll().module;
    for (auto &p : patches) {
        HMODULE from = lstrcmpiA(p.dll, "kernel32.dll") == 0 ? kernel : GetModuleHandleA(p.dll);
        *p.real = (void *)GetProcAddress(from, p.name);
        EXPECT_TRUE(*p.real && uidrive::PatchImport(module, p.dll, p.name, p.hook)) << p.name;
    }
}

void DisarmCalls()
{
    for (CallFault *f : {&g_heapCreate, &g_heapAlloc, &g_globalAlloc, &g_globalLock, &g_event, &g_thread, &g_calloc,
                         &g_fileRead, &g_fileWrite, &g_fileSize, &g_serialOpen, &g_usbOpen})
        *f = CallFault();
    g_watchedFile.clear();
    g_watchedHandle = INVALID_HANDLE_VALUE;
}

// ---- dialogs that cannot be created ----

// Refuses, on the thread that makes it, the windows of dialogs with one caption (as their
// template names it; any dialog when empty), after letting `pass` of them through: DialogBoxParam then fails as
// when a template cannot be had.
class DialogRefusal {
public:
    explicit DialogRefusal(const std::string &caption, int pass = 0)
    {
        caption_ = caption;
        pass_ = pass;
        refused_ = 0;
        hook_ = SetWindowsHookExA(WH_CBT, Hook, NULL, GetCurrentThreadId());
        EXPECT_NE(hook_, (HHOOK)NULL);
    }
    ~DialogRefusal() { UnhookWindowsHookEx(hook_); }
    static int Refused() { return refused_; }
    DialogRefusal(const DialogRefusal &) = delete;
    DialogRefusal &operator=(const DialogRefusal &) = delete;

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam)
    {
        if (code == HCBT_CREATEWND) {
            const CREATESTRUCTA *cs = ((CBT_CREATEWNDA *)lParam)->lpcs;
            bool dialog = IS_INTRESOURCE(cs->lpszClass) ? (ULONG_PTR)cs->lpszClass == 32770
                                                        : lstrcmpiA(cs->lpszClass, "#32770") == 0;
            if (dialog && (caption_.empty() || (cs->lpszName && caption_ == cs->lpszName)) && pass_-- <= 0) {
                ++refused_;
                return 1;
            }
        }
        return CallNextHookEx(NULL, code, wParam, lParam);
    }
    static std::string caption_;
    static int pass_, refused_;
    HHOOK hook_;
};
std::string DialogRefusal::caption_;
int DialogRefusal::pass_, DialogRefusal::refused_;

// ---- what the user saw ----

struct Shown {
    std::string caption, text;
    UINT style;
    bool operator==(const Shown &o) const { return caption == o.caption && text == o.text && style == o.style; }
};
std::ostream &operator<<(std::ostream &os, const Shown &s)
{
    return os << "{\"" << s.caption << "\", \"" << s.text << "\", 0x" << std::hex << s.style << std::dec << "}";
}

// The module's own message boxes, in order, with the style it asked for.
std::vector<Shown> ModuleMessages()
{
    std::vector<Shown> shown;
    for (const MessageBoxCall &c : RecordedMessageBoxes())
        shown.push_back({c.caption, c.text, c.style});
    return shown;
}

// The link library's explanations (message=log): caption, code and detail of each.
std::vector<std::string> LinkMessages()
{
    std::vector<std::string> told;
    for (const SimCall &c : ReadSimCalls())
        if (c.op == "DisplayMessageByReturnCode" || c.op == "USB_DisplayMessageByReturnCode")
            told.push_back(c.Arg("caption") + " " + c.Arg("code") + "/" + c.Arg("detail"));
    return told;
}

bool Called(const std::string &op)
{
    std::vector<std::string> ops = SimOps();
    return std::find(ops.begin(), ops.end(), op) != ops.end();
}

// Answers (OK) the message boxes open now.
void AnswerOpenBoxes(Ui &u)
{
    for (HWND w : TopLevelWindows())
        if (uidrive::LooksLikeMessageBox(w))
            u.Answer(ReadMessageBox(w), IDOK);
}

// Answers every message box that comes until `window` has gone.
void AnswerUntilGone(Ui &u, HWND window)
{
    u.WaitUntil([&] {
        AnswerOpenBoxes(u);
        return !IsWindow(window);
    }, "the dialog to end");
}

const char SEND_COM[] = "Send Designs - COM Port";
const char SEND_USB[] = "Send Designs - USB Connected";
const char FULL_MESSAGE[] = "100 designs are already registered.\nNo design can be registered.";

HWND PressStart(Ui &u, const char *caption = SEND_COM)
{
    HWND dlg = u.WaitDialog(caption);
    u.Click(dlg, IDOK);
    return dlg;
}

class Failures : public VembTest {
protected:
    void SetUp() override
    {
        VembTest::SetUp();
        PatchModuleImports();
        DisarmCalls();
        SetFaults("message=log\n");
    }
    void TearDown() override
    {
        DisarmCalls();
        VembTest::TearDown();
    }
    std::string Design(const std::string &name, int32_t stitches = 1000)
    {
        return WriteDesign(WorkDir() + "\\" + name, stitches);
    }
    std::string List(const std::vector<std::string> &paths) { return WriteSendList(WorkDir() + "\\host.lst", paths); }
    // Stores `count` small designs at a location.
    static void Fill(int location, int count)
    {
        std::vector<char> bytes = DesignBytes(10, 0);
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(linksim::StoreDesign(location, "seed" + std::to_string(i) + ".vbd", bytes.data(), bytes.size()),
                      0);
    }
    static bool NoDirectoryFileLeft() { return !FileExists(TempFile("$$UPLDir.tmp")); }
    // A list send of designs over the serial link (or USB when present), Start pressed at
    // once and every message answered; the dialog's result.
    int SendList(const std::vector<std::string> &paths, const char *caption = SEND_COM)
    {
        std::string list = List(paths);
        UiScript ui([&](Ui &u) { AnswerUntilGone(u, PressStart(u, caption)); });
        int result = Dll().DirectFilesDownload(Owner(), list.c_str(), 0);
        ui.Join();
        return result;
    }
    int SendDirect(const char *caption = SEND_COM)
    {
        design_ = DesignBytes(300, 5);
        UiScript ui([&](Ui &u) { AnswerUntilGone(u, PressStart(u, caption)); });
        int result = Dll().DirectDownload(Owner(), (DWORD)(UINT_PTR)design_.data(), (DWORD)design_.size(), "d.vbd");
        ui.Join();
        return result;
    }
    std::vector<char> design_;
};

// The design picker as a script sees it: the common dialog, the module's child dialog, the
// file name box, the file list and the chosen-designs list.
BOOL CALLBACK CollectWindow(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<HWND> *>(list)->push_back(window);
    return TRUE;
}

std::string ClassOf(HWND window)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

struct PickerView {
    HWND common = NULL, child = NULL, nameBox = NULL, chosen = NULL;

    static PickerView Wait(Ui &u)
    {
        PickerView p;
        p.common = u.WaitDialog("Select Designs");
        u.WaitUntil([&] {
            std::vector<HWND> all;
            EnumChildWindows(p.common, CollectWindow, (LPARAM)&all);
            for (HWND w : all)
                if (ClassOf(w) == "#32770" && GetDlgItem(w, IDC_PICKER_LIST))
                    p.child = w;
            p.nameBox = GetDlgItem(p.common, edt1);
            p.chosen = GetDlgItem(p.child, IDC_PICKER_LIST);
            return p.child && p.nameBox && IsWindowVisible(p.child);
        }, "the picker");
        return p;
    }
    // Selects the file list's items with these texts, and only them.
    void Select(const std::vector<std::string> &names) const
    {
        std::vector<HWND> all;
        EnumChildWindows(common, CollectWindow, (LPARAM)&all);
        for (HWND files : all) {
            if (ClassOf(files) != "SysListView32" || files == chosen || !IsWindowVisible(files))
                continue;
            std::vector<std::string> items = ListItemTexts(files);
            for (int i = -1; i < (int)items.size(); ++i) {
                bool on = i >= 0 && std::find(names.begin(), names.end(), items[i]) != names.end();
                LVITEMA lv = {};
                lv.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
                lv.state = on ? LVIS_SELECTED | LVIS_FOCUSED : 0;
                if (i < 0 || on)
                    SendMessageA(files, LVM_SETITEMSTATE, i, (LPARAM)&lv);
            }
        }
    }
    void Type(const std::string &name) const
    {
        Select({});
        SendMessageTimeoutA(nameBox, WM_SETTEXT, 0, (LPARAM)name.c_str(), SMTO_ABORTIFHUNG, 5000, NULL);
    }
    // Presses a button and waits until the picker's thread has handled the press.
    void Press(Ui &u, int id) const
    {
        u.Click(child, id);
        PassPosted(u, chosen);
    }
    size_t Rows() const { return ListItemTexts(chosen).size(); }
    // Paints what is invalid now, then counts the preview box's pixels that are neither the
    // drawing area's white nor the grey around it (inside its border and etched frame).
    int StitchPixels() const
    {
        UpdateWindow(child);
        RECT box;
        GetWindowRect(GetDlgItem(child, IDC_PREVIEW_BOX), &box);
        HDC screen = GetDC(NULL);
        int count = 0;
        for (int y = box.top + 5; y < box.bottom - 5; ++y)
            for (int x = box.left + 5; x < box.right - 5; ++x) {
                COLORREF c = GetPixel(screen, x, y);
                count += c != RGB(255, 255, 255) && c != RGB(192, 192, 192);
            }
        ReleaseDC(NULL, screen);
        return count;
    }
    // The preview box's tooltip (the design on show), asked as the tooltip asks.
    std::string PreviewTip() const
    {
        std::vector<HWND> all;
        EnumWindows(CollectWindow, (LPARAM)&all);
        for (HWND w : all) {
            TOOLINFOW tool = {};
            tool.cbSize = TTTOOLINFOW_V2_SIZE;
            tool.hwnd = child;
            tool.uId = (UINT_PTR)GetDlgItem(child, IDC_PREVIEW_BOX);
            if (ClassOf(w) != TOOLTIPS_CLASSA || !SendMessageW(w, TTM_GETTOOLINFOW, 0, (LPARAM)&tool))
                continue;
            wchar_t text[1024] = L"";
            tool.lpszText = text;
            SendMessageW(w, TTM_GETTEXTW, 1024, (LPARAM)&tool);
            char narrow[2048] = "";
            WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, NULL, NULL);
            return narrow;
        }
        return "(no tool)";
    }
};

// ---- the export frame ----

class ExportFrame : public Failures {};

// A transfer export whose dialog cannot be created returns 0 after its usual clean-up:
// the USB link terminated and unloaded, and nothing shown.
TEST_F(ExportFrame, DialogThatCannotBeCreatedReturnsZero)
{
    UseUsb(Usb::Present);
    std::vector<char> design = DesignBytes(300, 1);
    std::string list = List({Design("a.vbd")});
    const struct {
        const char *templateCaption;
        std::function<int()> call;
    } exports[] = {
        {"Send Designs",
         [&] { return Dll().DirectDownload(Owner(), (DWORD)(UINT_PTR)design.data(), (DWORD)design.size(), "x"); }},
        {"Send Designs", [&] { return Dll().DirectFilesDownload(Owner(), list.c_str(), 0); }},
        {"Receive Designs", [&] { return (int)Dll().UploadData(Owner()); }},
        {"Delete Designs", [&] { return (int)Dll().DeleteData(Owner()); }},
    };
    for (auto &e : exports) {
        SCOPED_TRACE(e.templateCaption);
        linksim::ResetMachine();
        SetFaults("message=log\n");
        DialogRefusal refusal(e.templateCaption);
        EXPECT_EQ(e.call(), 0);
        EXPECT_EQ(DialogRefusal::Refused(), 1);
        EXPECT_EQ(SimOps(), std::vector<std::string>{"USB_Terminate"});
        EXPECT_EQ(GetModuleHandleA("VEMBUSB.DLL"), (HMODULE)NULL) << "unloaded";
        EXPECT_EQ(Dll().GetTransferStatus(), 0u);
    }
    EXPECT_TRUE(ModuleMessages().empty());
}

// The system's common dialog as the module sees it failing: no dialog, an extended error.
// (Wine's own dialog opens in every case a test can make, so its answer is replaced.)
BOOL WINAPI FailingOpenDialog(LPOPENFILENAMEA)
{
    return FALSE;
}
DWORD WINAPI DialogFailure()
{
    return CDERR_DIALOGFAILURE;
}

// The picker's common dialog fails with an extended error: the send list goes, the USB
// library is unloaded without being terminated, and the result is 0.
TEST_F(ExportFrame, PickerFailureReturnsZeroWithoutTerminatingTheLink)
{
    UseUsb(Usb::Present);
    ASSERT_TRUE(WriteFileText(TempFile("SendList.tp$"), std::string(260, 'x')));
    // (The module is unloaded after each test, and its imports with it.)
    ASSERT_TRUE(uidrive::PatchImport(Dll().module, "comdlg32.dll", "GetOpenFileNameA", (void *)FailingOpenDialog));
    ASSERT_TRUE(uidrive::PatchImport(Dll().module, "comdlg32.dll", "CommDlgExtendedError", (void *)DialogFailure));
    char folder[MAX_PATH];
    lstrcpynA(folder, WorkDir().c_str(), sizeof folder);
    BOOL result = Dll().TransferVBDFiles(Owner(), folder);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(FileExists(TempFile("SendList.tp$")));
    EXPECT_TRUE(SimOps().empty()) << "no USB_Terminate";
    EXPECT_EQ(GetModuleHandleA("VEMBUSB.DLL"), (HMODULE)NULL);
    EXPECT_TRUE(ModuleMessages().empty());
}

// After Send, the Send Designs dialog cannot be created: 0, the send list deleted.
TEST_F(ExportFrame, PickerSendDialogThatCannotBeCreatedReturnsZero)
{
    UseUsb(Usb::Present);
    WriteDesign(WorkDir() + "\\rose.vbd", 300);
    char folder[MAX_PATH];
    lstrcpynA(folder, WorkDir().c_str(), sizeof folder);
    DialogRefusal refusal("Send Designs");
    UiScript ui([&](Ui &u) {
        PickerView p = PickerView::Wait(u);
        p.Type("rose.vbd");
        p.Press(u, IDC_PICKER_ADD);
        u.Click(p.child, IDC_PICKER_SEND);
        u.WaitGone(p.common);
    });
    EXPECT_EQ(Dll().TransferVBDFiles(Owner(), folder), 0);
    ui.Join();
    EXPECT_EQ(DialogRefusal::Refused(), 1);
    EXPECT_FALSE(FileExists(TempFile("SendList.tp$")));
    EXPECT_EQ(SimOps(), std::vector<std::string>{"USB_Terminate"});
    EXPECT_EQ(GetModuleHandleA("VEMBUSB.DLL"), (HMODULE)NULL);
    EXPECT_TRUE(ModuleMessages().empty());
}

// ---- sending ----

class SendFailures : public Failures {};

TEST_F(SendFailures, NoMemoryForTheSendListEndsTheSend)
{
    for (CallFault *fault : {&g_heapCreate, &g_heapAlloc}) {
        SCOPED_TRACE(fault == &g_heapCreate ? "no heap" : "no memory in it");
        ClearRecordedMessageBoxes();
        fault->Arm(0);
        EXPECT_EQ(SendList({Design("a.vbd")}), 1);
        EXPECT_EQ(fault->failed, 1);
        EXPECT_EQ(ModuleMessages(), (std::vector<Shown>{{"Sending", "Not Enough Memory.", MB_ICONHAND}}));
        EXPECT_TRUE(SimOps().empty());
        EXPECT_EQ(Dll().GetTransferStatus(), 0u);
    }
}

// The send list, or a design's header, cannot be read.
TEST_F(SendFailures, UnreadableListOrDesignEndsTheSend)
{
    for (const char *file : {"host.lst", "a.vbd"}) {
        SCOPED_TRACE(file);
        ClearRecordedMessageBoxes();
        DisarmCalls();
        g_watchedFile = file;
        g_fileRead.Arm(0);
        EXPECT_EQ(SendList({Design("a.vbd")}), 1);
        EXPECT_EQ(g_fileRead.failed, 1);
        EXPECT_EQ(ModuleMessages(), (std::vector<Shown>{{"Sending", "File Read Error.", MB_ICONHAND}}));
        EXPECT_TRUE(SimOps().empty());
        EXPECT_EQ(Dll().GetTransferStatus(), 0u);
    }
}

// Without its cancel event, or without its worker, a send ends with its message: the event
// before the machine is asked anything, the worker after the Check Files step.
TEST_F(SendFailures, NoEventOrWorkerEndsTheSend)
{
    const struct {
        bool direct;
        CallFault *fault;
        int pass;
        const char *message;
        std::vector<std::string> ops;
    } cases[] = {
        {false, &g_event, 0, "Failed to create event object.", {}},
        {true, &g_event, 0, "Failed to create event object.", {}},
        {false, &g_thread, 1, "Failed to create thread.", {"SIO_InitializeIO", "Protocol_Seq_DirUpload", "SIO_TerminateIO"}},
        {true, &g_thread, 1, "Failed to create thread.", {"SIO_InitializeIO", "Protocol_Seq_DirUpload", "SIO_TerminateIO"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.direct ? "direct: " : "list: ") + c.message);
        linksim::ResetMachine();
        SetFaults("message=log\n");
        ClearRecordedMessageBoxes();
        c.fault->Arm(c.pass);
        EXPECT_EQ(c.direct ? SendDirect() : SendList({Design("a.vbd")}), 1);
        EXPECT_EQ(c.fault->failed, 1);
        EXPECT_EQ(ModuleMessages(), (std::vector<Shown>{{"Sending", c.message, MB_ICONHAND}}));
        EXPECT_EQ(SimOps(), c.ops);
        EXPECT_EQ(Dll().GetTransferStatus(), 0u);
    }
}

// The Check Files step without its event ends the send after its message; without its
// dialog the send goes on as if the location were empty.
TEST_F(SendFailures, CheckFilesWithoutItsEventOrItsDialog)
{
    g_event.Arm(1);  // the send's own event comes first
    EXPECT_EQ(SendList({Design("a.vbd")}), 1);
    EXPECT_EQ(ModuleMessages(), (std::vector<Shown>{
                                    {"Directory Information Upload", "Failed to create event object.", MB_ICONHAND}}));
    EXPECT_TRUE(SimOps().empty());
    EXPECT_TRUE(NoDirectoryFileLeft());

    ClearRecordedMessageBoxes();
    Fill(1, 100);  // would refuse the send, had the machine been asked
    DialogRefusal refusal("Check Files");
    EXPECT_EQ(SendList({Design("b.vbd")}), 1);
    EXPECT_EQ(DialogRefusal::Refused(), 1);
    EXPECT_EQ(ModuleMessages(), (std::vector<Shown>{{"Error", "Failed to create Window.", MB_TOPMOST | MB_ICONHAND}}));
    EXPECT_FALSE(Called("Protocol_Seq_DirUpload"));
    EXPECT_EQ(StoredNames(1).size(), 100u) << "the machine itself refused the 101st";
    EXPECT_EQ(CallsOf("Protocol_Seq_Download").size(), 1u);
    EXPECT_EQ(Dll().GetTransferStatus(), 0u);
}

// What the directory upload of the Check Files step left: no file ends the send without a
// message; an empty file, one too short for its count, or one whose size or count cannot be
// read counts as an empty location; one that a failed upload left is read like any other.
// The file goes in every case.
TEST_F(SendFailures, DirectoryInformationAtCheckFiles)
{
    const std::string full = {0, 100};  // 100 designs stored
    const struct {
        const char *what;
        const char *faults;
        std::string file;  // left by "the link library"
        bool fileLeft;
        CallFault *fault;
        bool sent;
        std::vector<Shown> told;
        std::vector<std::string> link;
    } cases[] = {
        {"missing", "fail.Protocol_Seq_DirUpload=0\n", "", false, nullptr, false, {}, {}},
        {"empty", "fail.Protocol_Seq_DirUpload=0\n", "", true, nullptr, true, {}, {}},
        {"one byte", "fail.Protocol_Seq_DirUpload=0\n", "d", true, nullptr, true, {}, {}},
        {"size unknown", "fail.Protocol_Seq_DirUpload=0\n", full, true, &g_fileSize, true, {}, {}},
        {"unreadable", "fail.Protocol_Seq_DirUpload=0\n", full, true, &g_fileRead, true, {}, {}},
        {"left by a failed upload", "fail.Protocol_Seq_DirUpload=14,3\n", full, true, nullptr, false,
         {{"Attention", FULL_MESSAGE, MB_ICONHAND}}, {"Design List 14/3"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        linksim::ResetMachine();
        SetFaults(std::string(c.faults) + "message=log\n");
        ClearRecordedMessageBoxes();
        DisarmCalls();
        if (c.fileLeft) {
            ASSERT_TRUE(WriteFileBytes(TempFile("$$UPLDir.tmp"), c.file.data(), c.file.size()));
        }
        g_watchedFile = "$$UPLDir.tmp";
        if (c.fault)
            c.fault->Arm(0);
        EXPECT_EQ(SendList({Design("a.vbd")}), 1);
        if (c.fault) {
            EXPECT_EQ(c.fault->failed, 1);
        }
        EXPECT_EQ(StoredNames(1), c.sent ? std::vector<std::string>{"a.vbd"} : std::vector<std::string>{});
        EXPECT_EQ(ModuleMessages(), c.told);
        EXPECT_EQ(LinkMessages(), c.link);
        EXPECT_TRUE(NoDirectoryFileLeft());
    }
}

// Every link failure of a send is explained by the link library alone, under the step's
// caption: the line that does not open (detail 0) and the sequence that fails (its detail).
// A full location refuses a direct send before its worker.
TEST_F(SendFailures, LinkFailuresAreTheLibrarysToExplain)
{
    const struct {
        const char *what;
        bool direct, usb;
        CallFault *fault;
        int pass;
        const char *faults;
        std::vector<std::string> link;
    } cases[] = {
        {"list, serial line", false, false, &g_serialOpen, 1, "", {"Sending 2/0"}},
        {"list, USB link", false, true, &g_usbOpen, 4, "", {"Sending 1/0"}},
        {"list, USB sequence", false, true, nullptr, 0, "fail.USB_Download_Sequence=13,5\n", {"Sending 13/5"}},
        {"direct, serial line", true, false, &g_serialOpen, 1, "", {"Sending 2/0"}},
        {"direct, USB link", true, true, &g_usbOpen, 4, "", {"Sending 1/0"}},
        {"direct, serial sequence", true, false, nullptr, 0, "fail.Protocol_Seq_Download_Direct=13,6\n",
         {"Sending 13/6"}},
        {"direct, USB sequence", true, true, nullptr, 0, "fail.USB_DirectDownload_Sequence=13,6\n",
         {"Sending 13/6"}},
        {"Check Files, USB link", false, true, &g_usbOpen, 2, "", {"Design List 1/0"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        UseUsb(c.usb ? Usb::Present : Usb::Absent);
        linksim::ResetMachine();
        SetFaults(std::string(c.faults) + "message=log\n");
        DisarmCalls();
        if (c.fault)
            c.fault->Arm(c.pass);
        const char *title = c.usb ? SEND_USB : SEND_COM;
        EXPECT_EQ(c.direct ? SendDirect(title) : SendList({Design("a.vbd")}, title), 1);
        if (c.fault) {
            EXPECT_EQ(c.fault->failed, 1);
        }
        EXPECT_EQ(LinkMessages(), c.link);
        EXPECT_TRUE(StoredNames(1).empty());
        EXPECT_EQ(GetModuleHandleA("VEMBUSB.DLL"), (HMODULE)NULL);
        EXPECT_EQ(Dll().GetTransferStatus(), 0u);
    }
    EXPECT_TRUE(ModuleMessages().empty());

    UseUsb(Usb::Absent);
    Fill(1, 100);
    EXPECT_EQ(SendDirect(), 1);
    EXPECT_EQ(ModuleMessages(), (std::vector<Shown>{{"Attention", FULL_MESSAGE, MB_ICONHAND}}));
    EXPECT_TRUE(CallsOf("Protocol_Seq_Download_Direct").empty());
}

TEST_F(SendFailures, NameDialogThatCannotBeCreated)
{
    DialogRefusal refusal("Vbd Name");
    std::vector<char> design = DesignBytes(300, 2);
    bool ready = false;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(SEND_COM);
        u.Click(dlg, IDC_SEND_NAME);
        u.Answer(u.WaitMessageBox("Enter Filename"), IDOK);
        vt::Settle(dlg);
        ready = IsControlVisible(dlg, IDOK);
        u.Click(dlg, IDOK);
        AnswerUntilGone(u, dlg);
    });
    EXPECT_EQ(Dll().DirectDownload(Owner(), (DWORD)(UINT_PTR)design.data(), (DWORD)design.size(), "n.vbd"), 1);
    ui.Join();
    EXPECT_EQ(DialogRefusal::Refused(), 1);
    EXPECT_TRUE(ready) << "the dialog stays ready";
    EXPECT_EQ(ModuleMessages(), (std::vector<Shown>{{"Enter Filename", "Failed to create Window.", MB_ICONHAND}}));
    EXPECT_EQ(StoredNames(1), std::vector<std::string>{"n.vbd"});
}

// The version question cannot be asked: the send applies the limit of the version stored
// (none: 32000).
TEST_F(SendFailures, VersionQuestionThatCannotBeAsked)
{
    DialogRefusal refusal("Confirm Machine's Version");
    std::string list = List({Design("small.vbd", 500), Design("big.vbd", 40000)});
    UiScript ui([&](Ui &u) { AnswerUntilGone(u, PressStart(u)); });
    EXPECT_EQ(Dll().DirectFilesDownload(Owner(), list.c_str(), 1), 1);
    ui.Join();
    EXPECT_EQ(DialogRefusal::Refused(), 1);
    EXPECT_EQ(ModuleMessages(),
              (std::vector<Shown>{{"Attention",
                                   "The design is too large and cannot be sent in this menu.\nThe pattern (big.vbd) "
                                   "exceeds the 32000 stitch limit.",
                                   MB_ICONEXCLAMATION}}));
    EXPECT_EQ(StoredNames(1), std::vector<std::string>{"small.vbd"});
}

// ---- the design picker ----

class PickerFailures : public Failures {
protected:
    // Opens the picker over the test's folder with `script` beside it; the export's result.
    BOOL RunPicker(const std::function<void(Ui &, PickerView &)> &script)
    {
        char folder[MAX_PATH];
        lstrcpynA(folder, WorkDir().c_str(), sizeof folder);
        UiScript ui([&](Ui &u) {
            PickerView p = PickerView::Wait(u);
            script(u, p);
            if (IsWindow(p.common))
                u.Click(p.common, IDCANCEL);
        });
        BOOL result = Dll().TransferVBDFiles(Owner(), folder);
        ui.Join();
        return result;
    }
    std::string In(const std::string &name) const { return WorkDir() + "\\" + name; }
};

// A design that cannot be drawn (its file, or no heap, or no memory in it) leaves the box
// cleared with the tooltip "Preview".
TEST_F(PickerFailures, UndrawableDesignClearsThePreview)
{
    WriteDesign(In("good.vbd"), 1500, 0);
    ASSERT_TRUE(WriteFileText(In("broken.vbd"), "not a design"));
    RunPicker([&](Ui &u, PickerView &p) {
        const std::pair<const char *, std::function<void()>> cases[] = {
            {"broken file", [&] { p.Select({"broken.vbd"}); }},
            {"no heap", [&] { g_heapCreate.Arm(0, 1000); }},  // every paint draws anew
            {"no memory", [&] { g_heapAlloc.Arm(0, 1000); }},
        };
        for (auto &c : cases) {
            SCOPED_TRACE(c.first);
            DisarmCalls();
            p.Select({"good.vbd"});
            InvalidateRect(p.child, NULL, FALSE);
            UpdateWindow(p.child);
            ASSERT_GT(p.StitchPixels(), 50);
            ASSERT_EQ(p.PreviewTip(), In("good.vbd"));
            c.second();
            InvalidateRect(p.child, NULL, FALSE);
            UpdateWindow(p.child);
            EXPECT_EQ(p.StitchPixels(), 0);
            EXPECT_EQ(p.PreviewTip(), "Preview");
            EXPECT_EQ(ControlText(p.child, IDC_HOOP_LABEL), " ");
        }
        (void)u;
    });
    EXPECT_TRUE(ModuleMessages().empty());
}

// A file whose header cannot be read, or whose size cannot be taken, is not added, and
// nothing is shown.
TEST_F(PickerFailures, UnreadableFileIsNotAdded)
{
    WriteDesign(In("rose.vbd"), 300);
    RunPicker([&](Ui &u, PickerView &p) {
        g_watchedFile = "rose.vbd";
        for (CallFault *fault : {&g_fileRead, &g_fileSize}) {
            fault->Arm(0);
            p.Type("rose.vbd");
            p.Press(u, IDC_PICKER_ADD);
            EXPECT_EQ(fault->failed, 1);
            EXPECT_TRUE(p.Rows() == 0u);
        }
        p.Press(u, IDC_PICKER_ADD);
        EXPECT_EQ(p.Rows(), 1u) << "readable again";
    });
    EXPECT_TRUE(ModuleMessages().empty());
}

// The version question cannot be asked: taken as declined, the rest of that addition is
// skipped, and the next addition asks again.
TEST_F(PickerFailures, VersionQuestionThatCannotBeAskedStopsTheAddition)
{
    WriteDesign(In("a_big.vbd"), 40000);
    WriteDesign(In("b_small.vbd"), 100);
    DialogRefusal refusal("Confirm Machine's Version");
    RunPicker([&](Ui &u, PickerView &p) {
        p.Select({"a_big.vbd", "b_small.vbd"});
        p.Press(u, IDC_PICKER_ADD);
        EXPECT_EQ(DialogRefusal::Refused(), 1);
        EXPECT_TRUE(p.Rows() == 0u);
        p.Press(u, IDC_PICKER_ADD);
        EXPECT_EQ(DialogRefusal::Refused(), 2);
    });
    EXPECT_TRUE(ModuleMessages().empty());
}

// The send list cannot be written: the message, and the picker stays open.
TEST_F(PickerFailures, SendListThatCannotBeWritten)
{
    WriteDesign(In("rose.vbd"), 300);
    bool open = false;
    EXPECT_EQ(RunPicker([&](Ui &u, PickerView &p) {
                  p.Type("rose.vbd");
                  p.Press(u, IDC_PICKER_ADD);
                  g_watchedFile = "SendList.tp$";
                  g_fileWrite.Arm(0);
                  u.Click(p.child, IDC_PICKER_SEND);
                  u.Answer(u.WaitMessageBox("Error"), IDOK);
                  PassPosted(u, p.chosen);
                  open = IsWindow(p.common) != FALSE;
              }),
              1);
    EXPECT_TRUE(open);
    EXPECT_EQ(ModuleMessages(),
              (std::vector<Shown>{{"Error", "Failed to write a temporary file.", MB_ICONEXCLAMATION}}));
    EXPECT_FALSE(FileExists(TempFile("SendList.tp$")));
    EXPECT_TRUE(SimOps().empty());
}

// Send refuses an empty list before the writer is reached, so the writer's own refusal is
// met only by calling it (the module's code linked into this program).
TEST_F(PickerFailures, WriterRefusesAnEmptyList)
{
    HWND list = CreateWindowA(WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 0, 100, 100, Owner(), NULL, NULL, NULL);
    std::string path = WorkDir() + "\\SendList.tp$";
    UiScript ui([](Ui &u) { u.Answer(u.WaitMessageBox("error"), IDOK); });
    EXPECT_FALSE(WriteSendList(Owner(), list, path.c_str()));
    ui.Join();
    DestroyWindow(list);
    EXPECT_EQ(ModuleMessages(), (std::vector<Shown>{{"error", "No data available.", MB_ICONEXCLAMATION}}));
    EXPECT_FALSE(FileExists(path));
}

// ---- the machine design list, its previews, and receiving ----

// One of the two dialogs over the machine design list, with the captions of its messages.
struct ListSide {
    const char *title;  // without the link suffix
    std::function<BOOL(HWND)> open;
    const char *listCaption, *uploadEventCaption, *previewEventCaption;
};
const ListSide RECEIVE_SIDE = {"Receive Designs", [](HWND owner) { return Dll().UploadData(owner); }, "Upload",
                               "Directory Information", "Directory Infomation"};
const ListSide DELETE_SIDE = {"Delete Designs", [](HWND owner) { return Dll().DeleteData(owner); }, "Delete",
                              "Directory Information Upload", "Directory Information"};

std::string Title(const ListSide &side, bool usb)
{
    return std::string(side.title) + (usb ? " - USB Connected" : " - COM Port");
}

// Waits until the first directory upload has been shown in the list (the label says how
// many are ticked), answering every message on the way.
void WaitFirstList(Ui &u, HWND dialog)
{
    u.WaitUntil([&] {
        AnswerOpenBoxes(u);
        return ControlText(dialog, IDC_SELECTED_COUNT) != "";
    }, "the first list");
    vt::Settle(dialog);
}

// Shows the preview of `item` with the button and waits until the fetch and the drawing
// are over, answering every message on the way.
void ShowPreviewOf(Ui &u, HWND dialog, int item)
{
    ClickItem(dialog, item);
    Barrier(u, dialog);
    u.Click(dialog, IDC_SHOW_PREVIEW);
    Barrier(u, dialog);
    u.WaitUntil([&] {
        AnswerOpenBoxes(u);
        return !FindWindowA(NULL, "Receive Preview Data");
    }, "the preview fetch");
    vt::Settle(dialog);
}

// Pixels of the preview box, inside its borders, that are not the light grey of a cleared box.
int PreviewPixels(HWND dialog)
{
    HWND box = GetDlgItem(dialog, IDC_PREVIEW_BOX);
    RECT r;
    GetClientRect(box, &r);
    HDC dc = GetDC(box);
    int painted = 0;
    for (int y = 3; y < r.bottom - 3; y += 2)
        for (int x = 3; x < r.right - 3; x += 2)
            painted += GetPixel(dc, x, y) != RGB(192, 192, 192);
    ReleaseDC(box, dc);
    return painted;
}

class ListFailures : public Failures {
protected:
    // Opens the side's dialog; once its first list is shown runs `script`, then cancels.
    BOOL RunList(const ListSide &side, const std::function<void(Ui &, HWND)> &script, bool usb = false)
    {
        UiScript ui([&](Ui &u) {
            HWND dlg = u.WaitDialog(Title(side, usb));
            WaitFirstList(u, dlg);
            script(u, dlg);
            if (IsWindow(dlg)) {
                u.Click(dlg, IDCANCEL);
                AnswerUntilGone(u, dlg);
            }
        });
        BOOL result = side.open(Owner());
        ui.Join();
        return result;
    }
    void SeedThree()
    {
        for (const char *name : {"b.vbd", "c.vbd", "a.vbd"})
            SeedDesign(1, name, DesignBytes(200, name[0]));
    }
    static std::vector<std::string> Received(const std::string &folder)
    {
        std::vector<std::string> files;
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA((folder + "\\*.vbd").c_str(), &found);
        for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &found))
            files.push_back(found.cFileName);
        if (find != INVALID_HANDLE_VALUE)
            FindClose(find);
        return files;
    }
    void ListLoadFailures(const ListSide &side);
    void PreviewFailures(const ListSide &side);
    void DirectoryDialogThatCannotBeCreated(const ListSide &side);
};

// The first load of the list, and what each failure of the directory upload and of its file
// leaves in it: the list is empty (or unsorted without memory to sort), the link library
// or the module has said why, and the file has gone.
void ListFailures::ListLoadFailures(const ListSide &side)
{
    enum Told { NOTHING, NO_EVENT, UNREADABLE };
    const struct {
        const char *what;
        bool usb;
        const char *faults;
        int fileBytes;  // the directory information left by "the link library"; -1 none
        CallFault *fault;
        int pass;
        Told told;
        std::vector<std::string> link, names;
    } cases[] = {
        {"no event", false, "", -1, &g_event, 0, NO_EVENT, {}, {}},
        {"serial line", false, "port=COM2\n", -1, nullptr, 0, NOTHING, {"Design List 2/0"}, {}},
        {"USB link", true, "", -1, &g_usbOpen, 2, NOTHING, {"Design List 1/0"}, {}},
        {"directory operation", false, "fail.Protocol_Seq_DirUpload=14,3\n", -1, nullptr, 0, NOTHING,
         {"Design List 14/3"}, {}},
        {"no file", false, "fail.Protocol_Seq_DirUpload=0\n", -1, nullptr, 0, NOTHING, {}, {}},
        {"empty file", false, "fail.Protocol_Seq_DirUpload=0\n", 0, nullptr, 0, NOTHING, {}, {}},
        {"no memory for the file", false, "", -1, &g_calloc, 0, NOTHING, {}, {}},
        {"unreadable file", false, "", -1, &g_fileRead, 0, UNREADABLE, {}, {}},
        {"no memory to sort", false, "", -1, &g_calloc, 1, NOTHING, {}, {"b.vbd", "c.vbd", "a.vbd"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        UseUsb(c.usb ? Usb::Present : Usb::Absent);
        linksim::ResetMachine();
        SeedThree();
        SetFaults(std::string(c.faults) + "message=log\n");
        ClearRecordedMessageBoxes();
        DisarmCalls();
        if (c.fileBytes >= 0) {
            ASSERT_TRUE(WriteFileBytes(TempFile("$$UPLDir.tmp"), "", c.fileBytes));
        }
        g_watchedFile = "$$UPLDir.tmp";
        if (c.fault)
            c.fault->Arm(c.pass);
        std::vector<std::string> names;
        EXPECT_EQ(RunList(side, [&](Ui &, HWND dlg) { names = ItemNames(dlg); }, c.usb), 1);
        if (c.fault) {
            EXPECT_EQ(c.fault->failed, 1);
        }
        EXPECT_EQ(names, c.names);
        std::vector<Shown> told;
        if (c.told == NO_EVENT)
            told.push_back({side.uploadEventCaption, "Failed to create event object.", MB_ICONHAND});
        if (c.told == UNREADABLE)
            told.push_back({side.listCaption, "Failed to read a temporary file.", MB_ICONHAND});
        EXPECT_EQ(ModuleMessages(), told);
        EXPECT_EQ(LinkMessages(), c.link);
        EXPECT_FALSE(FileExists(TempFile("$$UPLDir.tmp")));
    }
}

// A preview that cannot be fetched clears the box; one that cannot be drawn leaves it.
void ListFailures::PreviewFailures(const ListSide &side)
{
    const struct {
        const char *what;
        bool usb;
        bool refuseDialog;
        CallFault *fault;
        int pass;
        const char *faults;
        int item;  // 0 the broken design, 1 the good one
        bool eventMessage;
        std::vector<std::string> link;
        bool cleared;
    } cases[] = {
        {"no dialog", false, true, nullptr, 0, "", 1, false, {}, true},
        {"no event", false, false, &g_event, 0, "", 1, true, {}, true},
        {"serial line", false, false, nullptr, 0, "port=COM2\n", 1, false, {"Receiving Preview Data 2/0"}, true},
        {"USB link", true, false, &g_usbOpen, 1, "", 1, false, {"Receiving Preview Data 1/0"}, true},
        {"undrawable design", false, false, nullptr, 0, "", 0, false, {}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        UseUsb(c.usb ? Usb::Present : Usb::Absent);
        linksim::ResetMachine();
        SeedDesign(1, "good.vbd", designgen::MakeDesign({300, 1, {10}}));
        SeedDesign(1, "broken.vbd", std::vector<char>(20, 'x'));
        SetFaults("message=log\n");
        ClearRecordedMessageBoxes();
        DisarmCalls();
        std::unique_ptr<DialogRefusal> refusal;
        if (c.refuseDialog)
            refusal.reset(new DialogRefusal("Receive Design List", 2));  // the list, the first preview
        std::string labelBefore, labelAfter;
        int paintedBefore = 0, paintedAfter = 0;
        EXPECT_EQ(RunList(side,
                          [&](Ui &u, HWND dlg) {
                              ShowPreviewOf(u, dlg, 1);
                              labelBefore = ControlText(dlg, IDC_HOOP_LABEL);
                              paintedBefore = PreviewPixels(dlg);
                              SetFaults(std::string(c.faults) + "message=log\n");
                              if (c.fault)
                                  c.fault->Arm(c.pass);
                              ShowPreviewOf(u, dlg, c.item);
                              labelAfter = ControlText(dlg, IDC_HOOP_LABEL);
                              paintedAfter = PreviewPixels(dlg);
                          },
                          c.usb),
                  1);
        if (c.fault) {
            EXPECT_EQ(c.fault->failed, 1);
        }
        if (refusal) {
            EXPECT_EQ(DialogRefusal::Refused(), 1);
        }
        EXPECT_EQ(labelBefore, "Small Hoop");
        EXPECT_GT(paintedBefore, 100);
        EXPECT_EQ(labelAfter, c.cleared ? " " : "Small Hoop");
        EXPECT_EQ(paintedAfter, c.cleared ? 0 : paintedBefore);
        std::vector<Shown> told;
        if (c.eventMessage)
            told.push_back({side.previewEventCaption, "Failed to create event object.", MB_ICONHAND});
        EXPECT_EQ(ModuleMessages(), told);
        EXPECT_EQ(LinkMessages(), c.link);
        EXPECT_FALSE(FileExists(TempFile("$$UPLPrv.tmp")));
    }
}

// The directory upload's dialog cannot be created: at the first load the side's dialog
// ends after the message; later the list stays as it was.
void ListFailures::DirectoryDialogThatCannotBeCreated(const ListSide &side)
{
    SeedThree();
    const Shown failed = {side.listCaption, "Failed to create Window.", MB_TOPMOST | MB_ICONHAND};
    {
        DialogRefusal refusal("Receive Design List");
        UiScript ui([&](Ui &u) {
            HWND dlg = u.WaitDialog(Title(side, false));
            u.Answer(u.WaitMessageBox(side.listCaption), IDOK);
            u.WaitGone(dlg);
        });
        EXPECT_EQ(side.open(Owner()), 1);
        ui.Join();
        EXPECT_EQ(DialogRefusal::Refused(), 1);
        EXPECT_EQ(ModuleMessages(), std::vector<Shown>{failed});
        EXPECT_TRUE(SimOps().empty());
    }
    ClearRecordedMessageBoxes();
    DialogRefusal refusal("Receive Design List", 1);
    std::vector<std::string> after;
    EXPECT_EQ(RunList(side,
                      [&](Ui &u, HWND dlg) {
                          u.Click(dlg, IDC_RECEIVE_ATA_CARD);  // 1009 in both dialogs
                          u.Answer(u.WaitMessageBox(side.listCaption), IDOK);
                          Barrier(u, dlg);
                          after = ItemNames(dlg);
                      }),
              1);
    EXPECT_EQ(after, (std::vector<std::string>{"a.vbd", "b.vbd", "c.vbd"})) << "not reloaded";
    EXPECT_EQ(ModuleMessages(), std::vector<Shown>{failed});
}

TEST_F(ListFailures, ReceiveListLoad)
{
    ListLoadFailures(RECEIVE_SIDE);
}

TEST_F(ListFailures, ReceivePreview)
{
    PreviewFailures(RECEIVE_SIDE);
}

TEST_F(ListFailures, ReceiveDirectoryDialog)
{
    DirectoryDialogThatCannotBeCreated(RECEIVE_SIDE);
}

TEST_F(ListFailures, DeleteListLoad)
{
    ListLoadFailures(DELETE_SIDE);
}

TEST_F(ListFailures, DeletePreview)
{
    PreviewFailures(DELETE_SIDE);
}

TEST_F(ListFailures, DeleteDirectoryDialog)
{
    DirectoryDialogThatCannotBeCreated(DELETE_SIDE);
}

// Delete confirmed, but the delete list or the wait dialog cannot be had: the message, and
// the dialog stays with nothing deleted. Over USB a link that does not start in the worker
// is the library's to explain, and both dialogs end.
TEST_F(ListFailures, DeleteStep)
{
    const Shown sure = {"Delete", "Are you sure?", MB_YESNO | MB_ICONQUESTION};
    const Shown noMemory = {"Preview", "Not enough memory space.", MB_ICONHAND};
    const struct {
        const char *what;
        bool usb, refuseDialog;
        CallFault *fault;
        int pass;
        std::vector<Shown> told;
        std::vector<std::string> link;
        bool stays;
    } cases[] = {
        {"no block", false, false, &g_globalAlloc, 0, {sure, noMemory}, {}, true},
        {"block not locked", false, false, &g_globalLock, 0, {sure, noMemory}, {}, true},
        {"no wait dialog", false, true, nullptr, 0,
         {sure, {"Delete", "Failed to create Window.", MB_TOPMOST | MB_ICONHAND}}, {}, true},
        {"USB link", true, false, &g_usbOpen, 1, {sure}, {"Delete 1/0"}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        UseUsb(c.usb ? Usb::Present : Usb::Absent);
        linksim::ResetMachine();
        SeedThree();
        SetFaults("message=log\n");
        ClearRecordedMessageBoxes();
        DisarmCalls();
        std::unique_ptr<DialogRefusal> refusal;
        if (c.refuseDialog)
            refusal.reset(new DialogRefusal("Delete Designs", 1));  // after dialog 108
        bool stays = false;
        EXPECT_EQ(RunList(DELETE_SIDE,
                          [&](Ui &u, HWND dlg) {
                              ClickCheckBox(dlg, 0);
                              Barrier(u, dlg);
                              if (c.fault)
                                  c.fault->Arm(c.pass);
                              u.Click(dlg, IDOK);
                              u.Answer(u.WaitMessageBox("Delete"), IDYES);
                              if (c.stays)
                                  u.Answer(u.WaitMessageBox(c.told.back().caption), IDOK);
                              else
                                  AnswerUntilGone(u, dlg);
                              vt::Settle(dlg);
                              stays = IsWindow(dlg) && IsWindowVisible(dlg);
                          },
                          c.usb),
                  1);
        if (c.fault) {
            EXPECT_EQ(c.fault->failed, 1);
        }
        EXPECT_EQ(stays, c.stays);
        EXPECT_EQ(ModuleMessages(), c.told);
        EXPECT_EQ(LinkMessages(), c.link);
        EXPECT_EQ(StoredNames(1).size(), 3u);
    }
}

// A receive folder that cannot be read into its 260 bytes counts as missing: the current
// directory is shown and stored. The browser offers no OK on a folder outside the file
// system, and cancelling it changes nothing.
TEST_F(ListFailures, ReceiveFolderThatCannotBeReadOrChosen)
{
    SetRegString(Key::Tambora, "RcvPath", "C:\\" + std::string(300, 'r'));
    char current[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, current);
    std::string shown, afterBrowse;
    bool okEnabled = false;
    EXPECT_EQ(RunList(RECEIVE_SIDE,
                      [&](Ui &u, HWND dlg) {
                          shown = ControlText(dlg, IDC_RECEIVE_FOLDER);
                          u.Click(dlg, IDC_RECEIVE_BROWSE);
                          HWND browser = u.WaitDialogPrefix("Browse");
                          LPITEMIDLIST drives = NULL;
                          SHGetSpecialFolderLocation(NULL, CSIDL_DRIVES, &drives);
                          SendMessageTimeoutA(browser, BFFM_SETSELECTIONA, FALSE, (LPARAM)drives, SMTO_NORMAL,
                                              10000, NULL);
                          u.Sleep(300);
                          okEnabled = IsControlEnabled(browser, IDOK);
                          u.Click(browser, IDCANCEL);
                          u.WaitGone(browser);
                          CoTaskMemFree(drives);
                          vt::Settle(dlg);
                          afterBrowse = ControlText(dlg, IDC_RECEIVE_FOLDER);
                      }),
              1);
    EXPECT_EQ(shown, current);
    std::string brodera, tambora;
    EXPECT_TRUE(ReadRegString(Key::Brodera, "RcvPath", &brodera));
    EXPECT_TRUE(ReadRegString(Key::Tambora, "RcvPath", &tambora));
    EXPECT_EQ(brodera, current);
    EXPECT_EQ(tambora, current);
    EXPECT_FALSE(okEnabled) << "OK on a folder outside the file system";
    EXPECT_EQ(afterBrowse, current);
    EXPECT_TRUE(ModuleMessages().empty());
}

// "Receive" builds nothing from an empty list, nor without memory for the receive list:
// the dialog stays open.
TEST_F(ListFailures, ReceiveListThatCannotBeBuilt)
{
    bool open = false;
    EXPECT_EQ(RunList(RECEIVE_SIDE,
                      [&](Ui &u, HWND dlg) {
                          PostMessageA(dlg, WM_COMMAND, IDOK, 0);
                          Barrier(u, dlg);
                          open = IsWindowVisible(dlg) != FALSE;
                      }),
              1);
    EXPECT_TRUE(open);
    EXPECT_TRUE(ModuleMessages().empty());
    SeedThree();
    for (CallFault *fault : {&g_globalAlloc, &g_globalLock}) {
        SCOPED_TRACE(fault == &g_globalAlloc ? "no block" : "block not locked");
        ClearRecordedMessageBoxes();
        open = false;
        EXPECT_EQ(RunList(RECEIVE_SIDE,
                          [&](Ui &u, HWND dlg) {
                              u.Click(dlg, IDC_RECEIVE_SELECT_ALL);
                              Barrier(u, dlg);
                              fault->Arm(0);
                              u.Click(dlg, IDOK);
                              u.Answer(u.WaitMessageBox("Receiving"), IDOK);
                              Barrier(u, dlg);
                              open = IsWindowVisible(dlg) != FALSE;
                          }),
                  1);
        EXPECT_EQ(fault->failed, 1);
        EXPECT_TRUE(open);
        EXPECT_EQ(ModuleMessages(), (std::vector<Shown>{{"Receiving", "Not enough memory space.", MB_ICONHAND}}));
    }
    EXPECT_TRUE(Uploads().empty());
}

// The receive step: its dialog, its event or its worker cannot be had, or the link does not
// open. Nothing is received, and UploadData still returns 1.
TEST_F(ListFailures, ReceiveStep)
{
    const std::string folder = WorkDir() + "\\in";
    CreateDirectoryA(folder.c_str(), NULL);
    SetRegString(Key::Tambora, "RcvPath", folder);
    const struct {
        const char *what;
        bool usb, refuseDialog;
        CallFault *fault;
        int pass;
        const char *faults;
        std::vector<Shown> told;
        std::vector<std::string> link;
    } cases[] = {
        {"no dialog", false, true, nullptr, 0, "", {{"Receiving", "Failed to create Window.", MB_ICONHAND}}, {}},
        {"no event", false, false, &g_event, 0, "", {{"Upload", "Failed to create event object.", MB_ICONHAND}}, {}},
        {"no worker", false, false, &g_thread, 0, "", {{"Upload", "Failed to create a thread.", MB_ICONHAND}}, {}},
        {"serial line", false, false, nullptr, 0, "port=COM2\n", {}, {"Receiving 2/0"}},
        {"USB link", true, false, &g_usbOpen, 1, "", {}, {"Receiving 1/0"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        UseUsb(c.usb ? Usb::Present : Usb::Absent);
        linksim::ResetMachine();
        SeedThree();
        SetFaults("message=log\n");
        ClearRecordedMessageBoxes();
        DisarmCalls();
        std::unique_ptr<DialogRefusal> refusal;
        if (c.refuseDialog)
            refusal.reset(new DialogRefusal("Receive Designs", 1));  // after the Receive Designs dialog
        const std::string title = Title(RECEIVE_SIDE, c.usb);
        UiScript ui([&](Ui &u) {
            HWND dlg = u.WaitDialog(title);
            WaitFirstList(u, dlg);
            u.Click(dlg, IDC_RECEIVE_SELECT_ALL);
            Barrier(u, dlg);
            u.Click(dlg, IDOK);
            u.WaitGone(dlg);
            if (c.refuseDialog) {
                u.Answer(u.WaitMessageBox("Receiving"), IDOK);
                return;
            }
            HWND progress = u.WaitDialog(title);
            SetFaults(std::string(c.faults) + "message=log\n");
            if (c.fault)
                c.fault->Arm(c.pass);
            u.Click(progress, IDOK);
            if (!c.told.empty()) {  // only the close box is left
                u.Answer(u.WaitMessageBox("Upload"), IDOK);
                u.Close(progress);
            }
            AnswerUntilGone(u, progress);
        });
        EXPECT_EQ(Dll().UploadData(Owner()), 1);
        ui.Join();
        if (c.fault) {
            EXPECT_EQ(c.fault->failed, 1);
        }
        EXPECT_EQ(ModuleMessages(), c.told);
        EXPECT_EQ(LinkMessages(), c.link);
        EXPECT_TRUE(Uploads().empty());
        EXPECT_TRUE(Received(folder).empty());
    }
}

}  // namespace
