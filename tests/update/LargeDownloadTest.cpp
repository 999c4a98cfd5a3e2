// A package of many blocks through nginx: the window hears of it every 50 ms
// of the line's time, with the line's speed and the time left, and the
// percentage climbs to 100.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <regex>
#include <string>
#include <utility>

#include "support/Clock.h"
#include "tests/support/NginxServer.h"
#include "tests/update/DownloadTestSupport.h"

namespace {

constexpr int64_t kMiB = 1048576;
// The line the clock below pretends: 50 ms of it are more than one 1 MiB
// block of the client and more than 1 % of the package, so each report the
// throttle lets through moves the percentage and shows as a redraw.
constexpr int64_t kLineBytesPerSecond = 24 * kMiB;
constexpr int64_t kPackageSize = 96 * kMiB;
constexpr int64_t kLineMs = kPackageSize * 1000 / kLineBytesPerSecond;
// Line time of one body read of the client, rounded up, plus the rounding of
// the clock itself.
constexpr uint32_t kBlockMs =
    uint32_t((kMiB * 1000 + kLineBytesPerSecond - 1) / kLineBytesPerSecond) + 1;
constexpr int64_t kMarkers[] = {0, 48 * kMiB + 3, kPackageSize - 1};

// A clock that runs at the download's pace: its tick is the size of the file
// being downloaded over the line's speed. The client writes each block before
// it reports it, so the reports see exactly the line's time, however fast this
// machine moves the bytes.
class LinePacedClock final : public IClock {
public:
    explicit LinePacedClock(std::string file) : m_file(std::move(file)) {}

    int64_t WallSeconds() const override { return SystemClock().WallSeconds(); }
    uint32_t TickMs() const override {
        // Once the file has been moved into place the line stands still.
        struct stat info {};
        if (stat(m_file.c_str(), &info) == 0) {
            lastTick = uint32_t(int64_t(info.st_size) * 1000 / kLineBytesPerSecond);
        }
        return lastTick;
    }
    void SleepMs(unsigned milliseconds) const override { SystemClock().SleepMs(milliseconds); }

    // Written by the worker, read by the redraw record on the same thread and
    // by the test after the worker has ended.
    mutable std::atomic<uint32_t> lastTick{0};

private:
    const std::string m_file;
};

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

// The seconds of "剩余mm:ss" in a status text; -1 when there are none.
int SecondsLeft(const std::string& status) {
    static const std::regex kTimeLeft("剩余([0-9]{2}):([0-9]{2})$");
    std::smatch match;
    if (!std::regex_search(status, match, kTimeLeft)) return -1;
    return std::stoi(match[1]) * 60 + std::stoi(match[2]);
}

using LargeDownloadTest = DownloadFixture;

TEST_F(LargeDownloadTest, ReportsAreThrottledAndReachFull) {
    const std::string root = work / "www";
    mkdir(root.c_str(), 0755);
    WriteSparsePackage(root + "/vorn_ad2.exe");
    NginxServer server(root);
    UseServers(server.Url(""), server.Url("/backup"));
    host.debugLaunch = 1;
    // Each redraw is stamped with the tick of the report that caused it.
    LinePacedClock clock(tempPath);
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
    // Four seconds of line at one redraw per 50 to 50 + kBlockMs ms.
    ASSERT_GE(transfer, size_t(kLineMs / (50 + kBlockMs)));
    ASSERT_LE(transfer, size_t(kLineMs / 50) + 1);
    for (size_t i = 1; i < transfer; ++i) {
        SCOPED_TRACE(i);
        EXPECT_GT(redraws[i].percent, redraws[i - 1].percent);
        // The first report after 50 ms is taken: it comes at most one block
        // of line later. Only the last block may come sooner.
        if (i + 1 < transfer) {
            EXPECT_GT(uint32_t(ticks[i] - ticks[i - 1]), 50u);
            EXPECT_LE(uint32_t(ticks[i] - ticks[i - 1]), 50u + kBlockMs);
        }
    }
    EXPECT_EQ(redraws[transfer - 1].percent, 100);
    EXPECT_EQ(redraws[transfer - 1].size, "96.00 MB");
    // Once the speed is known it is the line's, and the time left is the
    // line's time still to go, give or take the rounding to whole seconds.
    for (size_t i = transfer / 4; i < transfer; ++i) {
        SCOPED_TRACE(redraws[i].status);
        EXPECT_TRUE(redraws[i].status.starts_with("下载中 24MB/s 剩余"));
        const double lineSecondsLeft = double(kLineMs - int64_t(ticks[i])) / 1000;
        EXPECT_LE(std::abs(SecondsLeft(redraws[i].status) - lineSecondsLeft), 1.0);
    }
}

}  // namespace
