#pragma once
// The Vbd Name dialog (template 107): lets the user change the name under which a direct
// send stores the host's design. Also the default name made from the clock.
#include <windows.h>

#include "send/design_name.h"

// Dialog result 1 when a name was accepted into the direct design name, 2 when closed.
INT_PTR CALLBACK NameDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The default design name for now: the local date and time as a count of 100-nanosecond
// intervals since 1 January 1601, in base 36, with ".vbd".
void MakeDefaultDesignName(char buffer[DESIGN_NAME_SIZE]);
