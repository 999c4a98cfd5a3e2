// The variables for tests and unattended runs, read in one place.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/EnvironmentHooks.h"
#include "platform/Services.h"
#include "tests/platform/PlatformTestSupport.h"

namespace platform {
namespace {

TEST(EnvironmentHooksTest, NothingSetChangesNothing) {
    ScopedEnv mountInfo("VORN_MOUNTINFO", std::nullopt);
    ScopedEnv timeout("VORN_MESSAGE_TIMEOUT_MS", std::nullopt);
    ScopedEnv osClass("VORN_OS_CLASS", std::nullopt);
    ScopedEnv clockRate("VORN_CLOCK_RATE", std::nullopt);
    const EnvironmentHooks hooks = ReadEnvironmentHooks();
    EXPECT_EQ(hooks.mountInfoPath, "");
    EXPECT_EQ(hooks.messageTimeoutMs, 0u);
    EXPECT_FALSE(hooks.osClass);
    EXPECT_EQ(hooks.clockRate, 1u);
    EXPECT_EQ(SystemServices(hooks).clock, &SystemClock());
}

TEST(EnvironmentHooksTest, OnlyWellFormedValuesCount) {
    struct Case {
        const char* timeout;
        unsigned timeoutMs;
        const char* osClass;
        std::optional<int> overridden;
    };
    const Case cases[] = {
        {"200", 200, "0", 0},         {"0", 0, "5", 5},
        {"-5", 0, "6", std::nullopt}, {"12x", 0, "12", std::nullopt},
        {"", 0, "", std::nullopt},    {"99999999999", 0, "x", std::nullopt},
    };
    for (const Case& c : cases) {
        ScopedEnv timeout("VORN_MESSAGE_TIMEOUT_MS", c.timeout);
        ScopedEnv osClass("VORN_OS_CLASS", c.osClass);
        ScopedEnv mountInfo("VORN_MOUNTINFO", "/tmp/table");
        const EnvironmentHooks hooks = ReadEnvironmentHooks();
        EXPECT_EQ(hooks.messageTimeoutMs, c.timeoutMs) << c.timeout;
        EXPECT_EQ(hooks.osClass, c.overridden) << c.osClass;
        EXPECT_EQ(hooks.mountInfoPath, "/tmp/table");
    }
}

TEST(EnvironmentHooksTest, AClockRateFromTwoToAThousandSpeedsUpTheTickAndThePauses) {
    const struct {
        const char* text;
        unsigned rate;
    } cases[] = {{"10", 10}, {"2", 2}, {"1000", 1000}, {"1", 1}, {"1001", 1}, {"0", 1}, {"x", 1}};
    for (const auto& row : cases) {
        ScopedEnv clockRate("VORN_CLOCK_RATE", row.text);
        EXPECT_EQ(ReadEnvironmentHooks().clockRate, row.rate) << row.text;
    }

    EnvironmentHooks hooks;
    hooks.clockRate = 50;
    const IClock& fast = *SystemServices(hooks).clock;
    const IClock& real = SystemClock();
    const uint32_t fastStart = fast.TickMs();
    const uint32_t realStart = real.TickMs();
    fast.SleepMs(2000);  // 40 ms of real time
    const uint32_t fastPassed = fast.TickMs() - fastStart;
    const uint32_t realPassed = real.TickMs() - realStart;
    EXPECT_GE(realPassed, 40u);
    EXPECT_GE(fastPassed, 2000u);
    EXPECT_LE(fastPassed, (realPassed + 1) * 50);
    EXPECT_LE(std::abs(fast.WallSeconds() - real.WallSeconds()), 1)
        << "the calendar keeps real time";
}

TEST(EnvironmentHooksTest, AClassOverrideReachesTheServices) {
    EnvironmentHooks hooks;
    hooks.osClass = 1;
    EXPECT_EQ(SystemServices(hooks).osClass, 1);
}

}  // namespace
}  // namespace platform
