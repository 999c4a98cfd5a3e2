#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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

TEST_F(NamedLockTest, IsUnavailableWhenNoLockFileCanBeMade) {
    EXPECT_EQ(AcquireNamedLock("").Result(), NamedLockResult::Unavailable);
    EXPECT_EQ(AcquireNamedLock("a/b").Result(), NamedLockResult::Unavailable);
    WriteFile(m_dir / "file", "x");
    ScopedEnv underAFile("XDG_RUNTIME_DIR", m_dir / "file/run");
    EXPECT_EQ(AcquireNamedLock("Launch").Result(), NamedLockResult::Unavailable);
}

}  // namespace
}  // namespace platform
