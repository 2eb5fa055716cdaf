#pragma once
// The optional USB link library: loaded at the start of each transfer export, bound by
// name, and called only through the guards below, which answer a fixed value when it is
// absent. UsbInitialize also decides for every dialog and worker between USB and serial.
#include "link/vemblink.h"

// UsbInitialize's answer when the USB link library is not loaded.
enum { USB_NO_LIBRARY = -999 };
// The unlocked guards' answer when the library is not loaded.
enum { USB_GUARD_ABSENT = -3 };

int LoadUsbLibrary();
void UnloadUsbLibrary();

int UsbInitialize(HWND owner, HANDLE cancel);
int UsbEventProc(HWND window, WPARAM wParam, LPARAM lParam);
int UsbTerminate();
int UsbDownloadSequence(DesignEntry *list, int count, DWORD *detail, VembProgressCallback progress);
int UsbDirectDownloadSequence(DWORD data, DWORD size, const char *name, int location, DWORD *detail,
                              VembProgressCallback progress);
int UsbUploadSequence(DesignEntry *list, int count, DWORD *detail, VembProgressCallback progress);
int UsbEraseSequence(BYTE location, BYTE number, DWORD *detail, VembBusyCallback busy);
int UsbDirUploadSequence(const char *path, int location, DWORD *detail, VembProgressCallback progress);
int UsbDisplayMessageByReturnCode(HWND owner, const char *caption, int code, DWORD detail);

// The three title variants of a transfer dialog, each stored whole.
struct TransferTitles {
    const char *usbConnected;     // "... - USB Connected"
    const char *usbDisconnected;  // "... - USB Disconnected"
    const char *comPort;          // "... - COM Port"
};

// At WM_INITDIALOG: probes the link with UsbInitialize(dialog, no cancel event) and sets
// the title from its answer (0 connected, USB_NO_LIBRARY COM port, else disconnected).
// Returns the answer.
int SetTransferTitle(HWND dialog, const TransferTitles &titles);
// On WM_DEVICECHANGE: asks UsbEventProc and sets the connected or disconnected title
// (never the COM port one). The dialog procedure returns TRUE afterwards.
void OnTransferDeviceChange(HWND dialog, const TransferTitles &titles, WPARAM wParam, LPARAM lParam);

// Test hook: the lock-creation count of the current process (each LoadUsbLibrary that
// creates the three locks adds one; each UnloadUsbLibrary that deletes them adds one to
// the second counter).
struct UsbLockCounts {
    int created;
    int deleted;
};
UsbLockCounts GetUsbLockCounts();
