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
