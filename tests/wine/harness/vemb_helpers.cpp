#include "vemb_helpers.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <utility>

#include "designgen/design_writer.h"
#include "link/vemblink.h"
#include "resource.h"

namespace vt {

std::vector<char> DesignBytes(int32_t stitches, int seed, uint32_t hoop)
{
    designgen::DesignFile file;
    file.stitchCount = stitches;
    file.hoopCode = hoop;
    file.colours = {(uint16_t)(10 + seed % 3)};
    designgen::StitchData data;
    for (int i = 0; i < 24; ++i)
        data.Stitch(i % 2 ? -100 : 100, 6 + seed % 7);
    file.stitchData = data.End().Bytes();
    return designgen::AssembleDesign(file);
}

std::string WriteDesign(const std::string &path, int32_t stitches, uint32_t hoop)
{
    static int seed;
    std::vector<char> bytes = DesignBytes(stitches, ++seed, hoop);
    EXPECT_TRUE(WriteFileBytes(path, bytes.data(), bytes.size())) << path;
    return path;
}

std::string WriteSendList(const std::string &path, const Names &paths)
{
    std::vector<char> bytes(paths.size() * 260, 0);
    for (size_t i = 0; i < paths.size(); ++i)
        std::copy_n(paths[i].begin(), std::min<size_t>(paths[i].size(), 259), bytes.begin() + i * 260);
    EXPECT_TRUE(WriteFileBytes(path, bytes.data(), bytes.size())) << path;
    return path;
}

Names ListItemTexts(HWND list, int column)
{
    Names texts;
    for (int i = 0, n = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0); i < n; ++i) {
        char text[1024] = "";
        LVITEMA lv = {};
        lv.iSubItem = column;
        lv.pszText = text;
        lv.cchTextMax = sizeof text;
        SendMessageA(list, LVM_GETITEMTEXTA, i, (LPARAM)&lv);
        texts.push_back(text);
    }
    return texts;
}

void PassPosted(Ui &u, HWND listView)
{
    COLORREF next = SendMessageA(listView, LVM_GETTEXTCOLOR, 0, 0) == RGB(0, 0, 0) ? RGB(0, 0, 1) : RGB(0, 0, 0);
    PostMessageA(listView, LVM_SETTEXTCOLOR, 0, next);
    u.WaitUntil([&] { return (COLORREF)SendMessageA(listView, LVM_GETTEXTCOLOR, 0, 0) == next; },
                "posted messages handled");
}

void Settle(HWND window)
{
    DWORD_PTR result;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
}

int HandleCount()
{
    int count = 0;
    for (UINT_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags;
        count += GetHandleInformation((HANDLE)value, &flags) != 0;
    }
    return count;
}

int ThreadCount()
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snap, &entry); more; more = Thread32Next(snap, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snap);
    return count;
}

static CRITICAL_SECTION *GdiLock()
{
    static CRITICAL_SECTION lock;
    static bool ready = (InitializeCriticalSection(&lock), true);
    (void)ready;
    return &lock;
}
static std::set<HANDLE> g_gdiLive;

static void Track(HANDLE object, bool live)
{
    EnterCriticalSection(GdiLock());
    if (live && object)
        g_gdiLive.insert(object);
    else
        g_gdiLive.erase(object);
    LeaveCriticalSection(GdiLock());
}
template <class H> static H Made(H object) { return Track(object, true), object; }

static HDC WINAPI TrackCreateCompatibleDC(HDC dc) { return Made(CreateCompatibleDC(dc)); }
static HBITMAP WINAPI TrackCreateCompatibleBitmap(HDC dc, int w, int h) { return Made(CreateCompatibleBitmap(dc, w, h)); }
static HPEN WINAPI TrackCreatePen(int style, int width, COLORREF colour) { return Made(CreatePen(style, width, colour)); }
static HDC WINAPI TrackGetDC(HWND window) { return Made(GetDC(window)); }
static BOOL WINAPI TrackDeleteDC(HDC dc) { return Track(dc, false), DeleteDC(dc); }
static BOOL WINAPI TrackDeleteObject(HGDIOBJ object) { return Track(object, false), DeleteObject(object); }
static int WINAPI TrackReleaseDC(HWND window, HDC dc) { return Track(dc, false), ReleaseDC(window, dc); }

