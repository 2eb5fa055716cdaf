#pragma once
// The sum of a send that needs no window: the cut of a design entry list to the room left
// below 100 designs. Win32-free.
#include <stdint.h>

#include "link/design_entry.h"

enum { LOCATION_DESIGN_MAX = 100 };  // designs the module lets one location hold

// Cuts a list of `count` accepted entries to the room left at a location that already
// holds `stored` designs (0 .. 99; the caller has refused 100 or more): when the room,
// 100 - stored, is smaller than the count, the name of the entry at position `room`
// loses its first byte, which ends the list there for the link library. The entries
// behind it stay as they are and the count handed on stays `count`. Returns true when
// the list was cut.
bool CutSendListToRoom(DesignEntry *entries, uint32_t count, int stored);
