#include "support/Clock.h"

#include <cerrno>
#include <ctime>

namespace {

class SystemClockImpl final : public IClock {
public:
    int64_t WallSeconds() const override { return static_cast<int64_t>(time(nullptr)); }

    uint32_t TickMs() const override {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const uint64_t milliseconds = static_cast<uint64_t>(now.tv_sec) * 1000u +
                                      static_cast<uint64_t>(now.tv_nsec) / 1000000u;
        return static_cast<uint32_t>(milliseconds);
    }

    void SleepMs(unsigned milliseconds) const override {
        timespec remaining{static_cast<time_t>(milliseconds / 1000),
                           static_cast<long>(milliseconds % 1000) * 1000000L};
        // A signal handler may cut the sleep short; sleep on for what is left.
        while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
        }
    }
};

}  // namespace

const IClock& SystemClock() {
    // Never destroyed: threads may still read it while the process ends.
    static const auto* clock = new SystemClockImpl;
    return *clock;
}
