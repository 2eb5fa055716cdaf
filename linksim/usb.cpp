// USB link library of the machine simulator (placeholder until the model lands).
#include "vemblink.h"

extern "C" {
__declspec(dllexport) int __stdcall USB_Initialize(HWND, HANDLE) { return 1; }
__declspec(dllexport) int __stdcall USB_EventProc(HWND, WPARAM, LPARAM) { return -1; }
__declspec(dllexport) int __stdcall USB_Terminate(void) { return 0; }
__declspec(dllexport) int __stdcall USB_Download_Sequence(DesignEntry *, int, DWORD *, VembProgressCallback) { return 1; }
__declspec(dllexport) int __stdcall USB_DirectDownload_Sequence(DWORD, DWORD, const char *, int, DWORD *, VembProgressCallback) { return 1; }
__declspec(dllexport) int __stdcall USB_Upload_Sequence(DesignEntry *, int, DWORD *, VembProgressCallback) { return 1; }
__declspec(dllexport) int __stdcall USB_Erase_Sequence(BYTE, BYTE, DWORD *, VembBusyCallback) { return 1; }
#ifndef LINKSIM_NO_OPENING
__declspec(dllexport) int __stdcall USB_Opening_Sequence(void) { return 0; }
#endif
__declspec(dllexport) int __stdcall USB_DirUpload_Sequence(const char *, int, DWORD *, VembProgressCallback) { return 1; }
__declspec(dllexport) int __stdcall USB_DisplayMessageByReturnCode(HWND, const char *, int, DWORD) { return 0; }
}
