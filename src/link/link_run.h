#pragma once
// The road a worker takes through a link library: the USB link library when it
// initialises, else the serial one; open the link, run the sequence, close the link, and
// let the library's own message operation explain a non-zero code. Every worker asks here,
// so that both roads stay one piece of code and differ only in the library they call.
// The serial road opens the configured port always at 9600 bit/s; the sequences get the
// configured speed themselves (GetBaudRate).
#include "link/settings.h"
#include "link/usb_link.h"
#include "link/vemblink.h"

namespace link_run {

// The serial link library.
struct SerialRoad {
    static constexpr bool usb = false;
    static int Open(HWND, HANDLE cancel) { return SIO_InitializeIO(GetComPortName(), 9600, cancel); }
    static void Close() { SIO_TerminateIO(); }
    static void Show(HWND owner, const char *caption, int code, DWORD detail)
    {
        DisplayMessageByReturnCode(owner, caption, code, detail);
    }
    static int Download(DesignEntry *list, int count, DWORD *detail, VembProgressCallback progress)
    {
        return Protocol_Seq_Download(GetBaudRate(), list, count, detail, progress);
    }
    static int DirectDownload(DWORD data, DWORD size, const char *name, int location, DWORD *detail,
                              VembProgressCallback progress)
    {
        return Protocol_Seq_Download_Direct(GetBaudRate(), data, size, name, location, detail, progress);
    }
    static int Upload(DesignEntry *list, int count, DWORD *detail, VembProgressCallback progress)
    {
        return Protocol_Seq_Upload(GetBaudRate(), list, count, detail, progress);
    }
    static int DirUpload(const char *path, int location, DWORD *detail, VembProgressCallback progress)
    {
        return Protocol_Seq_DirUpload(GetBaudRate(), path, location, detail, progress);
    }
    static int Erase(BYTE location, BYTE number, DWORD *detail, VembBusyCallback busy)
    {
        return Protocol_Seq_Delete(location, number, detail, busy);
    }
};

// The USB link library, through the guards. Its opening is a second UsbInitialize after
// the worker's own probe.
struct UsbRoad {
    static constexpr bool usb = true;
    static int Open(HWND owner, HANDLE cancel) { return UsbInitialize(owner, cancel); }
    static void Close() { UsbTerminate(); }
    static void Show(HWND owner, const char *caption, int code, DWORD detail)
    {
        UsbDisplayMessageByReturnCode(owner, caption, code, detail);
    }
    static int Download(DesignEntry *list, int count, DWORD *detail, VembProgressCallback progress)
    {
        return UsbDownloadSequence(list, count, detail, progress);
    }
    static int DirectDownload(DWORD data, DWORD size, const char *name, int location, DWORD *detail,
                              VembProgressCallback progress)
    {
        return UsbDirectDownloadSequence(data, size, name, location, detail, progress);
    }
    static int Upload(DesignEntry *list, int count, DWORD *detail, VembProgressCallback progress)
    {
        return UsbUploadSequence(list, count, detail, progress);
    }
    static int DirUpload(const char *path, int location, DWORD *detail, VembProgressCallback progress)
    {
        return UsbDirUploadSequence(path, location, detail, progress);
    }
    static int Erase(BYTE location, BYTE number, DWORD *detail, VembBusyCallback busy)
    {
        return UsbEraseSequence(location, number, detail, busy);
    }
};

// Default outcome hook: the sequence's code stands as it is.
struct KeepCode {
    int operator()(int code, bool /*usb*/) const { return code; }
};

}  // namespace link_run

// Calls `body(road)` with the road the link takes now: link_run::UsbRoad when the USB link
// library initialises (the worker's probe, with the worker's cancel event), else
// link_run::SerialRoad. Returns what `body` returns.
template <class Body>
int ChooseLinkRoad(HWND owner, HANDLE cancel, Body body)
{
    if (UsbInitialize(owner, cancel) == 0)
        return body(link_run::UsbRoad());
    return body(link_run::SerialRoad());
}

// One sequence on a road: `sequence(road, &detail)` runs it and returns its code;
// `outcome(code, road.usb)` may turn that code into another (0 = success) before a
// failure is shown. Returns 0 on success, else the code that was shown.
template <class Road, class Sequence, class Outcome = link_run::KeepCode>
int RunOnRoad(Road road, HWND owner, const char *caption, HANDLE cancel, Sequence sequence,
              Outcome outcome = Outcome())
{
    int code = road.Open(owner, cancel);
    if (code != 0) {
        road.Show(owner, caption, code, 0);
        road.Close();
        return code;
    }
    DWORD detail = 0;
    code = sequence(road, &detail);
    road.Close();
    code = outcome(code, road.usb);
    if (code != 0)
        road.Show(owner, caption, code, detail);
    return code;
}

// The whole of a worker's link: the road chosen, then the sequence run on it.
template <class Sequence, class Outcome = link_run::KeepCode>
int RunLink(HWND owner, const char *caption, HANDLE cancel, Sequence sequence, Outcome outcome = Outcome())
{
    return ChooseLinkRoad(owner, cancel,
                          [&](auto road) { return RunOnRoad(road, owner, caption, cancel, sequence, outcome); });
}
