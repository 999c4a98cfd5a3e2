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
    // Without a runtime folder the lock goes to a folder of the user's own,
    // never to the temporary folder that every user shares.
    const Case cases[] = {
        {"/c", "/d", "/r", "/t", "/c", "/d", "/r"},
        {std::nullopt, "/d", std::nullopt, "/t", "/home/ann/.config", "/d", "/d/Velmora"},
        {std::nullopt, std::nullopt, std::nullopt, "/t", "/home/ann/.config",
         "/home/ann/.local/share", "/home/ann/.local/share/Velmora"},
        // Empty and relative values are ignored.
        {"", "relative", "", "", "/home/ann/.config", "/home/ann/.local/share",
         "/home/ann/.local/share/Velmora"},
        {std::nullopt, std::nullopt, "relative", std::nullopt, "/home/ann/.config",
         "/home/ann/.local/share", "/home/ann/.local/share/Velmora"},
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

TEST(PathsTest, OnlyWhatTheUserOrTheSystemAloneMayWriteQualifies) {
    TempDir dir;
    struct Case {
        const char* name;
        mode_t mode;  // 0: a link, not a folder or a file
        bool folder;
        bool qualifies;
    };
    const Case cases[] = {
        {"own-folder", 0755, true, true},      {"private-folder", 0700, true, true},
        {"group-writes", 0775, true, false},   {"others-write", 0757, true, false},
        {"shared-sticky", 01777, true, false}, {"own-file", 0644, false, true},
        {"group-file", 0664, false, false},    {"link-to-own-folder", 0, false, false},
    };
    for (const Case& c : cases) {
        const std::string path = dir / c.name;
        if (c.mode == 0) {
            ASSERT_EQ(symlink((dir / "own-folder").c_str(), path.c_str()), 0);
        } else {
            if (c.folder) {
                ASSERT_TRUE(CreateDirectories(path));
            } else {
                WriteFile(path, "x");
            }
            chmod(path.c_str(), c.mode);
        }
        EXPECT_EQ(OnlyUserOrSystemMayWrite(path), c.qualifies) << c.name;
    }
    EXPECT_FALSE(OnlyUserOrSystemMayWrite(dir / "missing"));
    // The system's own folders qualify for every user.
    EXPECT_TRUE(OnlyUserOrSystemMayWrite("/usr"));
}

TEST(PathsTest, WhatAnotherUserOwnsDoesNotQualify) {
    if (geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
    TempDir dir;
    WriteFile(dir / "theirs", "x");
    ASSERT_TRUE(CreateDirectories(dir / "their-folder"));
    for (const char* name : {"theirs", "their-folder"}) {
        ASSERT_EQ(chown((dir / name).c_str(), 65534, 65534), 0);
        EXPECT_FALSE(OnlyUserOrSystemMayWrite(dir / name)) << name;
    }
}

// The mode of what is at path, permission bits only; 0 when nothing is there.
mode_t ModeOf(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// Whatever the umask lets through, the last folder is the user's alone; one
// that is there already keeps its mode.
TEST(PathsTest, PrivateFoldersAreOpenToTheUserAlone) {
    TempDir dir;
    const mode_t testUmask = umask(0);
    EXPECT_TRUE(CreatePrivateDirectories(dir / "a/b/private/"));
    umask(testUmask);
    EXPECT_EQ(ModeOf(dir / "a/b/private"), 0700u);
    chmod((dir / "a/b/private").c_str(), 0750);
    EXPECT_TRUE(CreatePrivateDirectories(dir / "a/b/private"));
    EXPECT_EQ(ModeOf(dir / "a/b/private"), 0750u);
    WriteFile(dir / "file", "x");
    EXPECT_FALSE(CreatePrivateDirectories(dir / "file"));
    EXPECT_FALSE(CreatePrivateDirectories(dir / "file/sub"));
}

// A umask that lets the group or others write loses those bits, and keeps
// what it withholds already.
TEST(PathsTest, NewFilesAreClosedToOtherUsersWhateverTheUmask) {
    TempDir dir;
    struct Case {
        mode_t umaskBefore;
        mode_t folderMode;
    };
    const Case cases[] = {{0, 0755}, {002, 0755}, {022, 0755}, {077, 0700}, {027, 0750}};
    for (const Case& c : cases) {
        const std::string folder = dir / ("umask-" + std::to_string(c.umaskBefore));
        const mode_t testUmask = umask(c.umaskBefore);
        DenyOthersWriteToNewFiles();
        mkdir(folder.c_str(), 0777);
        umask(testUmask);
        EXPECT_EQ(ModeOf(folder), c.folderMode) << "umask " << std::oct << c.umaskBefore;
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