void TrackModuleGdi()
{
    for (auto i : {std::make_pair("CreateCompatibleDC", (void *)TrackCreateCompatibleDC),
                   {"CreateCompatibleBitmap", (void *)TrackCreateCompatibleBitmap},
                   {"CreatePen", (void *)TrackCreatePen}, {"DeleteDC", (void *)TrackDeleteDC},
                   {"DeleteObject", (void *)TrackDeleteObject}})
        uidrive::PatchImport(Dll().module, "gdi32.dll", i.first, i.second);
    uidrive::PatchImport(Dll().module, "user32.dll", "GetDC", (void *)TrackGetDC);
    uidrive::PatchImport(Dll().module, "user32.dll", "ReleaseDC", (void *)TrackReleaseDC);
}

static BOOL CALLBACK CountWindow(HWND window, LPARAM count)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId()) {
        ++*(int *)count;
        EnumChildWindows(window, CountWindow, count);
    }
    return TRUE;
}

std::string Holdings()
{
    int windows = 0;
    EnumWindows(CountWindow, (LPARAM)&windows);
    EnterCriticalSection(GdiLock());
    size_t gdi = g_gdiLive.size();
    LeaveCriticalSection(GdiLock());
    return "threads " + std::to_string(ThreadCount()) + ", handles " + std::to_string(HandleCount()) +
           ", windows " + std::to_string(windows) + ", GDI objects and DCs " + std::to_string(gdi) + ", heaps " +
           std::to_string(HeapCount());
}

bool MarkerWatch::Stepped(HWND animation)
{
    const COLORREF marker = RGB(255, 196, 32);
    RECT rc;
    GetClientRect(animation, &rc);
    HDC dc = GetDC(animation);
    double sum = 0;
    int n = 0;
    for (int y = 0; y < rc.bottom; y += 2)
        for (int x = 0; x < rc.right; ++x)
            if (GetPixel(dc, x, y) == marker) {
                sum += x;
                ++n;
            }
    ReleaseDC(animation, dc);
    double x = n > 10 ? sum / n : -1, step = towardsMachine_ ? x - last_ : last_ - x;
    bool stepped = x >= 0 && last_ >= 0 && step > 0 && step < 20;
    last_ = x;
    return stepped;
}

