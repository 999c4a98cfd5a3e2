#include <gtest/gtest.h>

#include "update/TransferRate.h"

namespace {

size_t CharacterCount(const std::string& utf8) {
    size_t count = 0;
    for (unsigned char byte : utf8) count += (byte & 0xC0) != 0x80;
    return count;
}

TEST(TransferRateTest, RateOverTheSampledSpan) {
    TransferRate rate;
    rate.AddSample(1000, 0);
    EXPECT_FALSE(rate.BytesPerSecond());
    rate.AddSample(1100, 100000);
    EXPECT_FALSE(rate.BytesPerSecond()) << "100 ms is too short to tell";
    rate.AddSample(1500, 500000);
    ASSERT_TRUE(rate.BytesPerSecond());
    EXPECT_DOUBLE_EQ(*rate.BytesPerSecond(), 1000000.0);
    rate.Reset();
    EXPECT_FALSE(rate.BytesPerSecond());
}

TEST(TransferRateTest, OldSamplesLeaveTheWindow) {
    TransferRate rate;
    rate.AddSample(0, 0);
    rate.AddSample(1000, 1000000);  // a fast first second
    for (uint32_t tick = 2000; tick <= 10000; tick += 1000) {
        rate.AddSample(tick, 1000000 + (tick - 1000) * 10);  // then 10 KB/s
    }
    ASSERT_TRUE(rate.BytesPerSecond());
    EXPECT_NEAR(*rate.BytesPerSecond(), 10000.0, 1.0);
}

TEST(TransferRateTest, WrapOfTheTick) {
    TransferRate rate;
    rate.AddSample(0xFFFFFF00u, 0);
    rate.AddSample(0x00000100u, 512000);  // 512 ms later
    ASSERT_TRUE(rate.BytesPerSecond());
    EXPECT_DOUBLE_EQ(*rate.BytesPerSecond(), 1000000.0);
}

TEST(DownloadSpeedTextTest, ShortChineseLine) {
    const struct {
        std::optional<double> bytesPerSecond;
        int64_t bytesLeft;
        const char* text;
    } cases[] = {
        {std::nullopt, 1000, "下载中"},
        {2.3 * 1048576, static_cast<int64_t>(65 * 2.3 * 1048576), "下载中 2.3MB/s 剩余01:05"},
        {512 * 1024, -1, "下载中 512KB/s"},
        {1023 * 1024, 0, "下载中 1.0MB/s 剩余00:00"},
        {150.0 * 1048576, 1, "下载中 150MB/s 剩余00:01"},
        {3.5 * 1073741824.0, 1, "下载中 3.5GB/s 剩余00:01"},
        {1000, 5999000, "下载中 1KB/s 剩余99:59"},
        {1000, 6000000, "下载中 1KB/s 剩余1h40m"},
        {1, 1000000000000, "下载中 0KB/s 剩余--:--"},
        {0, 1000, "下载中 0KB/s 剩余--:--"},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(DownloadSpeedText(row.bytesPerSecond, row.bytesLeft), row.text);
    }
}

TEST(DownloadSpeedTextTest, NeverLongerThanTwentyCharacters) {
    const double speeds[] = {0,
                             1,
                             1023 * 1023.0,
                             999.4 * 1024,
                             9.94 * 1048576,
                             999.4 * 1048576,
                             9.94 * 1073741824.0,
                             5e12,
                             1e15};
    const int64_t lefts[] = {-1, 0, 1, 5999 * 1000LL, 359999LL * 1000000, INT64_MAX};
    for (double speed : speeds) {
        for (int64_t left : lefts) {
            const std::string text = DownloadSpeedText(speed, left);
            EXPECT_LE(CharacterCount(text), 20u) << text;
        }
    }
}

}  // namespace
