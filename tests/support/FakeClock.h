// A clock that moves only when the test moves it. Sleeping advances it at
// once instead of waiting, so code that pauses runs at full speed.
#pragma once

#include <atomic>
#include <cstdint>

#include "support/Clock.h"

class FakeClock final : public IClock {
public:
    int64_t WallSeconds() const override { return wallSeconds.load(); }
    uint32_t TickMs() const override { return tickMs.load(); }
    void SleepMs(unsigned milliseconds) const override {
        sleptMs.fetch_add(milliseconds);
        tickMs.fetch_add(milliseconds);
    }

    // Any thread may read or move them.
    mutable std::atomic<int64_t> wallSeconds{0};
    mutable std::atomic<uint32_t> tickMs{0};
    mutable std::atomic<uint64_t> sleptMs{0};  // the sum of every sleep asked for
};
