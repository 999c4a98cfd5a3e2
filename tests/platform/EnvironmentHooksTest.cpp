// The variables for tests and unattended runs, read in one place.
#include <gtest/gtest.h>

#include "platform/EnvironmentHooks.h"
#include "platform/Services.h"
#include "tests/platform/PlatformTestSupport.h"

namespace platform {
namespace {

TEST(EnvironmentHooksTest, NothingSetChangesNothing) {
    ScopedEnv mountInfo("VORN_MOUNTINFO", std::nullopt);
    ScopedEnv timeout("VORN_MESSAGE_TIMEOUT_MS", std::nullopt);
    ScopedEnv osClass("VORN_OS_CLASS", std::nullopt);
    const EnvironmentHooks hooks = ReadEnvironmentHooks();
    EXPECT_EQ(hooks.mountInfoPath, "");
    EXPECT_EQ(hooks.messageTimeoutMs, 0u);
    EXPECT_FALSE(hooks.osClass);
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

TEST(EnvironmentHooksTest, AClassOverrideReachesTheServices) {
    EnvironmentHooks hooks;
    hooks.osClass = 1;
    EXPECT_EQ(SystemServices(hooks).osClass, 1);
}

}  // namespace
}  // namespace platform
