// Progress reports of the worker: the 50 ms throttle, the size text, the
// percentage and the speed line, as the status channel receives them.
#include <gtest/gtest.h>

#include <climits>

#include "tests/support/FakeClock.h"
#include "tests/support/TestServices.h"
#include "tests/update/FakeUpdateHost.h"
#include "update/DownLoadThread.h"
#include "update/ProgressText.h"

namespace {

class ProgressReportTest : public ::testing::Test {
protected:
    ProgressReportTest() { services.clock = &clock; }

    // Reports received of contentLength at the given tick.
    void Report(uint32_t at, int64_t received, int64_t contentLength) {
        clock.tickMs = at;
        worker.OnRecvData(nullptr, 512, received, contentLength);
    }

    FakeClock clock;
    FakeUpdateHost host;
    platform::Services services = TestServices();
    DownLoadThread worker{host, services};
};

TEST(ProgressTextTest, SizeTextSwitchesToMegabytesAboveOneMegabyte) {
    const struct {
        int64_t bytes;
        const char* text;
    } cases[] = {
        {1048576, "1024.00 KB"}, {1048577, "1.00 MB"},         {512, "0.50 KB"},
        {0, "0.00 KB"},          {3000000000LL, "2861.02 MB"},
    };
    for (const auto& row : cases) EXPECT_EQ(SizeText(row.bytes), row.text) << row.bytes;
}

TEST(ProgressTextTest, PercentIsSixtyFourBitAndStopsAtFull) {
    const struct {
        int64_t received;
        int64_t contentLength;
        int percent;
    } cases[] = {
        {1500000000, 2000000000, 75},
        {199, 200, 99},
        {200, 200, 100},
        {260, 200, 100},
        {5, -1, 0},
        {0, 0, 0},
        {INT64_MAX / 200, INT64_MAX / 100, 50},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(ProgressPercent(row.received, row.contentLength), row.percent)
            << row.received << "/" << row.contentLength;
    }
}

TEST_F(ProgressReportTest, ReportsCloserThanFiftyMillisecondsAreDropped) {
    const struct {
        uint32_t tick;
        int64_t received;
        bool accepted;
    } steps[] = {
        {1000, 1, true},  {1050, 2, false}, {1051, 3, true},
        {1101, 4, false}, {1102, 5, true},  {1102, 100, true},  // the last block
    };
    int expectedPercent = 0;
    for (const auto& step : steps) {
        Report(step.tick, step.received, 100);
        if (step.accepted) expectedPercent = static_cast<int>(step.received);
        EXPECT_EQ(host.Status().Snapshot().percent, expectedPercent) << "tick " << step.tick;
    }
}

TEST_F(ProgressReportTest, TickWrapAroundKeepsReporting) {
    Report(0xFFFFFFE0u, 1, 100);
    Report(0x00000012u, 2, 100);  // 50 ms later, across the wrap
    EXPECT_EQ(host.Status().Snapshot().percent, 1);
    Report(0x00000013u, 3, 100);  // 51 ms later
    EXPECT_EQ(host.Status().Snapshot().percent, 3);
}

TEST_F(ProgressReportTest, LastBlockIsReportedEvenPastTheLength) {
    Report(5000, 10, 100);
    Report(5001, 105, 100);  // a last chunk that overshoots Content-Length
    EXPECT_EQ(host.Status().Snapshot().percent, 100);
}

TEST_F(ProgressReportTest, SizeAndPercentOfLargeTransfer) {
    Report(5000, 1500000000, 2000000000);
    const StatusSnapshot shown = host.Status().Snapshot();
    EXPECT_EQ(shown.percent, 75);
    EXPECT_EQ(shown.size, "1907.35 MB");
}

TEST_F(ProgressReportTest, UnknownLengthShowsWhatArrived) {
    Report(5000, 2048, -1);
    const StatusSnapshot shown = host.Status().Snapshot();
    EXPECT_EQ(shown.percent, 0);
    EXPECT_EQ(shown.size, "2.00 KB");
    EXPECT_EQ(shown.status, "下载中");
}

TEST_F(ProgressReportTest, SpeedLineFollowsTheTransferAndKeepsTheDetail) {
    host.Status().SetStatusText("", "细节", false);
    constexpr int64_t kMiB = 1048576;
    // 1 MiB every 100 ms of a 100 MiB response: 10 MiB/s, 97 MiB left.
    for (uint32_t step = 0; step < 3; ++step)
        Report(1000 + step * 100, (step + 1) * kMiB, 100 * kMiB);
    const StatusSnapshot shown = host.Status().Snapshot();
    EXPECT_EQ(shown.status, "下载中 10MB/s 剩余00:10");
    EXPECT_EQ(shown.detail, "细节");
    // The percentage stayed at 3, so the new line was drawn by its own redraw.
    ASSERT_FALSE(host.Redraws().empty());
    EXPECT_EQ(host.Redraws().back().status, "下载中 10MB/s 剩余00:10");
}

TEST_F(ProgressReportTest, NewResponseRestartsTheSpeed) {
    constexpr int64_t kMiB = 1048576;
    for (uint32_t step = 0; step < 3; ++step)
        Report(1000 + step * 100, (step + 1) * kMiB, 100 * kMiB);
    worker.OnFileSize(-1);
    Report(1300, 1024, 50 * kMiB);
    EXPECT_EQ(host.Status().Snapshot().status, "下载中");
}

TEST(StatusChannelTest, SameProgressRedrawsOnce) {
    FakeUpdateHost host;
    host.Status().SetProgress(37);
    host.Status().SetProgress(37);
    ASSERT_EQ(host.Redraws().size(), 1u);
    EXPECT_EQ(host.Redraws()[0].percent, 37);
}

TEST(StatusChannelTest, TextsRedrawOnlyWhenAsked) {
    FakeUpdateHost host;
    host.Status().SetSizeText("1.00 MB", false);
    host.Status().SetStatusText("正在安装游戏", "", false);
    EXPECT_TRUE(host.Redraws().empty());
    host.Status().SetSizeText("", true);
    ASSERT_EQ(host.Redraws().size(), 1u);
    EXPECT_EQ(host.Redraws()[0].status, "正在安装游戏");
    EXPECT_EQ(host.Redraws()[0].size, "");
}

}  // namespace
