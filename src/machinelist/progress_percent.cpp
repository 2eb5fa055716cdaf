#include "machinelist/progress_percent.h"

namespace {

// Converting a value beyond int's range would be undefined; the bar stops at 100.
int BarPosition(double percent)
{
    return percent >= 100.0 ? 100 : (int)percent;
}

}  // namespace

int ProgressPercent(uint32_t done, uint32_t total)
{
    return total == 0 ? 0 : BarPosition((double)done / (double)total * 100.0);
}

int ProgressPercentScaledFirst(uint32_t done, uint32_t total)
{
    return total == 0 ? 0 : BarPosition((double)done * 100.0 / (double)total);
}
