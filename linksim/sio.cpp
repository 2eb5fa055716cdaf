// Serial link library of the machine simulator (placeholder until the model lands).
#include "vemblink.h"

extern "C" {
int __stdcall SIO_InitializeIO(const char *, int, HANDLE) { return 1; }
int __stdcall SIO_TerminateIO(void) { return 0; }
int __stdcall Protocol_Seq_Download(int, DesignEntry *, int, DWORD *, VembProgressCallback) { return 1; }
int __stdcall Protocol_Seq_Download_Direct(int, DWORD, DWORD, const char *, int, DWORD *,
                                           VembProgressCallback) { return 1; }
int __stdcall Protocol_Seq_DirUpload(int, const char *, int, DWORD *, VembProgressCallback) { return 1; }
int __stdcall Protocol_Seq_Upload(int, DesignEntry *, int, DWORD *, VembProgressCallback) { return 1; }
int __stdcall Protocol_Seq_Delete(BYTE, BYTE, DWORD *, VembBusyCallback) { return 1; }
int __stdcall DisplayMessageByReturnCode(HWND, const char *, int, DWORD) { return 0; }
}
