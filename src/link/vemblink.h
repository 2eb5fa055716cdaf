/*
 * vemblink.h - the binary interface between VembDlg.dll and the two Loomstar link
 * libraries: the serial link library VembSio.dll and the USB link library VEMBUSB.DLL.
 *
 * Whoever writes a link library implements the operations below, exported undecorated
 * by name (a .def file) with the __stdcall convention. Every operation returns a 32-bit
 * int: 0 is success, any other value an error that only the library's own message
 * operation explains. Each sequence runs one whole transfer in one blocking call on the
 * caller's worker thread, polls the cancel event it was given at initialisation and
 * gives up with a non-zero code when that event is set.
 *
 * Design entries travel as a packed list of 263-byte records closed by an entry whose
 * first name byte, location code and design number are 0; the entry count travels
 * beside the list. A download list may be closed early by an empty entry (the module
 * cuts a list to the room left on the machine): the serial library stores what
 * precedes it and answers 0, the USB library stores it and answers -13.
 *
 * Direct send: `data` is the address of `size` bytes of a design file held by the
 * host, `name` the name to store it under. VembDlg passes both on unchanged.
 *
 * Location codes: 1 built-in memory, 2 ATA PC card, 4 PC design card, 5 and 6 the
 * Open/Save folder of the built-in memory and of the ATA PC card.
 *
 * This header is plain C so that a link library may be written in C.
 */
#ifndef VEMBLINK_H
#define VEMBLINK_H

#include <windows.h>

#include "design_entry.h" /* DesignEntry, VEMB_NAME_FIELD */

#ifdef __cplusplus
extern "C" {
#endif

/* Called on the worker thread: 0-based index of the design in transfer, number of
   designs, progress done and progress total. The module's callbacks return 1. */
typedef int(__stdcall *VembProgressCallback)(DWORD index, DWORD count, DWORD done, DWORD total);
/* Called by the delete sequences while the machine is busy: 1 try again, 0 give up. */
typedef int(__stdcall *VembBusyCallback)(void);

/* USB_Download_Sequence's answer after storing a list that was closed early. */
#define VEMB_USB_LIST_CUT (-13)

/* ---- serial link library, VembSio.dll ---- */
#ifdef VEMBSIO_BUILD
#define VEMBSIO_API __declspec(dllexport)
#else
#define VEMBSIO_API __declspec(dllimport)
#endif

VEMBSIO_API int __stdcall SIO_InitializeIO(const char *port, int speed, HANDLE cancel);
VEMBSIO_API int __stdcall SIO_TerminateIO(void);
VEMBSIO_API int __stdcall Protocol_Seq_Download(int speed, DesignEntry *list, int count,
                                                DWORD *detail, VembProgressCallback progress);
VEMBSIO_API int __stdcall Protocol_Seq_Download_Direct(int speed, DWORD data, DWORD size,
                                                       const char *name, int location,
                                                       DWORD *detail, VembProgressCallback progress);
VEMBSIO_API int __stdcall Protocol_Seq_DirUpload(int speed, const char *path, int location,
                                                 DWORD *detail, VembProgressCallback progress);
VEMBSIO_API int __stdcall Protocol_Seq_Upload(int speed, DesignEntry *list, int count,
                                              DWORD *detail, VembProgressCallback progress);
VEMBSIO_API int __stdcall Protocol_Seq_Delete(BYTE location, BYTE number, DWORD *detail,
                                              VembBusyCallback busy);
VEMBSIO_API int __stdcall DisplayMessageByReturnCode(HWND owner, const char *caption, int code,
                                                     DWORD detail);

/* ---- USB link library, VEMBUSB.DLL (loaded at run time, bound by name) ---- */
typedef int(__stdcall *USB_Initialize_t)(HWND owner, HANDLE cancel);
typedef int(__stdcall *USB_EventProc_t)(HWND window, WPARAM wParam, LPARAM lParam);
typedef int(__stdcall *USB_Terminate_t)(void);
typedef int(__stdcall *USB_Download_Sequence_t)(DesignEntry *list, int count, DWORD *detail,
                                                VembProgressCallback progress);
typedef int(__stdcall *USB_DirectDownload_Sequence_t)(DWORD data, DWORD size, const char *name,
                                                      int location, DWORD *detail,
                                                      VembProgressCallback progress);
typedef int(__stdcall *USB_Upload_Sequence_t)(DesignEntry *list, int count, DWORD *detail,
                                              VembProgressCallback progress);
typedef int(__stdcall *USB_Erase_Sequence_t)(BYTE location, BYTE number, DWORD *detail,
                                             VembBusyCallback busy);
typedef int(__stdcall *USB_Opening_Sequence_t)(void);
typedef int(__stdcall *USB_DirUpload_Sequence_t)(const char *path, int location, DWORD *detail,
                                                 VembProgressCallback progress);
typedef int(__stdcall *USB_DisplayMessageByReturnCode_t)(HWND owner, const char *caption, int code,
                                                         DWORD detail);

#ifdef __cplusplus
}
#endif

#endif /* VEMBLINK_H */
