#pragma once
// The sums of a send that need no window: the cut of a design entry list to the room left
// below 100 designs, and the progress bar position. Win32-free.
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

// Progress bar position (range 0 to 100) for `done` of `total`: done / total x 100 in
// floating point, truncated. A total of 0 gives 0; a position above 100 (done beyond
// total) is held at 100, which is all the bar can show.
int SendProgressPosition(uint32_t done, uint32_t total);
