// A large package through nginx at a limited rate: the window hears of it at
// most every 50 ms, and the percentage climbs to 100.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>

#include "support/Clock.h"
#include "tests/support/NginxServer.h"
#include "tests/update/DownloadTestSupport.h"

namespace {

// The system's clocks, remembering the last tick handed out.
class TickRecordingClock final : public IClock {
public:
    int64_t WallSeconds() const override { return SystemClock().WallSeconds(); }
    uint32_t TickMs() const override { return lastTick = SystemClock().TickMs(); }
    void SleepMs(unsigned milliseconds) const override { SystemClock().SleepMs(milliseconds); }

    mutable std::atomic<uint32_t> lastTick{0};  // written by the worker, read by the redraws
};

constexpr int64_t kMiB = 1048576;
constexpr int64_t kPackageSize = 300 * kMiB;
// Fast enough for a test of a few seconds, slow enough for many reports.
constexpr int64_t kRateLimit = 120 * kMiB;
constexpr int64_t kMarkers[] = {0, 150 * kMiB + 3, kPackageSize - 1};

// A sparse package with a few marked bytes, so that order and size are checked
// without writing it all.
void WriteSparsePackage(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, kPackageSize), 0);
    for (int64_t at : kMarkers) ASSERT_EQ(pwrite(fd, "Q", 1, at), 1);
    close(fd);
}

char ByteAt(const std::string& path, int64_t at) {
    char byte = 0;
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0 || pread(fd, &byte, 1, at) != 1) byte = 0;
    if (fd >= 0) close(fd);
    return byte;
}

using LargeDownloadTest = DownloadFixture;

TEST_F(LargeDownloadTest, ReportsAreThrottledAndReachFull) {
    const std::string root = work / "www";
    mkdir(root.c_str(), 0755);
    WriteSparsePackage(root + "/vorn_ad2.exe");
    NginxServer server(root, NginxOptions{kRateLimit});
    UseServers(server.Url(""), server.Url("/backup"));
    host.debugLaunch = 1;
    // Each redraw is stamped with the tick of the report that caused it.
    TickRecordingClock clock;
    host.redrawClock = [&clock] { return clock.lastTick.load(); };
    services.clock = &clock;

    RunPackageJob();

    ASSERT_EQ(host.Finishes(), std::vector<bool>{false});
    struct stat info {};
    ASSERT_EQ(stat(targetPath.c_str(), &info), 0);
    EXPECT_EQ(info.st_size, kPackageSize);
    for (int64_t at : kMarkers) EXPECT_EQ(ByteAt(targetPath, at), 'Q') << at;

    // The redraws of the transfer, without the hand-over's own.
    const std::vector<StatusSnapshot> redraws = host.Redraws();
    const std::vector<uint32_t> ticks = host.RedrawTicks();
    size_t transfer = 0;
    while (transfer < redraws.size() && redraws[transfer].status != "正在安装游戏") ++transfer;
    ASSERT_GT(transfer, 10u);
    for (size_t i = 1; i < transfer; ++i) {
        EXPECT_GE(redraws[i].percent, redraws[i - 1].percent) << i;
        // One redraw per accepted report; only the last block may come sooner.
        if (i + 1 < transfer) {
            EXPECT_GT(uint32_t(ticks[i] - ticks[i - 1]), 50u) << i;
        }
    }
    EXPECT_EQ(redraws[transfer - 1].percent, 100);
    EXPECT_EQ(redraws[transfer - 1].size, "300.00 MB");
    EXPECT_NE(redraws[transfer / 2].status.find("MB/s"), std::string::npos)
        << redraws[transfer / 2].status;
}

}  // namespace