// The box has 3 pixels of border and draws a 2-pixel etched frame over its client area.
int StitchPixels(HWND dialog)
{
    UpdateWindow(dialog);
    RECT box;
    GetWindowRect(GetDlgItem(dialog, IDC_PREVIEW_BOX), &box);
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

// ---- what the user saw ----

std::ostream &operator<<(std::ostream &os, const Shown &s)
{
    return os << "{\"" << s.caption << "\", \"" << s.text << "\", 0x" << std::hex << s.style << std::dec << "}";
}

const Shown LOCATION_FULL = {"Attention", "100 designs are already registered.\nNo design can be registered.",
                             MB_ICONHAND};
const Shown LIST_CUT = {"Attention", "100 designs have been registered.\nNo more design can be registered.",
                        MB_ICONHAND};
const Shown LONG_NAMES_DROPPED = {
    "File Name Error",
    "The Open/Save Folder does not support the long file names of more than 32 characters.Some files failed to "
    "transfer.",
    MB_ICONEXCLAMATION};

Shown LongNameRefused(const std::string &name)
{
    return {"File Name Error",
            "The Open/Save Folder does not support the long file names such as \"" + name +
                "\".\nPlease shorten the file name to 32 characters or less.",
            MB_ICONHAND};
}

std::vector<Shown> ModuleMessages()
{
    std::vector<Shown> shown;
    for (const MessageBoxCall &c : RecordedMessageBoxes())
        shown.push_back({c.caption, c.text, c.style});
    return shown;
}

void AnswerOpenBoxes(Ui &u)
{
    for (HWND w : TopLevelWindows())
        if (uidrive::LooksLikeMessageBox(w))
            u.Answer(ReadMessageBox(w), IDOK);
}

void AnswerUntilGone(Ui &u, HWND window)
{
    u.WaitUntil([&] {
        AnswerOpenBoxes(u);
        return !IsWindow(window);
    }, "the dialog to end");
}

// ---- failures from outside the module ----

bool CallFault::Take()
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

CallFault g_heapCreate, g_heapAlloc, g_globalAlloc, g_globalLock, g_event, g_thread, g_calloc, g_fileRead,
    g_fileWrite, g_fileSize, g_serialOpen, g_usbOpen;
static std::string g_watchedFile;
static std::atomic<HANDLE> g_watchedHandle{INVALID_HANDLE_VALUE};

void WatchFile(const std::string &name)
{
    g_watchedFile = name;
    g_watchedHandle = INVALID_HANDLE_VALUE;
}

// Each faulty call answers nothing when its fault is taken, else calls on to the real one.
#define FAULTY(type, name, fault, params, args)                                                    \
    static decltype(&name) g_real##name;                                                           \
    static type WINAPI Faulty##name params                                                         \
    {                                                                                              \
        return fault.Take() ? (SetLastError(ERROR_NOT_ENOUGH_MEMORY), (type)0) : g_real##name args; \
    }
FAULTY(HANDLE, HeapCreate, g_heapCreate, (DWORD o, SIZE_T i, SIZE_T m), (o, i, m))
FAULTY(LPVOID, HeapAlloc, g_heapAlloc, (HANDLE h, DWORD f, SIZE_T s), (h, f, s))
FAULTY(HGLOBAL, GlobalAlloc, g_globalAlloc, (UINT f, SIZE_T s), (f, s))
FAULTY(LPVOID, GlobalLock, g_globalLock, (HGLOBAL b), (b))
FAULTY(HANDLE, CreateEventA, g_event, (LPSECURITY_ATTRIBUTES a, BOOL m, BOOL i, LPCSTR n), (a, m, i, n))
FAULTY(HANDLE, CreateThread, g_thread,
       (LPSECURITY_ATTRIBUTES a, SIZE_T s, LPTHREAD_START_ROUTINE r, LPVOID p, DWORD f, LPDWORD i), (a, s, r, p, f, i))
static decltype(&CreateFileA) g_realCreateFile;
static decltype(&ReadFile) g_realReadFile;
static decltype(&WriteFile) g_realWriteFile;
static decltype(&GetFileSize) g_realGetFileSize;
static decltype(&GetProcAddress) g_realGetProcAddress;
static void *(__cdecl *g_realCalloc)(size_t, size_t);
static int(__stdcall *g_realSerialOpen)(const char *, int, HANDLE);
static USB_Initialize_t g_realUsbOpen;

static void *__cdecl FaultyCalloc(size_t count, size_t size)
{
    return g_calloc.Take() ? NULL : g_realCalloc(count, size);
}
static HANDLE WINAPI WatchingCreateFile(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                                        DWORD how, DWORD attributes, HANDLE model)
{
    HANDLE file = g_realCreateFile(path, access, share, sa, how, attributes, model);
    std::string p = path ? path : "", w = g_watchedFile;
    if (!w.empty() && p.size() >= w.size() && lstrcmpiA(p.c_str() + p.size() - w.size(), w.c_str()) == 0)
        g_watchedHandle = file;
    return file;
}
static BOOL WINAPI FaultyReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD got, LPOVERLAPPED overlapped)
{
    if (file != g_watchedHandle || !g_fileRead.Take())
        return g_realReadFile(file, buffer, size, got, overlapped);
    SetLastError(ERROR_READ_FAULT);
    return FALSE;
}
static BOOL WINAPI FaultyWriteFile(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD put, LPOVERLAPPED overlapped)
{
    if (file != g_watchedHandle || !g_fileWrite.Take())
        return g_realWriteFile(file, buffer, size, put, overlapped);
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
}
static DWORD WINAPI FaultyGetFileSize(HANDLE file, LPDWORD high)
{
    if (file != g_watchedHandle || !g_fileSize.Take())
        return g_realGetFileSize(file, high);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_FILE_SIZE;
}
// The link libraries answer "not open" (2 serial, 1 USB) without being asked.
static int __stdcall FaultySerialOpen(const char *port, int speed, HANDLE cancel)
{
    return g_serialOpen.Take() ? 2 : g_realSerialOpen(port, speed, cancel);
}
static int __stdcall FaultyUsbOpen(HWND owner, HANDLE cancel)
{
    return g_usbOpen.Take() ? 1 : g_realUsbOpen(owner, cancel);
}
// The USB link library is bound by name: its USB_Initialize comes back patched.
static FARPROC WINAPI PatchingGetProcAddress(HMODULE module, LPCSTR name)
{
    FARPROC found = g_realGetProcAddress(module, name);
    if (!found || IS_INTRESOURCE(name) || strcmp(name, "USB_Initialize") != 0)
        return found;
    g_realUsbOpen = (USB_Initialize_t)found;
    return (FARPROC)FaultyUsbOpen;
}

