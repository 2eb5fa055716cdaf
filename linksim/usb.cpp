// USB link library of the Loomstar machine simulator (VEMBUSB.DLL). The machine is on the
// cable unless sim.ini says usb=disconnected; then initialisation and every sequence
// answer SIM_ERR_NOT_CONNECTED and USB_EventProc answers -1. Built twice: once complete,
// once without USB_Opening_Sequence (LINKSIM_NO_OPENING) for the loader's refusal.
#include "link_ops.h"

using namespace linksim;

namespace {

LinkState g_usb;

// The module initialises before every sequence, but the cable is what counts: a sequence
// finds the machine when it is connected at that moment.
Link UsbLink()
{
    return {LoadFaults().usbConnected ? SIM_OK : SIM_ERR_NOT_CONNECTED, g_usb.Cancel()};
}

// USB_Initialize, USB_EventProc and USB_Terminate each keep the link's state, and the
// module promises never to run one of them twice at once (one lock each). A call that
// finds another of its own kind under way logs "overlapped". With delay.<Operation>= in
// sim.ini each call stays inside that long, so that an overlap cannot slip by.
class OneAtATime {
public:
    OneAtATime(Call &call, LONG *inside) : inside_(inside)
    {
        if (InterlockedIncrement(inside_) > 1)
            call.Event("overlapped");
        int holdMs = OwnDelayMs(LoadFaults(), call.Operation());
        if (holdMs > 0)
            Sleep((DWORD)holdMs);
    }
    ~OneAtATime() { InterlockedDecrement(inside_); }
    OneAtATime(const OneAtATime &) = delete;
    OneAtATime &operator=(const OneAtATime &) = delete;

private:
    LONG *inside_;
};

LONG g_initializing, g_eventing, g_terminating;

}  // namespace

extern "C" {

// `cancel` is null when a dialog only probes the link; a sequence takes the event that
// was given last, when it starts.
int __stdcall USB_Initialize(HWND owner, HANDLE cancel)
{
    Call call("USB_Initialize");
    call.Flag("cancel", cancel != NULL);
    OneAtATime alone(call, &g_initializing);
    int code = call.ForcedOr(LoadFaults().usbConnected ? SIM_OK : SIM_ERR_NOT_CONNECTED);
    g_usb.Set(code == SIM_OK, code == SIM_OK ? cancel : NULL);
    return call.Finish(code);
}

int __stdcall USB_EventProc(HWND window, WPARAM wParam, LPARAM lParam)
{
    Call call("USB_EventProc");
    call.Num("wparam", (unsigned long)wParam).Num("lparam", (unsigned long)lParam);
    OneAtATime alone(call, &g_eventing);
    return call.Finish(call.ForcedOr(LoadFaults().usbConnected ? 0 : -1));
}

int __stdcall USB_Terminate(void)
{
    Call call("USB_Terminate");
    OneAtATime alone(call, &g_terminating);
    g_usb.Set(false, NULL);
    return call.Finish(call.ForcedOr(SIM_OK));
}

int __stdcall USB_Download_Sequence(DesignEntry *list, int count, DWORD *detail, VembProgressCallback progress)
{
    Call call("USB_Download_Sequence");
    return RunDownload(call, UsbLink(), list, count, detail, progress, VEMB_USB_LIST_CUT);
}

int __stdcall USB_DirectDownload_Sequence(DWORD data, DWORD size, const char *name, int location, DWORD *detail,
                                          VembProgressCallback progress)
{
    Call call("USB_DirectDownload_Sequence");
    return RunDirectDownload(call, UsbLink(), data, size, name, location, detail, progress);
}

int __stdcall USB_Upload_Sequence(DesignEntry *list, int count, DWORD *detail, VembProgressCallback progress)
{
    Call call("USB_Upload_Sequence");
    return RunUpload(call, UsbLink(), list, count, detail, progress);
}

int __stdcall USB_Erase_Sequence(BYTE location, BYTE number, DWORD *detail, VembBusyCallback busy)
{
    Call call("USB_Erase_Sequence");
    return RunDelete(call, UsbLink(), location, number, detail, busy);
}

#ifndef LINKSIM_NO_OPENING
// Bound by the module but never called; answers 0.
int __stdcall USB_Opening_Sequence(void)
{
    Call call("USB_Opening_Sequence");
    return call.Finish(call.ForcedOr(SIM_OK));
}
#endif

int __stdcall USB_DirUpload_Sequence(const char *path, int location, DWORD *detail, VembProgressCallback progress)
{
    Call call("USB_DirUpload_Sequence");
    return RunDirUpload(call, UsbLink(), path, location, detail, progress);
}

int __stdcall USB_DisplayMessageByReturnCode(HWND owner, const char *caption, int code, DWORD detail)
{
    Call call("USB_DisplayMessageByReturnCode");
    return RunMessage(call, owner, caption, code, detail);
}

}  // extern "C"
