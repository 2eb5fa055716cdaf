#pragma once
// The road a worker takes through a link library: open the link, run one sequence,
// close the link, and let the library's own message operation explain a non-zero code.
// The serial road opens the configured port always at 9600 bit/s; the sequences get the
// configured speed themselves (GetBaudRate).
#include "link/settings.h"
#include "link/usb_link.h"
#include "link/vemblink.h"

namespace link_run {
// Default outcome hook: the sequence's code stands as it is.
struct KeepCode {
    int operator()(int code) const { return code; }
};
}  // namespace link_run

// Serial road. `sequence(DWORD *detail)` runs the sequence and returns its code;
// `outcome(code)` may turn that code into another (0 = success) before a failure is
// shown. Returns 0 on success, else the code that was shown.
template <class Sequence, class Outcome = link_run::KeepCode>
int RunSerialLink(HWND owner, const char *caption, HANDLE cancel, Sequence sequence,
                  Outcome outcome = Outcome())
{
    int code = SIO_InitializeIO(GetComPortName(), 9600, cancel);
    if (code != 0) {
        DisplayMessageByReturnCode(owner, caption, code, 0);
        SIO_TerminateIO();
        return code;
    }
    DWORD detail = 0;
    code = sequence(&detail);
    SIO_TerminateIO();
    code = outcome(code);
    if (code != 0)
        DisplayMessageByReturnCode(owner, caption, code, detail);
    return code;
}

// USB road: the same with UsbInitialize (a second initialisation after the worker's
// own probe), the USB sequence, UsbTerminate and the USB library's message.
template <class Sequence, class Outcome = link_run::KeepCode>
int RunUsbLink(HWND owner, const char *caption, HANDLE cancel, Sequence sequence,
               Outcome outcome = Outcome())
{
    int code = UsbInitialize(owner, cancel);
    if (code != 0) {
        UsbDisplayMessageByReturnCode(owner, caption, code, 0);
        UsbTerminate();
        return code;
    }
    DWORD detail = 0;
    code = sequence(&detail);
    UsbTerminate();
    code = outcome(code);
    if (code != 0)
        UsbDisplayMessageByReturnCode(owner, caption, code, detail);
    return code;
}
