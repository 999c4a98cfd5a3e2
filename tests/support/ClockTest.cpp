#include <gtest/gtest.h>
#include <sys/time.h>

#include <atomic>
#include <csignal>
#include <ctime>

#include "support/Clock.h"

namespace {

uint32_t MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000 +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000);
}

TEST(ClockTest, TicksAreMillisecondsOfTheMonotonicClock) {
    const uint32_t before = MonotonicMs();
    const uint32_t tick = SystemClock().TickMs();
    const uint32_t after = MonotonicMs();
    EXPECT_LE(static_cast<uint32_t>(tick - before), static_cast<uint32_t>(after - before));
}

TEST(ClockTest, WallSecondsAreTheSystemTime) {
    const int64_t before = static_cast<int64_t>(time(nullptr));
    const int64_t wall = SystemClock().WallSeconds();
    EXPECT_GE(wall, before);
    EXPECT_LE(wall, static_cast<int64_t>(time(nullptr)));
}

std::atomic<int> g_alarms{0};
void CountAlarm(int) {
    g_alarms.fetch_add(1);
}

TEST(ClockTest, SleepLastsItsTimeEvenWhenSignalsArrive) {
    struct sigaction action {};
    struct sigaction saved {};
    action.sa_handler = CountAlarm;  // no SA_RESTART: each signal interrupts nanosleep
    sigaction(SIGALRM, &action, &saved);
    // A signal every 5 ms for as long as the sleep lasts, so some arrive
    // during it whenever it starts.
    itimerval interrupts{};
    interrupts.it_value.tv_usec = 5000;
    interrupts.it_interval.tv_usec = 5000;
    g_alarms = 0;
    setitimer(ITIMER_REAL, &interrupts, nullptr);

    const uint32_t start = MonotonicMs();
    SystemClock().SleepMs(60);
    const uint32_t slept = MonotonicMs() - start;
    const int alarmsDuringSleep = g_alarms.load();

    const itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &saved, nullptr);
    EXPECT_GE(alarmsDuringSleep, 2);
    EXPECT_GE(slept, 60u);
}

}  // namespace
