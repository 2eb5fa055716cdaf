#include "send/send_checks.h"

bool CutSendListToRoom(DesignEntry *entries, uint32_t count, int stored)
{
    if (stored < 0)
        stored = 0;
    if (stored > LOCATION_DESIGN_MAX)
        stored = LOCATION_DESIGN_MAX;
    uint32_t room = (uint32_t)(LOCATION_DESIGN_MAX - stored);
    if (room >= count)
        return false;
    entries[room].name[0] = '\0';
    return true;
}

int SendProgressPosition(uint32_t done, uint32_t total)
{
    if (total == 0)
        return 0;
    double position = (double)done / (double)total * 100.0;
    // Converting a value beyond int's range would be undefined; the bar stops at 100.
    return position >= 100.0 ? 100 : (int)position;
}
