// The stage that keeps a download from filling the install volume.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "tests/update/FakeVolumes.h"
#include "update/RoomGuardSink.h"

namespace {

constexpr int64_t kMiB = 1024 * 1024;

// The end of the chain: keeps a count, and fails its writes with failWith
// once it holds limit bytes.
class CountingSink final : public IBodySink {
public:
    bool Restart(int64_t offset) override {
        held = offset;
        return true;
    }
    bool Write(const char*, size_t size) override {
        if (held + static_cast<int64_t>(size) > limit) {
            errno = failWith;
            return false;
        }
        held += static_cast<int64_t>(size);
        return true;
    }
    bool Finish() override { return true; }
    bool Appended(size_t size) override { return Write(nullptr, size); }

    int64_t held = 0;
    int64_t limit = INT64_MAX;
    int failWith = ENOSPC;
};

// Writes blocks of a MiB until one is refused; the bytes that got through.
int64_t WriteUntilRefused(RoomGuardSink& guard, int64_t most) {
    const std::string block(kMiB, 'x');
    int64_t written = 0;
    while (written < most && guard.Write(block.data(), block.size())) written += kMiB;
    return written;
}

TEST(RoomGuardSinkTest, TheFileNeverGrowsPastTheCap) {
    CountingSink file;
    FakeVolumes roomy("/v", 100 * kFreeSpaceReserve);
    RoomGuardSink guard(file, kMiB, 4 * kMiB, roomy, "/v/games");

    EXPECT_EQ(guard.Capacity(), 3 * kMiB) << "one MiB is kept already";
    EXPECT_EQ(WriteUntilRefused(guard, 100 * kMiB), 3 * kMiB);
    EXPECT_EQ(errno, EFBIG);
    EXPECT_TRUE(guard.RanOutOfRoom());
    EXPECT_EQ(guard.Capacity(), 0);

    // A restart from the beginning makes room again.
    CountingSink other;
    RoomGuardSink fresh(other, 3 * kMiB, 4 * kMiB, roomy, "/v/games");
    ASSERT_TRUE(fresh.Restart(0));
    EXPECT_EQ(fresh.Capacity(), 4 * kMiB);
    EXPECT_FALSE(fresh.RanOutOfRoom());
}

TEST(RoomGuardSinkTest, TheVolumeKeepsItsReserve) {
    const struct {
        const char* name;
        std::optional<uint64_t> freeBytes;
        bool refused;
    } cases[] = {
        {"below the reserve", kFreeSpaceReserve - 1, true},
        {"at the reserve", kFreeSpaceReserve, false},
        {"free space unknown", std::nullopt, false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        CountingSink file;
        FakeVolumes volume("/v", row.freeBytes);
        RoomGuardSink guard(file, 0, -1, volume, "/v/games");
        EXPECT_EQ(guard.Capacity(), -1) << "no cap";
        EXPECT_EQ(guard.Write("x", 1), !row.refused);
        EXPECT_EQ(guard.RanOutOfRoom(), row.refused);
        EXPECT_EQ(file.held, row.refused ? 0 : 1);
    }
}

TEST(RoomGuardSinkTest, AFullVolumeCountsAsOutOfRoomAndOtherFailuresDoNot) {
    FakeVolumes roomy("/v", 100 * kFreeSpaceReserve);
    for (const int error : {ENOSPC, EFBIG, EIO}) {
        SCOPED_TRACE(error);
        CountingSink file;
        file.limit = 2 * kMiB;
        file.failWith = error;
        RoomGuardSink guard(file, 0, -1, roomy, "/v/games");
        EXPECT_EQ(WriteUntilRefused(guard, 100 * kMiB), 2 * kMiB);
        EXPECT_EQ(guard.RanOutOfRoom(), error != EIO);
    }
}

// Bytes moved into the file behind the chain's back count the same, and a
// move the volume refused as full marks the file as out of room.
TEST(RoomGuardSinkTest, MovedBytesFollowTheSameRules) {
    FakeVolumes roomy("/v", 100 * kFreeSpaceReserve);
    CountingSink file;
    RoomGuardSink guard(file, 0, 2 * kMiB, roomy, "/v/games");
    EXPECT_TRUE(guard.Appended(kMiB));
    EXPECT_FALSE(guard.Appended(kMiB + 1));
    EXPECT_TRUE(guard.RanOutOfRoom());
    EXPECT_EQ(file.held, kMiB);

    for (const int error : {ENOSPC, EIO}) {
        CountingSink other;
        RoomGuardSink fresh(other, 0, -1, roomy, "/v/games");
        fresh.AppendFailed(error);
        EXPECT_EQ(fresh.RanOutOfRoom(), error == ENOSPC) << error;
    }
}

TEST(RoomGuardSinkTest, KeepingNoMoreLeavesTheBodyUnread) {
    CountingSink file;
    FakeVolumes roomy("/v", 100 * kFreeSpaceReserve);
    RoomGuardSink guard(file, 0, -1, roomy, "/v/games");
    guard.KeepNoMore();
    EXPECT_EQ(guard.Capacity(), 0);
    EXPECT_FALSE(guard.Write("x", 1));
    EXPECT_EQ(file.held, 0);
}

}  // namespace
