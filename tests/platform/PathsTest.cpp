#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Files.h"
#include "platform/Paths.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/TempDir.h"

namespace platform {
namespace {

TEST(PathsTest, TheExecutableKnowsWhereItIs) {
    const std::string path = ExecutablePath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.substr(path.rfind('/') + 1), "platform_test");
    EXPECT_EQ(ExecutableDir() + "platform_test", path);
}

TEST(PathsTest, UserFoldersFollowTheXdgVariables) {
    struct Case {
        std::optional<std::string> config, data, runtime, tmpdir;
        std::string expectConfig, expectData, expectRuntime;
    };
    const Case cases[] = {
        {"/c", "/d", "/r", "/t", "/c", "/d", "/r"},
        {std::nullopt, std::nullopt, std::nullopt, "/t", "/home/ann/.config",
         "/home/ann/.local/share", "/t"},
        // Empty and relative values are ignored.
        {"", "relative", "", "", "/home/ann/.config", "/home/ann/.local/share", "/tmp"},
        {std::nullopt, std::nullopt, std::nullopt, std::nullopt, "/home/ann/.config",
         "/home/ann/.local/share", "/tmp"},
    };
    ScopedEnv home("HOME", "/home/ann");
    for (const Case& c : cases) {
        ScopedEnv config("XDG_CONFIG_HOME", c.config);
        ScopedEnv data("XDG_DATA_HOME", c.data);
        ScopedEnv runtime("XDG_RUNTIME_DIR", c.runtime);
        ScopedEnv tmpdir("TMPDIR", c.tmpdir);
        EXPECT_EQ(UserConfigDir(), c.expectConfig);
        EXPECT_EQ(UserDataDir(), c.expectData);
        EXPECT_EQ(RuntimeDir(), c.expectRuntime);
        EXPECT_EQ(FallbackInstallRoot(), c.expectData + "/Velmora");
    }
}

TEST(PathsTest, WithoutHomeTheAccountsFolderIsUsed) {
    ScopedEnv home("HOME", std::nullopt);
    ScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
    const std::string dir = UserConfigDir();
    EXPECT_EQ(dir.front(), '/');
    EXPECT_EQ(dir.substr(dir.size() - 8), "/.config");
}

TEST(PathsTest, OnlyFilesThatOpenForReadingAreReadable) {
    TempDir dir;
    WriteFile(dir / "file", "x");
    EXPECT_TRUE(FileReadable(dir / "file"));
    EXPECT_FALSE(FileReadable(dir / "missing"));
    EXPECT_FALSE(FileReadable(dir.Path()));
    if (geteuid() != 0) {
        chmod((dir / "file").c_str(), 0);
        EXPECT_FALSE(FileReadable(dir / "file"));
    }
}

TEST(PathsTest, CreatesEveryMissingFolder) {
    TempDir dir;
    EXPECT_TRUE(CreateDirectories(dir / "a/b/c"));
    EXPECT_TRUE(CreateDirectories(dir / "a/b/c"));
    struct stat info {};
    EXPECT_EQ(stat((dir / "a/b/c").c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    WriteFile(dir / "file", "x");
    EXPECT_FALSE(CreateDirectories(dir / "file"));
    EXPECT_FALSE(CreateDirectories(dir / "file/sub"));
}

}  // namespace
}  // namespace platform
