#include "link/usb_gate.h"

bool UsbLoadAllowed(unsigned long platformId, unsigned long majorVersion, unsigned long minorVersion)
{
    if (platformId == PLATFORM_WIN95_FAMILY && minorVersion == 0)
        return false;
    if (platformId == PLATFORM_NT_FAMILY && majorVersion <= 4)
        return false;
    return true;
}
