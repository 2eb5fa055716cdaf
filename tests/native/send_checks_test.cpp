// The cut of a send list to the room left below 100 designs, and the progress position.
#include <gtest/gtest.h>

#include <string.h>

#include "send/send_checks.h"

namespace {

void Name(DesignEntry *entry, const char *name)
{
    memset(entry, 0, sizeof *entry);
    strcpy(entry->name, name);
    entry->location = 5;
}

TEST(SendRoom, ListIsCutAtTheRoomLeft)
{
    struct Case {
        int stored;
        uint32_t count;
        int emptied;  // -1: no cut
    };
    const Case cases[] = {{97, 5, 3}, {99, 2, 1}, {95, 5, -1}, {0, 5, -1}, {96, 5, 4}, {99, 1, -1}, {100, 3, 0},
                          {0, 100, -1}, {1, 100, 99}};
    for (const Case &c : cases) {
        SCOPED_TRACE("stored " + std::to_string(c.stored) + ", count " + std::to_string(c.count));
        DesignEntry entries[101];
        for (uint32_t i = 0; i < c.count; ++i)
            Name(&entries[i], ("C:\\d\\" + std::to_string(i) + ".vbd").c_str());
        memset(&entries[c.count], 0, sizeof entries[c.count]);
        EXPECT_EQ(CutSendListToRoom(entries, c.count, c.stored), c.emptied >= 0);
        for (uint32_t i = 0; i < c.count; ++i) {
            if ((int)i == c.emptied) {
                EXPECT_EQ(entries[i].name[0], '\0') << i;
                // Only the first byte goes: the rest of the entry is as it was.
                EXPECT_STREQ(entries[i].name + 1, (":\\d\\" + std::to_string(i) + ".vbd").c_str());
                EXPECT_EQ(entries[i].location, 5);
            } else {
                EXPECT_EQ(std::string(entries[i].name), "C:\\d\\" + std::to_string(i) + ".vbd") << i;
            }
        }
    }
}

TEST(SendRoom, ProgressPositionIsTruncatedPercent)
{
    struct Case {
        uint32_t done, total;
        int position;
    };
    const Case cases[] = {{0, 12, 0},           {5, 12, 41},          {6, 12, 50},   {10, 12, 83}, {12, 12, 100},
                          {1, 3, 33},           {2, 3, 66},           {0, 0, 0},     {7, 0, 0},    {13, 12, 100},
                          {0xFFFFFFFF, 1, 100}, {0x7FFFFFFF, 0xFFFFFFFF, 49}, {0xFFFFFFFE, 0xFFFFFFFF, 99}};
    for (const Case &c : cases)
        EXPECT_EQ(SendProgressPosition(c.done, c.total), c.position) << c.done << " / " << c.total;
}

}  // namespace
