#include "machinelist/progress_percent.h"

int ProgressPercent(uint32_t done, uint32_t total)
{
    if (total == 0)
        return 0;
    double percent = (double)done / (double)total * 100.0;
    return percent >= 100.0 ? 100 : (int)percent;
}