void PatchFaults()
{
    for (CallFault *f : {&g_heapCreate, &g_heapAlloc, &g_globalAlloc, &g_globalLock, &g_event, &g_thread, &g_calloc,
                         &g_fileRead, &g_fileWrite, &g_fileSize, &g_serialOpen, &g_usbOpen})
        *f = CallFault();
    WatchFile("");
    const struct {
        const char *dll, *name;
        void *hook;
        void **real;
    } patches[] = {
        {"kernel32.dll", "HeapCreate", (void *)FaultyHeapCreate, (void **)&g_realHeapCreate},
        {"kernel32.dll", "HeapAlloc", (void *)FaultyHeapAlloc, (void **)&g_realHeapAlloc},
        {"kernel32.dll", "GlobalAlloc", (void *)FaultyGlobalAlloc, (void **)&g_realGlobalAlloc},
        {"kernel32.dll", "GlobalLock", (void *)FaultyGlobalLock, (void **)&g_realGlobalLock},
        {"kernel32.dll", "CreateEventA", (void *)FaultyCreateEventA, (void **)&g_realCreateEventA},
        {"kernel32.dll", "CreateThread", (void *)FaultyCreateThread, (void **)&g_realCreateThread},
        {"kernel32.dll", "CreateFileA", (void *)WatchingCreateFile, (void **)&g_realCreateFile},
        {"kernel32.dll", "ReadFile", (void *)FaultyReadFile, (void **)&g_realReadFile},
        {"kernel32.dll", "WriteFile", (void *)FaultyWriteFile, (void **)&g_realWriteFile},
        {"kernel32.dll", "GetFileSize", (void *)FaultyGetFileSize, (void **)&g_realGetFileSize},
        {"kernel32.dll", "GetProcAddress", (void *)PatchingGetProcAddress, (void **)&g_realGetProcAddress},
        {"msvcrt.dll", "calloc", (void *)FaultyCalloc, (void **)&g_realCalloc},
        {"VembSio.dll", "SIO_InitializeIO", (void *)FaultySerialOpen, (void **)&g_realSerialOpen},
    };
    for (auto &p : patches) {
        *p.real = (void *)GetProcAddress(GetModuleHandleA(p.dll), p.name);
        EXPECT_TRUE(*p.real && uidrive::PatchImport(Dll().module, p.dll, p.name, p.hook)) << p.name;
    }
}

static std::string g_refusedCaption;
static int g_refusalPass, g_refused;

