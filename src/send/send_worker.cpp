#include "send/send_worker.h"

#include "frame/module.h"
#include "frame/transfer_frame.h"
#include "link/link_run.h"
#include "machinelist/progress_percent.h"
#include "send/send_state.h"
#include "send_designs_res.h"

namespace {

const DWORD SERIAL_SETTLE_MS = 500;

// A list sequence either stored the whole (possibly cut) list or failed; after a failure
// the cut message must not follow the library's own.
struct ListOutcome {
    int operator()(int code, bool usb) const
    {
        if (usb && code == VEMB_USB_LIST_CUT && g_listCut)
            return 0;  // the USB library's answer to a list closed early
        if (code != 0)
            g_listCut = 0;
        return code;
    }
};

int FinishList(int code, HWND dialog)
{
    // An open failure leaves the heap to be released here; the sequences release it
    // themselves as soon as they return.
    ReleaseSendHeap();
    if (code != 0)
        return 0;
    if (g_longNameSkip)
        ShowLongNamesSkipped(dialog);
    return 1;
}

// The serial line needs a moment after the Check Files step closed it.
template <class Road>
void SettleSerialLine(Road road)
{
    if (!road.usb)
        Sleep(SERIAL_SETTLE_MS);
}

// The two send modes; 1 success, 0 failure (shown by the link library).
int SendList(HWND dialog, HANDLE cancel)
{
    int code = ChooseLinkRoad(dialog, cancel, [&](auto road) {
        SettleSerialLine(road);
        return RunOnRoad(
            road, dialog, SENDING_CAPTION, cancel,
            [](auto link, DWORD *detail) {
                int c = link.Download(g_sendEntries, g_sendEntryCount, detail, SendProgressCallback);
                ReleaseSendHeap();
                return c;
            },
            ListOutcome());
    });
    return FinishList(code, dialog);
}

int SendDirect(HWND dialog, HANDLE cancel)
{
    int code = ChooseLinkRoad(dialog, cancel, [&](auto road) {
        SettleSerialLine(road);
        return RunOnRoad(road, dialog, SENDING_CAPTION, cancel, [](auto link, DWORD *detail) {
            return link.DirectDownload(g_designData, g_designSize, g_directDesignName, g_sendLocation, detail,
                                       SendProgressCallback);
        });
    });
    return code == 0 ? 1 : 0;
}

// Both threads: at the end the event goes, and the dialog hears the result if it is still
// there.
DWORD RunSendThread(HWND dialog, int (*send)(HWND, HANDLE))
{
    HANDLE cancel = g_sendCancel.Take();
    int result = 0;
    if (IsWindow(dialog))
        result = send(dialog, cancel);
    ReleaseSendHeap();  // nothing to do unless the dialog had already gone
    g_sendCancel.Close(cancel);
    if (IsWindow(dialog))
        PostMessageA(dialog, WM_SEND_FINISHED, 0, result);
    return 1;
}

}  // namespace

int __stdcall SendProgressCallback(DWORD index, DWORD count, DWORD done, DWORD total)
{
    ShowDesignProgress(g_sendProgressTarget, IDC_SEND_COUNTER, IDC_SEND_PROGRESS, index, count,
                       ProgressPercent(done, total));
    return 1;
}

DWORD WINAPI SendListThread(LPVOID param)
{
    return RunSendThread((HWND)param, SendList);
}

DWORD WINAPI SendDirectThread(LPVOID param)
{
    return RunSendThread((HWND)param, SendDirect);
}
