// Placeholders for the sending exports until their dialogs land.
#include "VembDlg.h"

extern "C" BOOL WINAPI TransferVBDFiles(HWND, char *) { return 0; }
extern "C" BOOL WINAPI DirectDownload(HWND, DWORD, DWORD, const char *) { return 0; }
extern "C" int WINAPI DirectFilesDownload(HWND, const char *, int) { return 0; }