static LRESULT CALLBACK RefusalHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        const CREATESTRUCTA *cs = ((CBT_CREATEWNDA *)lParam)->lpcs;
        bool dialog = IS_INTRESOURCE(cs->lpszClass) ? (ULONG_PTR)cs->lpszClass == 32770
                                                    : lstrcmpiA(cs->lpszClass, "#32770") == 0;
        bool named = g_refusedCaption.empty() || (cs->lpszName && g_refusedCaption == cs->lpszName);
        if (dialog && named && g_refusalPass-- <= 0) {
            ++g_refused;
            return 1;
        }
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

DialogRefusal::DialogRefusal(const std::string &caption, int pass)
{
    g_refusedCaption = caption;
    g_refusalPass = pass;
    g_refused = 0;
    hook_ = SetWindowsHookExA(WH_CBT, RefusalHook, NULL, GetCurrentThreadId());
    EXPECT_NE(hook_, (HHOOK)NULL);
}

int DialogRefusal::Refused()
{
    return g_refused;
}

// ---- the machine design list ----

std::string ListTitle(Side side, bool usb)
{
    return std::string(side == Side::Receive ? "Receive Designs" : "Delete Designs") +
           (usb ? " - USB Connected" : " - COM Port");
}

void RunList(HWND owner, Side side, const std::function<void(Ui &, HWND)> &script, bool usb)
{
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(ListTitle(side, usb));
        u.WaitUntil([&] {
            AnswerOpenBoxes(u);
            return ControlText(dlg, IDC_SELECTED_COUNT) != "";
        }, "the first list");
        Settle(dlg);
        script(u, dlg);
        if (IsWindow(dlg)) {
            u.Click(dlg, IDCANCEL);
            AnswerUntilGone(u, dlg);
        }
    });
    EXPECT_EQ(side == Side::Receive ? Dll().UploadData(owner) : Dll().DeleteData(owner), 1);
    ui.Join();
}

HWND DesignList(HWND dialog)
{
    return GetDlgItem(dialog, IDC_DESIGN_LIST);
}

Names ItemNames(HWND dialog)
{
    return ListItemTexts(DesignList(dialog));
}

LPARAM ItemData(HWND dialog, int index)
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    SendMessageA(DesignList(dialog), LVM_GETITEMA, 0, (LPARAM)&item);
    return item.lParam;
}

std::vector<int> TickedItems(HWND dialog)
{
    std::vector<int> ticked;
    for (int i = 0, n = (int)SendMessageA(DesignList(dialog), LVM_GETITEMCOUNT, 0, 0); i < n; ++i)
        if ((SendMessageA(DesignList(dialog), LVM_GETITEMSTATE, i, LVIS_STATEIMAGEMASK) >> 12) == 2)
            ticked.push_back(i);
    return ticked;
}

