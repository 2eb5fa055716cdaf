/*
 * VembDlg.h - the host's interface to VembDlg.dll, the Loomstar design exchange dialogs.
 *
 * Call the exports one at a time on your user-interface thread; each opens a modal
 * dialog over `owner` and returns when the dialog and any worker thread it started
 * have ended. GetTransferStatus may be called at any time, also while a transfer
 * dialog is open. Link with VembDlg.lib (or libVembDlg.dll.a) or bind the names at
 * run time; all exports are __stdcall and undecorated.
 */
#ifndef VEMBDLG_H
#define VEMBDLG_H

/* The module's version. This is where it is set: the DLL's version information and the
   SDK package's name take it from here. */
#define VEMBDLG_VERSION_MAJOR 1
#define VEMBDLG_VERSION_MINOR 0
#define VEMBDLG_VERSION_PATCH 0
#define VEMBDLG_STRINGIZE_(x) #x
#define VEMBDLG_STRINGIZE(x) VEMBDLG_STRINGIZE_(x)
/* "1.0.0" */
#define VEMBDLG_VERSION_TEXT VEMBDLG_STRINGIZE(VEMBDLG_VERSION_MAJOR) "." \
    VEMBDLG_STRINGIZE(VEMBDLG_VERSION_MINOR) "." VEMBDLG_STRINGIZE(VEMBDLG_VERSION_PATCH)

/* The resource compiler reads only the version above. */
#ifndef RC_INVOKED

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifdef VEMBDLG_BUILD
#define VEMBDLG_API
#else
#define VEMBDLG_API __declspec(dllimport)
#endif

/* The stored machine program version: 1 = "2.1 or earlier", 2 = "2.2"; -1 when none. */
VEMBDLG_API int WINAPI GetVersionCode(void);

/* Asks the user for the machine's program version. With force 0 and version 2.2 stored
   it returns 1 at once; otherwise the dialog's result: 1 OK, 2 cancelled, -1 when the
   dialog cannot be opened. */
VEMBDLG_API int WINAPI CheckVersionDlg(HWND owner, int force);

/* 1 while a send, receive or delete transfer is running, else 0. */
VEMBDLG_API UINT WINAPI GetTransferStatus(void);

/* Lets the user pick up to 100 ".vbd" designs, starting in `folder`, and sends them.
   `folder` (at least 260 characters) receives the folder the picker read last. */
VEMBDLG_API BOOL WINAPI TransferVBDFiles(HWND owner, char *folder);

/* Lets the user delete designs stored on the machine. */
VEMBDLG_API BOOL WINAPI DeleteData(HWND owner);

/* The serial port and speed dialog. 1 when the dialog ran. */
VEMBDLG_API BOOL WINAPI SetSerialCommParamDlg(HWND owner);

/* Sends one design held in memory: `designData` is the address of `designSize` bytes
   of a design file, `name` the name to store it under (empty: a name is made from the
   clock, which the user may change). */
VEMBDLG_API BOOL WINAPI DirectDownload(HWND owner, DWORD designData, DWORD designSize,
                                       const char *name);

/* Sends the designs listed in a send list file (260-byte records, each a zero-padded
   full path). askVersion 1 asks the machine version before the first large design.
   Result: 1 after a send was started, 2 when the user closed the dialog before, 0 when
   the dialog cannot be opened. The file is left in place. */
VEMBDLG_API int WINAPI DirectFilesDownload(HWND owner, const char *listPath, int askVersion);

/* Lets the user receive designs stored on the machine into a folder of the PC. */
VEMBDLG_API BOOL WINAPI UploadData(HWND owner);

#ifdef __cplusplus
}
#endif

#endif /* RC_INVOKED */

#endif /* VEMBDLG_H */
