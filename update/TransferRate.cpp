#include "update/TransferRate.h"

#include <cmath>
#include <cstdio>

#include "update/ByteUnits.h"

namespace {
// Long enough to smooth out bursts, short enough to follow a changing line.
constexpr uint32_t kWindowMs = 3000;
// Below this span a rate is mostly noise.
constexpr uint32_t kMinimumSpanMs = 200;

// At most 7 characters: "999KB/s", "9.9MB/s", "999MB/s", "9.9GB/s".
std::string SpeedText(double bytesPerSecond) {
    char text[32];
    const double kilobytes = bytesPerSecond / static_cast<double>(kKilobyte);
    const double megabytes = bytesPerSecond / static_cast<double>(kMegabyte);
    const double gigabytes = bytesPerSecond / static_cast<double>(kGigabyte);
    if (kilobytes < 999.5) {
        snprintf(text, sizeof text, "%.0fKB/s", kilobytes);
    } else if (megabytes < 9.95) {
        snprintf(text, sizeof text, "%.1fMB/s", megabytes);
    } else if (megabytes < 999.5) {
        snprintf(text, sizeof text, "%.0fMB/s", megabytes);
    } else if (gigabytes < 9.95) {
        snprintf(text, sizeof text, "%.1fGB/s", gigabytes);
    } else {
        snprintf(text, sizeof text, "%.0fGB/s", std::fmin(gigabytes, 999.0));
    }
    return text;
}

// At most 6 characters: "mm:ss" below 100 minutes, "99h59m" below 100 hours.
std::string TimeLeftText(double seconds) {
    // Anything beyond 99h59m59s is no useful estimate.
    if (!(seconds <= 100 * 3600 - 1)) return "--:--";
    char text[32];
    const auto whole = static_cast<int>(std::ceil(seconds));
    if (whole < 100 * 60) {
        snprintf(text, sizeof text, "%02d:%02d", whole / 60, whole % 60);
    } else {
        snprintf(text, sizeof text, "%dh%02dm", whole / 3600, whole % 3600 / 60);
    }
    return text;
}
}  // namespace

void TransferRate::AddSample(uint32_t tickMs, int64_t received) {
    m_samples.push_back(Sample{tickMs, received});
    // Unsigned differences keep the window right across a wrap of the tick.
    while (m_samples.size() > 2 &&
           static_cast<uint32_t>(tickMs - m_samples[1].tickMs) >= kWindowMs) {
        m_samples.pop_front();
    }
}

void TransferRate::Reset() {
    m_samples.clear();
}

std::optional<double> TransferRate::BytesPerSecond() const {
    if (m_samples.size() < 2) return std::nullopt;
    const Sample& oldest = m_samples.front();
    const Sample& newest = m_samples.back();
    const uint32_t spanMs = newest.tickMs - oldest.tickMs;
    if (spanMs < kMinimumSpanMs) return std::nullopt;
    return static_cast<double>(newest.received - oldest.received) * 1000.0 / spanMs;
}

std::string DownloadSpeedText(std::optional<double> bytesPerSecond, int64_t bytesLeft) {
    std::string text = "下载中";
    if (!bytesPerSecond) return text;
    text.append(" ").append(SpeedText(*bytesPerSecond));
    if (bytesLeft < 0) return text;
    text.append(" 剩余");
    if (*bytesPerSecond > 0) {
        text.append(TimeLeftText(static_cast<double>(bytesLeft) / *bytesPerSecond));
    } else {
        text.append("--:--");
    }
    return text;
}
