#pragma once
// The operating-system gate in front of loading the USB link library. Win32-free.

// Platform ids as the version query reports them.
enum : unsigned long { PLATFORM_WIN95_FAMILY = 1, PLATFORM_NT_FAMILY = 2 };

// True when the USB link library may be loaded on a system of this platform id and
// version: not on the first Windows 95 release (family 1, minor 0), nor on NT 4 or
// earlier; every other combination, unknown platform ids included, is tried.
bool UsbLoadAllowed(unsigned long platformId, unsigned long majorVersion, unsigned long minorVersion);
