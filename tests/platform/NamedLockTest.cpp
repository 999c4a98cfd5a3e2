#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/Files.h"
#include "platform/NamedLock.h"
#include "platform/Process.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/TempDir.h"

namespace platform {
namespace {

class NamedLockTest : public ::testing::Test {
protected:
    TempDir m_dir;
    // A runtime folder that does not exist yet.
    ScopedEnv m_runtime{"XDG_RUNTIME_DIR", m_dir / "run"};
};

// One byte through a pipe, to step two processes in turn.
char ReadByte(int fd) {
    char byte = 0;
    return read(fd, &byte, 1) == 1 ? byte : '\0';
}

TEST_F(NamedLockTest, OnlyOneProcessHoldsTheLockUntilItEnds) {
    EXPECT_EQ(NamedLockPath("Launch"), m_dir / "run/Launch.lock");
    int toParent[2];
    int toChild[2];
    ASSERT_EQ(pipe(toParent), 0);
    ASSERT_EQ(pipe(toChild), 0);
    const pid_t holder = ForkChild([&] {
        const NamedLock held = AcquireNamedLock("Launch");
        const char result = held.Result() == NamedLockResult::Acquired ? 'A' : 'x';
        if (write(toParent[1], &result, 1) != 1) return 1;
        ReadByte(toChild[0]);  // hold the lock until told to end
        return 0;
    });
    ASSERT_GT(holder, 0);
    ASSERT_EQ(ReadByte(toParent[0]), 'A');

    EXPECT_EQ(AcquireNamedLock("Launch").Result(), NamedLockResult::AlreadyHeld);
    EXPECT_EQ(AcquireNamedLock("Other").Result(), NamedLockResult::Acquired);

    ASSERT_EQ(write(toChild[1], "e", 1), 1);
    EXPECT_EQ(WaitStatus(holder), 0);
    NamedLock mine = AcquireNamedLock("Launch");
    EXPECT_EQ(mine.Result(), NamedLockResult::Acquired);
    // Held by this process now: a second acquisition fails like in another one.
    EXPECT_EQ(AcquireNamedLock("Launch").Result(), NamedLockResult::AlreadyHeld);
    // Until the holder lets it go.
    mine.Release();
    EXPECT_EQ(AcquireNamedLock("Launch").Result(), NamedLockResult::Acquired);
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) close(fd);
}

// A program started by the holder must not keep the lock after the holder ends.
TEST_F(NamedLockTest, AStartedProgramDoesNotInheritTheLock) {
    int toParent[2];
    ASSERT_EQ(pipe(toParent), 0);
    const pid_t holder = ForkChild([&] {
        const NamedLock held = AcquireNamedLock("Launch");
        if (held.Result() != NamedLockResult::Acquired) return 1;
        const auto sleeper =
            static_cast<pid_t>(SpawnProcess("/bin/sleep", {"30"}).value_or(Process{-1, 0}).id);
        if (write(toParent[1], &sleeper, sizeof sleeper) != sizeof sleeper) return 1;
        return 0;
    });
    pid_t sleeper = -1;
    ASSERT_EQ(read(toParent[0], &sleeper, sizeof sleeper), static_cast<ssize_t>(sizeof sleeper));
    EXPECT_EQ(WaitStatus(holder), 0);
    ASSERT_GT(sleeper, 0);
    EXPECT_EQ(kill(sleeper, 0), 0) << "the started program is still running";
    EXPECT_EQ(AcquireNamedLock("Launch").Result(), NamedLockResult::Acquired);
    kill(sleeper, SIGKILL);
    close(toParent[0]);
    close(toParent[1]);
}

// Without a runtime folder the lock lies in a folder of the user's own, made
// for the user alone, and never in the temporary folder all users share.
TEST_F(NamedLockTest, WithoutARuntimeFolderTheLockLiesInTheUsersDataFolder) {
    ScopedEnv noRuntime("XDG_RUNTIME_DIR", std::nullopt);
    ScopedEnv data("XDG_DATA_HOME", m_dir / "data");
    ScopedEnv tmpdir("TMPDIR", m_dir / "tmp");
    EXPECT_EQ(NamedLockPath("Launch"), m_dir / "data/Velmora/Launch.lock");

    const NamedLock held = AcquireNamedLock("Launch");

    EXPECT_EQ(held.Result(), NamedLockResult::Acquired);
    struct stat info {};
    ASSERT_EQ(stat((m_dir / "data/Velmora").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    EXPECT_TRUE(FileExists(m_dir / "data/Velmora/Launch.lock"));
    EXPECT_FALSE(FileExists(m_dir / "tmp"));
}

// Something planted at the lock's path is not used: a link is not followed,
// so what it points to is neither made nor locked.
TEST_F(NamedLockTest, ALinkOrAFolderAtTheLocksPathIsNotUsed) {
    ASSERT_TRUE(CreateDirectories(m_dir / "run"));
    WriteFile(m_dir / "target", "precious");
    struct Case {
        const char* name;
        std::string linkTo;  // empty: a folder
    };
    const Case cases[] = {
        {"ToAFile", m_dir / "target"}, {"ToNothing", m_dir / "missing"}, {"AFolder", ""}};
    for (const Case& c : cases) {
        const std::string path = m_dir / ("run/" + std::string(c.name) + ".lock");
        if (c.linkTo.empty()) {
            ASSERT_TRUE(CreateDirectories(path));
        } else {
            ASSERT_EQ(symlink(c.linkTo.c_str(), path.c_str()), 0);
        }
        EXPECT_EQ(AcquireNamedLock(c.name).Result(), NamedLockResult::Unavailable) << c.name;
    }
    EXPECT_FALSE(FileExists(m_dir / "missing"));
    EXPECT_EQ(ReadFile(m_dir / "target"), "precious");
}

// Another user's file at the lock's path, as in a runtime folder that users
// share, is not this user's lock: the guard is off rather than held by them.
TEST_F(NamedLockTest, ALockFileOfAnotherOwnerIsNotUsed) {
    if (geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
    ASSERT_TRUE(CreateDirectories(m_dir / "run"));
    WriteFile(m_dir / "run/Launch.lock", "");
    ASSERT_EQ(chown((m_dir / "run/Launch.lock").c_str(), 65534, 65534), 0);

    EXPECT_EQ(AcquireNamedLock("Launch").Result(), NamedLockResult::Unavailable);
}

TEST_F(NamedLockTest, IsUnavailableWhenNoLockFileCanBeMade) {
    EXPECT_EQ(AcquireNamedLock("").Result(), NamedLockResult::Unavailable);
    EXPECT_EQ(AcquireNamedLock("a/b").Result(), NamedLockResult::Unavailable);
    WriteFile(m_dir / "file", "x");
    ScopedEnv underAFile("XDG_RUNTIME_DIR", m_dir / "file/run");
    EXPECT_EQ(AcquireNamedLock("Launch").Result(), NamedLockResult::Unavailable);
}

}  // namespace
}  // namespace platform
