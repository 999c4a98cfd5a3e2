#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/UrlOpener.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/TempDir.h"

namespace platform {
namespace {

constexpr const char* kUrl = "http://127.0.0.1:8080/im_client/?web_plugin_id=7&x=a b";

class UrlOpenerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(CreateDirectories(m_dir / "bin")); }

    TempDir m_dir;
    ScopedEnv m_path{"PATH", m_dir / "bin"};
};

TEST_F(UrlOpenerTest, HandsTheUrlToXdgOpenAndLeavesNoChild) {
    const std::string recorded = m_dir / "opened";
    WriteRecordingProgram(m_dir / "bin/xdg-open", recorded);
    OpenUrl(kUrl);
    // The opener runs on as an orphan: nothing is left here to reap.
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    ASSERT_TRUE(WaitForFile(recorded));
    EXPECT_EQ(ReadFile(recorded), kUrl);
}

TEST_F(UrlOpenerTest, SaysSoWhenXdgOpenIsMissing) {
    CapturedStderr errors(m_dir / "stderr");
    OpenUrl(kUrl);
    const std::string message = errors.Text();
    EXPECT_THAT(message, ::testing::HasSubstr("xdg-open"));
    EXPECT_THAT(message, ::testing::HasSubstr(kUrl));
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1);
}

}  // namespace
}  // namespace platform
