// The link side: the Windows versions that may load the USB link library.
#include <gtest/gtest.h>

#include "link/usb_gate.h"

namespace {

TEST(UsbGate, FollowsTheVersionTable)
{
    const struct {
        unsigned long platform, major, minor;
        bool allowed;
    } cases[] = {{1, 4, 0, false}, {1, 4, 10, true}, {1, 4, 90, true},  // 95, 98, Me
                 {2, 3, 51, false}, {2, 4, 0, false}, {2, 5, 0, true}, {2, 10, 0, true},
                 {0, 0, 0, true}, {3, 0, 0, true}};  // other platform ids are tried
    for (const auto &c : cases)
        EXPECT_EQ(UsbLoadAllowed(c.platform, c.major, c.minor), c.allowed)
            << "platform " << c.platform << " version " << c.major << "." << c.minor;
}

}  // namespace
