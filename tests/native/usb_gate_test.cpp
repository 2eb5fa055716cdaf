#include <gtest/gtest.h>

#include "link/usb_gate.h"

namespace {

struct GateCase {
    unsigned long platform, major, minor;
    bool allowed;
};

TEST(UsbGate, FollowsTheVersionTable)
{
    const GateCase cases[] = {
        {1, 4, 0, false},  // Windows 95
        {1, 4, 10, true},  // Windows 98
        {1, 4, 90, true},  // Windows Me
        {2, 3, 51, false}, {2, 4, 0, false},  // NT 3.51, NT 4
        {2, 5, 0, true},   {2, 5, 1, true}, {2, 6, 1, true}, {2, 10, 0, true},
        {0, 0, 0, true},   {3, 0, 0, true},  // other platform ids are tried
    };
    for (const GateCase &c : cases)
        EXPECT_EQ(UsbLoadAllowed(c.platform, c.major, c.minor), c.allowed)
            << "platform " << c.platform << " version " << c.major << "." << c.minor;
}

}  // namespace
