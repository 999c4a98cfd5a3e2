#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "telemetry/LaunchRecord.h"
#include "tests/support/LoopbackPort.h"
#include "tests/telemetry/StatsTestSupport.h"

namespace {

using namespace std::chrono_literals;
using telemetry::DeliverLaunchRecord;
using telemetry::kLaunchRecordPath;
using telemetry::kReportSignValue;
using telemetry::SendLaunchRecord;
using Requests = std::vector<std::string>;

std::optional<uint32_t> ReportSign() {
    return platform::OpenUserSettings(TestKeyPath())->ReadDword(kReportSignValue);
}

bool WaitForReportSign() {
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (ReportSign() == 1u) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

TEST(LaunchRecordTest, FirstStartSendsOneRecordAndLaterStartsNone) {
    StatsStandin stats;
    const platform::Services context = TestReportServices(stats.BaseUrl());
    ASSERT_FALSE(platform::OpenUserSettings(TestKeyPath())->KeyExists());

    EXPECT_TRUE(SendLaunchRecord(3, context));
    ASSERT_TRUE(WaitForReportSign());
    EXPECT_EQ(
        stats.Requests(),
        Requests{RecordedRequest(kLaunchRecordPath, std::string("mac=") + kFakeMacText + "&os=3")});

    EXPECT_FALSE(SendLaunchRecord(3, context));
    EXPECT_EQ(stats.Requests().size(), 1u);
}

TEST(LaunchRecordTest, BodyCarriesTheMacTextAndTheSignedClass) {
    StatsStandin stats;
    struct Case {
        std::string macText;
        int osClass;
        std::string body;
    };
    const Case cases[] = {
        {kFakeMacText, 5, std::string("mac=") + kFakeMacText + "&os=5"},
        {"", 3, "mac=&os=3"},
        {"", -1, "mac=&os=-1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        stats.ForgetRequests();
        platform::Services context = TestReportServices(stats.BaseUrl());
        context.macText = [&c] { return c.macText; };
        EXPECT_EQ(DeliverLaunchRecord(c.osClass, context), 0);
        EXPECT_EQ(stats.Requests(), Requests{RecordedRequest(kLaunchRecordPath, c.body)});
    }
}

TEST(LaunchRecordTest, AnyCompletedTransferCountsAsDelivered) {
    StatsStandin stats(500);
    EXPECT_EQ(DeliverLaunchRecord(2, TestReportServices(stats.BaseUrl())), 0);
    EXPECT_EQ(ReportSign(), 1u);
}

TEST(LaunchRecordTest, UnreachableServiceLeavesTheFlagForTheNextStart) {
    const RefusingPort refusing;
    const platform::Services context = TestReportServices(refusing.Url());
    const auto started = std::chrono::steady_clock::now();
    EXPECT_NE(DeliverLaunchRecord(3, context), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    EXPECT_NE(ReportSign(), 1u);
    EXPECT_TRUE(SendLaunchRecord(3, context));  // the next start tries again
}

TEST(LaunchRecordTest, UnusableSettingsOnlyLoseTheFlag) {
    StatsStandin stats;
    platform::Services context = TestReportServices(stats.BaseUrl());
    context.openSettings = [] { return std::unique_ptr<platform::ISettingsStore>(); };
    EXPECT_EQ(DeliverLaunchRecord(1, context), 0);
    EXPECT_EQ(stats.Requests().size(), 1u);
    EXPECT_TRUE(SendLaunchRecord(1, context));
}

}  // namespace
