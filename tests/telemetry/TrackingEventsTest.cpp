#include <gtest/gtest.h>

#include "telemetry/TrackingEvents.h"
#include "tests/support/FakeClock.h"
#include "tests/telemetry/StatsTestSupport.h"

namespace {

using telemetry::kTrackingEventPath;
using telemetry::SendTrackingEvents;
using Requests = std::vector<std::string>;

std::string EventBody(int logType, const std::string& pid) {
    return "logType=" + std::to_string(logType) + "&mac=" + kFakeMacText + "&pid=" + pid;
}

void StoreChannel(const std::string& channel) {
    const auto store = platform::OpenUserSettings(TestKeyPath());
    ASSERT_TRUE(store->CreateKey());
    ASSERT_TRUE(store->WriteString(telemetry::kChannelValue, channel));
}

TEST(TrackingEventsTest, SendsElapsedSecondsThenTheChannel) {
    StatsStandin stats;
    StoreChannel("12345");
    FakeClock clock;
    clock.tickMs = 1000 + 95900;
    platform::Services context = TestReportServices(stats.BaseUrl());
    context.clock = &clock;
    SendTrackingEvents(1000, context);
    EXPECT_EQ(stats.Requests(),
              (Requests{RecordedRequest(kTrackingEventPath, EventBody(201, "95")),
                        RecordedRequest(kTrackingEventPath, EventBody(202, "12345"))}));
}

TEST(TrackingEventsTest, ElapsedSecondsAreTheUnsignedTickDifferenceInWholeSeconds) {
    StatsStandin stats;
    struct Case {
        uint32_t start;
        uint32_t now;
        std::string seconds;
    };
    const Case cases[] = {
        {1000, 1000, "0"},
        {1000, 1999, "0"},
        {1000, 96900, "95"},
        {0xFFFFFFFFu - 499, 94500, "95"},  // across the tick counter's wrap
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        stats.ForgetRequests();
        FakeClock clock;
        clock.tickMs = c.now;
        platform::Services context = TestReportServices(stats.BaseUrl());
        context.clock = &clock;
        SendTrackingEvents(c.start, context);
        ASSERT_EQ(stats.Requests().size(), 2u);
        EXPECT_EQ(stats.Requests()[0],
                  RecordedRequest(kTrackingEventPath, EventBody(201, c.seconds)));
    }
}

TEST(TrackingEventsTest, ChannelFallsBackToTheDefaultWhenItCannotBeRead) {
    StatsStandin stats;
    // Rows run in order on one store: the key is missing at first, and a
    // value once stored stays until the next row writes its own.
    struct Case {
        const char* name;
        bool keyExists;
        std::optional<std::string> stored;  // nothing: no value in the key
        std::string pid;
    };
    std::string fifty;  // 50 characters of 3 bytes each: 50 UTF-16 units
    std::string fiftyEncoded;
    for (int i = 0; i < 50; ++i) {
        fifty += "渔";
        fiftyEncoded += "%E6%B8%94";
    }
    std::string fiftyBeyondTheBmp;  // 100 UTF-16 units
    for (int i = 0; i < 50; ++i) fiftyBeyondTheBmp += "🎣";
    const Case cases[] = {
        {"no key", false, std::nullopt, "10000"},
        {"a key without the value", true, std::nullopt, "10000"},
        {"99 characters", true, std::string(99, '7'), std::string(99, '7')},
        {"100 characters", true, std::string(100, '7'), "10000"},
        {"50 characters of 3 bytes", true, fifty, fiftyEncoded},
        {"50 characters beyond the BMP", true, fiftyBeyondTheBmp, "10000"},
        {"text with form delimiters", true, "a&pid=1 +%", "a%26pid%3D1%20%2B%25"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        stats.ForgetRequests();
        if (c.keyExists) {
            ASSERT_TRUE(platform::OpenUserSettings(TestKeyPath())->CreateKey());
        }
        if (c.stored) StoreChannel(*c.stored);
        SendTrackingEvents(1, TestReportServices(stats.BaseUrl()));
        ASSERT_EQ(stats.Requests().size(), 2u);
        EXPECT_EQ(stats.Requests()[1], RecordedRequest(kTrackingEventPath, EventBody(202, c.pid)));
    }
}

}  // namespace
