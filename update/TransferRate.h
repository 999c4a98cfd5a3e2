// The speed of the current response over the last seconds and the status text
// that shows it with the time left, e.g. "下载中 2.3MB/s 剩余01:05".
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

class TransferRate {
public:
    // A progress report: body bytes of the current response so far, at a
    // millisecond tick of the same clock as the throttle.
    void AddSample(uint32_t tickMs, int64_t received);
    // A new response starts counting from 0.
    void Reset();
    // Bytes per second, once the samples span long enough to mean something.
    std::optional<double> BytesPerSecond() const;

private:
    struct Sample {
        uint32_t tickMs;
        int64_t received;
    };
    std::deque<Sample> m_samples;  // oldest first, at most kWindowMs apart
};

// At most 20 characters. Without a speed just "下载中"; without a known
// remaining size (bytesLeft negative) the time left is left out.
std::string DownloadSpeedText(std::optional<double> bytesPerSecond, int64_t bytesLeft);
