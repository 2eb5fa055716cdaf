// The cut of a send list to the room left below 100 designs, and the progress positions of
// the send and of the machine-list transfers.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "machinelist/progress_percent.h"
#include "send/send_checks.h"

namespace {

TEST(SendRoom, ListIsCutAtTheRoomLeft)
{
    const struct {
        int stored;
        uint32_t count;
        int emptied;  // -1: no cut
    } cases[] = {{97, 5, 3}, {99, 2, 1}, {95, 5, -1}, {96, 5, 4}, {99, 1, -1}, {100, 3, 0}, {0, 100, -1}, {1, 100, 99}};
    for (const auto &c : cases) {
        SCOPED_TRACE("stored " + std::to_string(c.stored) + ", count " + std::to_string(c.count));
        DesignEntry entries[101] = {};
        for (uint32_t i = 0; i < c.count; ++i) {
            strcpy(entries[i].name, ("C:\\d\\" + std::to_string(i) + ".vbd").c_str());
            entries[i].location = 5;
        }
        EXPECT_EQ(CutSendListToRoom(entries, c.count, c.stored), c.emptied >= 0);
        for (uint32_t i = 0; i < c.count; ++i) {
            // Only the first byte of the emptied entry goes.
            std::string expected = "C:\\d\\" + std::to_string(i) + ".vbd";
            EXPECT_EQ(std::string(entries[i].name + ((int)i == c.emptied)),
                      (int)i == c.emptied ? expected.substr(1) : expected);
            EXPECT_EQ(entries[i].name[0] == '\0', (int)i == c.emptied) << i;
            EXPECT_EQ(entries[i].location, 5);
        }
    }
}

// done / total x 100, truncated; a total of 0 gives 0, more done than total stops at 100.
TEST(Progress, PositionIsTruncatedPercent)
{
    const struct {
        uint32_t done, total;
        int position;
    } cases[] = {{0, 12, 0},     {5, 12, 41},   {10, 12, 83}, {12, 12, 100},          {2, 3, 66},
                 {50, 200, 25},  {0, 0, 0},     {7, 0, 0},    {13, 12, 100},          {0xFFFFFFFF, 1, 100},
                 {1, 0xFFFFFFFF, 0}, {0x7FFFFFFF, 0xFFFFFFFF, 49}, {0xFFFFFFFE, 0xFFFFFFFF, 99}};
    for (const auto &c : cases) {
        EXPECT_EQ(SendProgressPosition(c.done, c.total), c.position) << c.done << " / " << c.total;
        EXPECT_EQ(ProgressPercent(c.done, c.total), c.position) << c.done << " / " << c.total;
    }
}

}  // namespace
