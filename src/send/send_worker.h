#pragma once
// The send worker: one thread per send runs the download sequence of the USB or the
// serial link library and reports to the Send Designs dialog with WM_SEND_FINISHED.
#include <windows.h>

// Posted to the Send Designs dialog by the worker (lParam 1 success, 0 failure) or by a
// preparation that ends the send; the dialog does not look at the parameters.
enum { WM_SEND_FINISHED = WM_USER + 50 };

// The caption of the send's messages, also the link caption.
constexpr char SENDING_CAPTION[] = "Sending";

// Thread procedures; the parameter is the Send Designs dialog.
DWORD WINAPI SendListThread(LPVOID dialog);
DWORD WINAPI SendDirectThread(LPVOID dialog);

// Called by the download sequences on the worker thread: the counter "%d  /  %d" (design
// index + 1, number of designs) and the progress bar of the progress target. Returns 1.
int __stdcall SendProgressCallback(DWORD index, DWORD count, DWORD done, DWORD total);
