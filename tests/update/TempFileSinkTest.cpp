// The temporary file at the end of the body chain.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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
