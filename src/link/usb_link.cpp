#include "link/usb_link.h"

#include "frame/sync.h"
#include "link/usb_gate.h"

// Handle of VEMBUSB.DLL when loaded and fully bound, else null.
static HMODULE g_usbLibrary;

// Entry-point slots, one per name of the binding table.
static USB_Initialize_t g_usbInitialize;
static USB_EventProc_t g_usbEventProc;
static USB_Terminate_t g_usbTerminate;
static USB_Download_Sequence_t g_usbDownload;
static USB_DirectDownload_Sequence_t g_usbDirectDownload;
static USB_Upload_Sequence_t g_usbUpload;
static USB_Erase_Sequence_t g_usbErase;
static USB_Opening_Sequence_t g_usbOpening;
static USB_DirUpload_Sequence_t g_usbDirUpload;
static USB_DisplayMessageByReturnCode_t g_usbDisplayMessage;

// The binding table, bound in this order; it ends with an empty pair.
static const struct {
    const char *name;
    FARPROC *slot;
} g_usbBindings[] = {
    {"USB_Initialize", (FARPROC *)&g_usbInitialize},
    {"USB_EventProc", (FARPROC *)&g_usbEventProc},
    {"USB_Terminate", (FARPROC *)&g_usbTerminate},
    {"USB_Download_Sequence", (FARPROC *)&g_usbDownload},
    {"USB_DirectDownload_Sequence", (FARPROC *)&g_usbDirectDownload},
    {"USB_Upload_Sequence", (FARPROC *)&g_usbUpload},
    {"USB_Erase_Sequence", (FARPROC *)&g_usbErase},
    {"USB_Opening_Sequence", (FARPROC *)&g_usbOpening},
    {"USB_DirUpload_Sequence", (FARPROC *)&g_usbDirUpload},
    {"USB_DisplayMessageByReturnCode", (FARPROC *)&g_usbDisplayMessage},
    {NULL, NULL},
};

// Each lock makes its own operation exclusive with itself; no guard holds two. They exist
// from the first load that binds the library to the next unload.
static std::optional<CriticalSection> g_usbInitializeLock, g_usbEventLock, g_usbTerminateLock;
static UsbLockCounts g_usbLockCounts;

static bool SystemMayHaveUsb()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version))
        return true;  // unknown system: a plain attempt to load
    return UsbLoadAllowed(version.dwPlatformId, version.dwMajorVersion, version.dwMinorVersion);
}

int LoadUsbLibrary()
{
    g_usbLibrary = NULL;
    if (!SystemMayHaveUsb())
        return 0;
    HMODULE library = LoadLibraryA("VEMBUSB.DLL");
    if (!library)
        return 0;
    for (int i = 0; g_usbBindings[i].name; ++i) {
        FARPROC address = GetProcAddress(library, g_usbBindings[i].name);
        if (!address) {
            // The slots bound so far stay as they are: no guard uses them without a handle.
            FreeLibrary(library);
            return 0;
        }
        *g_usbBindings[i].slot = address;
    }
    g_usbLibrary = library;
    if (!g_usbInitializeLock) {
        g_usbInitializeLock.emplace();
        g_usbEventLock.emplace();
        g_usbTerminateLock.emplace();
        ++g_usbLockCounts.created;
    }
    return 1;
}

void UnloadUsbLibrary()
{
    if (g_usbInitializeLock) {
        g_usbInitializeLock.reset();
        g_usbEventLock.reset();
        g_usbTerminateLock.reset();
        ++g_usbLockCounts.deleted;
    }
    if (g_usbLibrary) {
        FreeLibrary(g_usbLibrary);
        g_usbLibrary = NULL;
    }
}

UsbLockCounts GetUsbLockCounts()
{
    return g_usbLockCounts;
}

int UsbInitialize(HWND owner, HANDLE cancel)
{
    if (!g_usbLibrary)
        return USB_NO_LIBRARY;
    ScopedLock lock(IfCreated(g_usbInitializeLock));
    return g_usbInitialize(owner, cancel);
}

int UsbEventProc(HWND window, WPARAM wParam, LPARAM lParam)
{
    if (!g_usbLibrary)
        return 1;
    ScopedLock lock(IfCreated(g_usbEventLock));
    return g_usbEventProc(window, wParam, lParam);
}

int UsbTerminate()
{
    if (!g_usbLibrary)
        return 0;
    ScopedLock lock(IfCreated(g_usbTerminateLock));
    return g_usbTerminate();
}

int UsbDownloadSequence(DesignEntry *list, int count, DWORD *detail, VembProgressCallback progress)
{
    return g_usbLibrary ? g_usbDownload(list, count, detail, progress) : USB_GUARD_ABSENT;
}

int UsbDirectDownloadSequence(DWORD data, DWORD size, const char *name, int location, DWORD *detail,
                              VembProgressCallback progress)
{
    return g_usbLibrary ? g_usbDirectDownload(data, size, name, location, detail, progress)
                        : USB_GUARD_ABSENT;
}

int UsbUploadSequence(DesignEntry *list, int count, DWORD *detail, VembProgressCallback progress)
{
    return g_usbLibrary ? g_usbUpload(list, count, detail, progress) : USB_GUARD_ABSENT;
}

int UsbEraseSequence(BYTE location, BYTE number, DWORD *detail, VembBusyCallback busy)
{
    return g_usbLibrary ? g_usbErase(location, number, detail, busy) : USB_GUARD_ABSENT;
}

int UsbDirUploadSequence(const char *path, int location, DWORD *detail, VembProgressCallback progress)
{
    return g_usbLibrary ? g_usbDirUpload(path, location, detail, progress) : USB_GUARD_ABSENT;
}

int UsbDisplayMessageByReturnCode(HWND owner, const char *caption, int code, DWORD detail)
{
    return g_usbLibrary ? g_usbDisplayMessage(owner, caption, code, detail) : USB_GUARD_ABSENT;
}

int SetTransferTitle(HWND dialog, const TransferTitles &titles)
{
    int answer = UsbInitialize(dialog, NULL);
    const char *title = answer == 0                ? titles.usbConnected
                        : answer == USB_NO_LIBRARY ? titles.comPort
                                                   : titles.usbDisconnected;
    SetWindowTextA(dialog, title);
    return answer;
}

void OnTransferDeviceChange(HWND dialog, const TransferTitles &titles, WPARAM wParam, LPARAM lParam)
{
    int answer = UsbEventProc(dialog, wParam, lParam);
    SetWindowTextA(dialog, answer < 0 ? titles.usbDisconnected : titles.usbConnected);
}