int SelectedItem(HWND dialog)
{
    return (int)SendMessageA(DesignList(dialog), LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
}

void ClickListAt(HWND dialog, POINT client)
{
    HWND list = DesignList(dialog);
    POINT screen = client;
    ClientToScreen(list, &screen);
    PointAt(dialog, screen);
    LPARAM at = MAKELPARAM(client.x, client.y);
    PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(list, WM_LBUTTONUP, 0, at);
}

void PointAt(HWND window, POINT screen)
{
    // Pointer events of earlier moves (and of windows that came and went under the pointer)
    // reach the window's thread late and may carry the cursor back: let the thread take them
    // in before and after the move, until the cursor stays put.
    for (int tries = 0; tries < 50; ++tries) {
        Settle(window);
        SetCursorPos(screen.x, screen.y);
        Settle(window);
        Sleep(10);
        Settle(window);
        POINT now;
        GetCursorPos(&now);
        if (now.x == screen.x && now.y == screen.y)
            break;
    }
}

HWND ToolTipOf(HWND control)
{
    for (HWND w = NULL; (w = FindWindowExA(NULL, w, TOOLTIPS_CLASSA, NULL)) != NULL;) {
        DWORD process = 0;
        GetWindowThreadProcessId(w, &process);
        TOOLINFOW tool = {};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.hwnd = GetParent(control);
        tool.uId = (UINT_PTR)control;
        if (process == GetCurrentProcessId() && SendMessageW(w, TTM_GETTOOLINFOW, 0, (LPARAM)&tool))
            return w;
    }
    return NULL;
}

std::string HoverTip(Ui &u, HWND tips, HWND control, DWORD limitMs)
{
    // A tip shows 10 ms after the pointer stops on its tool and stays while it rests there.
    SendMessageA(tips, TTM_SETDELAYTIME, TTDT_INITIAL, 10);
    SendMessageA(tips, TTM_SETDELAYTIME, TTDT_RESHOW, 10);
    SendMessageA(tips, TTM_SETDELAYTIME, TTDT_AUTOPOP, 30000);
    HWND top = GetAncestor(control, GA_ROOT);
    RECT frame, box;
    GetWindowRect(top, &frame);
    POINT client = {0, 0};
    ClientToScreen(top, &client);
    PointAt(top, {(frame.left + frame.right) / 2, (frame.top + client.y) / 2});  // the caption bar
    u.WaitUntil([&] { return !IsWindowVisible(tips); }, "no tooltip with the pointer off the tools");
    GetWindowRect(control, &box);
    PointAt(top, {(box.left + box.right) / 2, (box.top + box.bottom) / 2});
    for (DWORD start = GetTickCount(); GetTickCount() - start < limitMs; u.Sleep(10))
        if (IsWindowVisible(tips))
            return WindowText(tips);
    return "";
}

// The middle of an item's check box: left of its icon, one state image wide.
void ClickCheckBox(HWND dialog, int index)
{
    HWND list = DesignList(dialog);
    RECT icon = {LVIR_ICON, 0, 0, 0};
    SendMessageA(list, LVM_GETITEMRECT, index, (LPARAM)&icon);
    int width = 16, height = 16;
    if (HIMAGELIST states = (HIMAGELIST)SendMessageA(list, LVM_GETIMAGELIST, LVSIL_STATE, 0))
        ImageList_GetIconSize(states, &width, &height);
    ClickListAt(dialog, {icon.left - width / 2, (icon.top + icon.bottom) / 2});
}

void ClickItem(HWND dialog, int index)
{
    RECT label = {LVIR_LABEL, 0, 0, 0};
    SendMessageA(DesignList(dialog), LVM_GETITEMRECT, index, (LPARAM)&label);
    ClickListAt(dialog, {label.left + 4, (label.top + label.bottom) / 2});
}

void Tick(Ui &u, HWND dialog, std::initializer_list<int> items)
{
    for (int item : items) {
        ClickCheckBox(dialog, item);
        Barrier(u, dialog);
    }
}

void PressKey(HWND dialog, WORD key)
{
    PostMessageA(DesignList(dialog), WM_KEYDOWN, key, 1);
    PostMessageA(DesignList(dialog), WM_KEYUP, key, 0xC0000001);
}

std::vector<SimCall> DirectoryUploads()
{
    return CallsOf({"Protocol_Seq_DirUpload", "USB_DirUpload_Sequence"});
}

std::vector<SimCall> Uploads()
{
    return CallsOf({"Protocol_Seq_Upload", "USB_Upload_Sequence"});
}

void WaitListLoaded(Ui &u, HWND dialog, size_t count)
{
    u.WaitUntil([&] { return DirectoryUploads().size() >= count; }, "directory upload " + std::to_string(count));
    u.WaitUntil([] { return !FindWindowA(NULL, "Receive Design List"); }, "directory upload dialog gone");
    Settle(dialog);
}

void WaitPreviewDone(Ui &u, HWND dialog, size_t count)
{
    u.WaitUntil([&] { return Uploads().size() >= count; }, "preview fetch " + std::to_string(count));
    u.WaitUntil([] { return !FindWindowA(NULL, "Receive Preview Data"); }, "preview dialog gone");
    Settle(dialog);
}

}  // namespace vt
