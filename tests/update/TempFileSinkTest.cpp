// The temporary file at the end of the body chain.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "tests/support/FakeClock.h"
#include "tests/support/TempDir.h"
#include "update/TempFileSink.h"

namespace {

class TempFileSinkTest : public ::testing::Test {
protected:
    TempDir dir;
    const std::string path = dir / "0.bak";
};

TEST_F(TempFileSinkTest, TheBodyStartsWhereTheAnswerSays) {
    WriteFile(path, "0123456789");
    {
        TempFileSink sink(path);
        ASSERT_TRUE(sink.Opened());
        EXPECT_EQ(sink.Size(), 10);
        EXPECT_TRUE(sink.Restart(10));  // a part from the resumed offset
        EXPECT_TRUE(sink.Write("ab", 2));
        EXPECT_TRUE(sink.Finish());
    }
    EXPECT_EQ(ReadFile(path), "0123456789ab");
    {
        TempFileSink sink(path);
        EXPECT_TRUE(sink.Restart(4));  // what the file holds from there on goes
        EXPECT_TRUE(sink.Write("xy", 2));
    }
    EXPECT_EQ(ReadFile(path), "0123xy");
    {
        TempFileSink sink(path);
        EXPECT_TRUE(sink.Restart(0));  // the whole resource again
        EXPECT_TRUE(sink.Write("whole", 5));
    }
    EXPECT_EQ(ReadFile(path), "whole");
}

TEST_F(TempFileSinkTest, BytesTheFileNeverHeldCannotBeKept) {
    WriteFile(path, "abc");
    TempFileSink sink(path);
    EXPECT_FALSE(sink.Restart(4));
    EXPECT_EQ(ReadFile(path), "abc");
}

TEST_F(TempFileSinkTest, ALinkInItsPlaceIsNotFollowed) {
    const std::string target = dir / "precious";
    WriteFile(target, "keep");
    ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
    TempFileSink sink(path);
    EXPECT_FALSE(sink.Opened());
    EXPECT_FALSE(sink.Write("x", 1));
    EXPECT_EQ(ReadFile(target), "keep");
}

// A clock whose first pause lets something happen meanwhile.
class EventfulClock final : public IClock {
public:
    explicit EventfulClock(std::function<void()> meanwhile) : m_meanwhile(std::move(meanwhile)) {}
    int64_t WallSeconds() const override { return 0; }
    uint32_t TickMs() const override { return m_tick; }
    void SleepMs(unsigned milliseconds) const override {
        m_tick += milliseconds;
        if (m_meanwhile) std::exchange(m_meanwhile, nullptr)();
    }

private:
    // The test's thread only.
    mutable std::function<void()> m_meanwhile;
    mutable uint32_t m_tick = 0;
};

TEST_F(TempFileSinkTest, AnotherHoldersFileIsWaitedForWithinABound) {
    WriteFile(path, "theirs");
    const int other = open(path.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(flock(other, LOCK_EX), 0);
    FakeClock clock;

    TempFileSink sink(path, 2000, clock);

    EXPECT_EQ(sink.GetState(), TempFileSink::State::Busy);
    EXPECT_FALSE(sink.Write("mine", 4));
    EXPECT_GE(clock.sleptMs.load(), 2000u);
    EXPECT_LT(clock.sleptMs.load(), 2100u);
    EXPECT_EQ(ReadFile(path), "theirs");
    close(other);
}

// A holder that moves the file into place before it lets go leaves it to
// nobody: the waiting sink takes a new temporary file instead.
TEST_F(TempFileSinkTest, AFileItsHolderMovedAwayIsNeverWritten) {
    WriteFile(path, "checked bytes");
    const std::string moved = dir / "vorn_ad2.exe";
    int other = open(path.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(flock(other, LOCK_EX), 0);
    EventfulClock clock([&] {
        ASSERT_EQ(rename(path.c_str(), moved.c_str()), 0);
        close(other);
    });

    TempFileSink sink(path, 2000, clock);

    ASSERT_TRUE(sink.Opened());
    EXPECT_EQ(sink.Size(), 0);
    EXPECT_TRUE(sink.Write("other bytes", 11));
    EXPECT_EQ(ReadFile(moved), "checked bytes");
    EXPECT_EQ(ReadFile(path), "other bytes");
}

// A holder that starts the file it moved into place must not find it busy: a
// waiting sink holds it open for reading only.
TEST_F(TempFileSinkTest, AWaitingSinkDoesNotKeepTheFileFromStarting) {
    WriteFile(path, "#!/bin/sh\nexit 7\n");
    chmod(path.c_str(), 0755);
    const std::string moved = dir / "vorn_ad2.exe";
    int other = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(flock(other, LOCK_EX), 0);
    int status = -1;
    EventfulClock clock([&] {
        ASSERT_EQ(rename(path.c_str(), moved.c_str()), 0);
        status = system(("'" + moved + "'").c_str());
        close(other);
    });

    TempFileSink sink(path, 2000, clock);

    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 7) << "the moved file could not be started";
    EXPECT_TRUE(sink.Opened());
}

TEST_F(TempFileSinkTest, OnlyOneWriterHoldsTheFile) {
    const int other = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(other, 0);
    {
        TempFileSink sink(path);
        ASSERT_TRUE(sink.Opened());
        EXPECT_NE(flock(other, LOCK_EX | LOCK_NB), 0) << "a second writer got in";
    }
    EXPECT_EQ(flock(other, LOCK_EX | LOCK_NB), 0) << "the lock outlived the sink";
    close(other);
}

}  // namespace
