#include "tests/telemetry/StatsTestSupport.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/support/OutputLines.h"

namespace {

// Settings and proxies are set once, before any test starts a thread: the
// settings store reads $XDG_CONFIG_HOME and libcurl the proxy variables.
class TelemetryTestEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        m_home = std::make_unique<TempDir>();
        setenv("XDG_CONFIG_HOME", m_home->Path().c_str(), 1);
        setenv("no_proxy", "127.0.0.1", 1);
    }
    void TearDown() override { m_home.reset(); }

private:
    std::unique_ptr<TempDir> m_home;
};

[[maybe_unused]] const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new TelemetryTestEnvironment);

}  // namespace

std::string RecordedRequest(const std::string& path, const std::string& body) {
    return R"({"body":")" + body + R"(","method":"POST","path":")" + path + R"("})";
}

StatsStandin::StatsStandin(int status)
    : m_server("stats_standin.py",
               {"--record", m_dir / "requests.jsonl", "--status", std::to_string(status)}) {}

std::vector<std::string> StatsStandin::Requests() const {
    return SplitLines(ReadFile(m_dir / "requests.jsonl"));
}

void StatsStandin::ForgetRequests() const {
    WriteFile(m_dir / "requests.jsonl", "");
}

std::string TestKeyPath() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string("SOFTWARE\\Velmora\\") + test->test_suite_name() + "." + test->name();
}

platform::Services TestReportServices(const std::string& statsUrl) {
    platform::Services services = TestServices();
    services.endpoints.statsUrl = statsUrl;
    services.openSettings = [key = TestKeyPath()] { return platform::OpenUserSettings(key); };
    services.macText = [] { return std::string(kFakeMacText); };
    return services;
}
