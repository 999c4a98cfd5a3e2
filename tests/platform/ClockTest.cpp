#include <gtest/gtest.h>
#include <sys/time.h>

#include <csignal>
#include <ctime>

#include "platform/Clock.h"

namespace platform {
namespace {

uint32_t MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000 +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000);
}

TEST(ClockTest, TicksAreMillisecondsOfTheMonotonicClock) {
    const uint32_t before = MonotonicMs();
    const uint32_t tick = TickCountMs();
    const uint32_t after = MonotonicMs();
    EXPECT_LE(static_cast<uint32_t>(tick - before), static_cast<uint32_t>(after - before));
}

void IgnoreAlarm(int) {}

TEST(ClockTest, SleepLastsItsTimeEvenWhenASignalArrives) {
    struct sigaction action {};
    struct sigaction saved {};
    action.sa_handler = IgnoreAlarm;  // no SA_RESTART: the signal interrupts nanosleep
    sigaction(SIGALRM, &action, &saved);
    itimerval interrupt{};
    interrupt.it_value.tv_usec = 5000;
    setitimer(ITIMER_REAL, &interrupt, nullptr);

    const uint32_t start = TickCountMs();
    SleepMs(60);
    const uint32_t slept = TickCountMs() - start;
    sigaction(SIGALRM, &saved, nullptr);
    EXPECT_GE(slept, 60u);
}

}  // namespace
}  // namespace platform
