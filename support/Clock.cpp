#include "support/Clock.h"

#include <chrono>
#include <thread>

namespace {

class SystemClockImpl final : public IClock {
public:
    int64_t WallSeconds() const override {
        return std::chrono::duration_cast<std::chrono::seconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    }

    uint32_t TickMs() const override {
        const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
        return static_cast<uint32_t>(milliseconds.count());
    }

    // Sleeps the whole time, also when a signal handler interrupts it.
    void SleepMs(unsigned milliseconds) const override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

}  // namespace

const IClock& SystemClock() {
    // Never destroyed: threads may still read it while the process ends.
    static const auto* clock = new SystemClockImpl;
    return *clock;
}
