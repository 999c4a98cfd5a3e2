#include <gtest/gtest.h>

#include "platform/OsClass.h"
#include "platform/posix/KernelRelease.h"

namespace platform {
namespace {

TEST(OsClassTest, FollowsTheKernelMajorVersion) {
    struct Case {
        const char* release;
        int osClass;
    };
    const Case cases[] = {
        {"1.2.13", 1},
        {"2.6.32-754.el6.x86_64", 1},
        {"3.10.0-1160.el7.x86_64", 2},
        {"4.19.0-25-amd64", 3},
        {"5.15.0-91-generic", 4},
        {"6.1.0-18-amd64", 5},
        {"6.18.44-custom", 5},
        {"10.0.0", 5},
        {"99999999999999999999.1", 5},
        {"", 0},
        {"linux", 0},
        {"6", 0},
        {"-5.1", 0},
        {".5", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(OsClassFromRelease(c.release), c.osClass) << c.release;
}

TEST(OsClassTest, TheRunningKernelIsOneOfTheModernClasses) {
    // Every kernel these tests can run on is 3.x or later.
    const int running = CurrentOsClass();
    EXPECT_GE(running, 2);
    EXPECT_LE(running, 5);
}

}  // namespace
}  // namespace platform
