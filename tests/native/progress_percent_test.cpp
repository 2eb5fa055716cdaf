#include <gtest/gtest.h>

#include "machinelist/progress_percent.h"

namespace {

// The integer part of done / total × 100: truncated, never rounded.
TEST(ProgressPercent, TruncatesTowardZero)
{
    const struct {
        uint32_t done, total;
        int percent;
    } cases[] = {
        {0, 12, 0},          {1, 12, 8},
        {2, 12, 16},         {11, 12, 91},
        {12, 12, 100},       {50, 200, 25},
        {1, 3, 33},          {2, 3, 66},
        {199, 200, 99},      {0xFFFFFFFFu, 0xFFFFFFFFu, 100},
        {1, 0xFFFFFFFFu, 0}, {0x80000000u, 0xFFFFFFFFu, 50},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ProgressPercent(c.done, c.total), c.percent) << c.done << " / " << c.total;
}

// A total of 0 says nothing yet: the bar stays at the start. More done than total stops at
// the end instead of overflowing the conversion.
TEST(ProgressPercent, ZeroTotalAndOverrun)
{
    EXPECT_EQ(ProgressPercent(0, 0), 0);
    EXPECT_EQ(ProgressPercent(5, 0), 0);
    EXPECT_EQ(ProgressPercent(13, 12), 100);
    EXPECT_EQ(ProgressPercent(0xFFFFFFFFu, 1), 100);
}

}  // namespace
