#include <gtest/gtest.h>
#include <sys/utsname.h>

#include "platform/OsClass.h"
#include "tests/platform/PlatformTestSupport.h"

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

TEST(OsClassTest, TheVariableOverridesTheRunningKernel) {
    utsname names{};
    ASSERT_EQ(uname(&names), 0);
    const int running = OsClassFromRelease(names.release);
    struct Case {
        const char* value;
        int osClass;
    };
    const Case cases[] = {
        {"0", 0},        {"1", 1},       {"5", 5},      {"6", running},
        {"12", running}, {"x", running}, {"", running},
    };
    for (const Case& c : cases) {
        ScopedEnv variable("VORN_OS_CLASS", c.value);
        EXPECT_EQ(CurrentOsClass(), c.osClass) << c.value;
    }
    ScopedEnv unset("VORN_OS_CLASS", std::nullopt);
    EXPECT_EQ(CurrentOsClass(), running);
}

}  // namespace
}  // namespace platform
