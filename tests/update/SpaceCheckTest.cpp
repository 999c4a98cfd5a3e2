#include <gtest/gtest.h>

#include "tests/update/FakeVolumes.h"
#include "update/SpaceCheck.h"

namespace {

// The volume must hold the body and keep its reserve of 16 MiB free.
TEST(SpaceCheckTest, ShortageNamesVolumeAndMissingAmount) {
    constexpr int64_t kGiB = 1073741824;
    constexpr int64_t kReserve = 16 * 1048576;
    static_assert(kFreeSpaceReserve == kReserve);
    const struct {
        std::optional<uint64_t> freeBytes;
        int64_t needed;
        std::optional<std::string> message;
    } cases[] = {
        {kReserve + 1000, 1000, std::nullopt},
        {0, -1, std::nullopt},
        {0, 0, std::nullopt},
        {std::nullopt, 5 * kGiB, std::nullopt},
        {kReserve + 1000, 1001, "安装目录所在磁盘空间不足: /mnt/data 还需要 0.01 KB"},
        {1000, 1000, "安装目录所在磁盘空间不足: /mnt/data 还需要 16.00 MB"},
        {kReserve, 1048577, "安装目录所在磁盘空间不足: /mnt/data 还需要 1.01 MB"},
        {kGiB + kReserve, kGiB + kGiB * 123 / 100,
         "安装目录所在磁盘空间不足: /mnt/data 还需要 1.23 GB"},
    };
    for (const auto& row : cases) {
        FakeVolumes volumes("/mnt/data", row.freeBytes);
        EXPECT_EQ(SpaceShortageMessage(volumes, "/mnt/data/games", row.needed), row.message)
            << row.needed;
    }
}

TEST(SpaceCheckTest, UnknownVolumeIsNamedByTheInstallDirectory) {
    FakeVolumes volumes("", kFreeSpaceReserve);
    EXPECT_EQ(SpaceShortageMessage(volumes, "/srv/q", 2048),
              "安装目录所在磁盘空间不足: /srv/q 还需要 2.00 KB");
}

}  // namespace
