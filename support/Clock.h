// The clocks the launcher reads and its way to pause, as one object so that
// tests can hand the parts a clock of their own.
#pragma once

#include <cstdint>

class IClock {
public:
    virtual ~IClock() = default;
    // Seconds since 1970.
    virtual int64_t WallSeconds() const = 0;
    // Milliseconds of a monotonic clock, wrapping at 2^32 like a tick counter.
    virtual uint32_t TickMs() const = 0;
    virtual void SleepMs(unsigned milliseconds) const = 0;
};

// The system's clocks; lives as long as the process.
const IClock& SystemClock();
