#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "net/ResolveHostIP.h"
#include "tests/support/FakeClock.h"
#include "tests/support/PythonServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestServices.h"

namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using Kind = HostResolution::Kind;

// A resolver and HTTP-DNS service whose every use is recorded; the clock only
// counts the pauses.
class ResolveHostIPTest : public testing::Test {
protected:
    ResolveHostIPTest() {
        m_services.clock = &m_clock;
        m_services.lookUpIPv4 =
            [this](const std::string& host) -> std::optional<platform::IPv4Address> {
            m_lookups.push_back(host);
            const auto known = m_systemAnswers.find(host);
            if (known == m_systemAnswers.end()) return std::nullopt;
            return DottedAddressOnly(known->second);
        };
    }

    // Starts the stand-in service with these arguments, recording its requests.
    void StartService(std::vector<std::string> args) {
        args.insert(args.end(), {"--record", Recorded()});
        m_service = std::make_unique<PythonServer>("httpdns_standin.py", args);
        m_services.endpoints.httpDnsEndpoint = "127.0.0.1:" + std::to_string(m_service->Port());
    }

    HostResolution Resolve(const std::string& url) { return ResolveHostIP(url, m_services); }

    std::string Recorded() const { return m_dir / "requests"; }

    TempDir m_dir;
    std::unique_ptr<PythonServer> m_service;
    std::map<std::string, std::string> m_systemAnswers;
    std::vector<std::string> m_lookups;
    FakeClock m_clock;
    platform::Services m_services = TestServices();
};

TEST_F(ResolveHostIPTest, AWorkingResolverAsksNoService) {
    StartService({"--answer", "dl.quorvane.example=9.9.9.9,60"});
    m_systemAnswers["dl.quorvane.example"] = "10.1.2.3";
    const HostResolution resolution = Resolve("http://dl.quorvane.example/download");
    EXPECT_EQ(resolution.kind, Kind::Address);
    EXPECT_EQ(resolution.address, "10.1.2.3");
    EXPECT_THAT(m_lookups, ElementsAre("dl.quorvane.example"));
    EXPECT_EQ(ReadFile(Recorded()), "");
}

TEST_F(ResolveHostIPTest, AsksTheServiceWhenTheResolverFails) {
    StartService({"--answer", "dl.quorvane.example=1.2.3.4;5.6.7.8,60"});
    const HostResolution resolution = Resolve("http://dl.quorvane.example/download");
    EXPECT_EQ(resolution.kind, Kind::Address);
    EXPECT_EQ(resolution.address, "1.2.3.4");

    const std::string request = ReadFile(Recorded());
    EXPECT_THAT(request, testing::StartsWith("GET /d?dn=dl.quorvane.example.&ttl=1 HTTP/1.1\r\n"));
    EXPECT_THAT(request,
                HasSubstr("\r\nAccept: audio/x-aiff, audio/basic, audio/midi,\t\t\t\t\t\t\t"
                          "audio/mpeg, audio/wav, image/jpeg, image/gif, image/jpg, image/png,"
                          "\t\t\t\t\t\t\timage/mng, image/bmp, text/plain, text/html, "
                          "text/htm\r\n"));
}

TEST_F(ResolveHostIPTest, LooksUpTheHostWithoutItsPort) {
    StartService({"--answer", "dl.quorvane.example=1.2.3.4,60"});
    EXPECT_EQ(Resolve("http://dl.quorvane.example:8080/download").address, "1.2.3.4");
    EXPECT_THAT(m_lookups, ElementsAre("dl.quorvane.example"));
    EXPECT_THAT(ReadFile(Recorded()), HasSubstr("GET /d?dn=dl.quorvane.example.&ttl=1 "));
}

TEST_F(ResolveHostIPTest, AnAnswerWithoutAnAddressMeansByName) {
    for (const char* answer : {"1.2.3.4", "", "nonsense;1.2.3.4,60", "1.2.3.4.5,60"}) {
        StartService({"--answer", std::string("dl.quorvane.example=") + answer});
        const HostResolution resolution = Resolve("http://dl.quorvane.example/download");
        EXPECT_EQ(resolution.kind, Kind::ByName) << answer;
        EXPECT_EQ(resolution.address, "") << answer;
    }
}

// Request heads the service has recorded.
size_t CountRequests(const std::string& recorded) {
    size_t count = 0;
    for (size_t at = recorded.find("GET /d?"); at != std::string::npos;
         at = recorded.find("GET /d?", at + 1)) {
        ++count;
    }
    return count;
}

TEST_F(ResolveHostIPTest, ARefusedQueryFailsWithItsStatus) {
    StartService({"--answer", "dl.quorvane.example=1.2.3.4,60", "--status", "404"});
    const HostResolution resolution = Resolve("http://dl.quorvane.example/download");
    EXPECT_EQ(resolution.kind, Kind::Failed);
    EXPECT_EQ(resolution.reason, "HTTP-DNS answered 404");
    EXPECT_EQ(CountRequests(ReadFile(Recorded())), 1u) << "an answer is not asked again";
    EXPECT_EQ(m_clock.sleptMs, 0u);
}

TEST_F(ResolveHostIPTest, ABrokenServiceIsTriedTwiceAfterAPause) {
    StartService({"--drop"});
    const HostResolution resolution = Resolve("http://dl.quorvane.example/download");
    EXPECT_EQ(resolution.kind, Kind::Failed);
    EXPECT_THAT(resolution.reason, testing::StartsWith("HTTP-DNS not reached: "));
    EXPECT_EQ(CountRequests(ReadFile(Recorded())), 2u);
    EXPECT_EQ(m_clock.sleptMs, 1000u);
}

TEST_F(ResolveHostIPTest, AnUnreachableServiceFails) {
    StartService({});
    m_service.reset();
    EXPECT_EQ(Resolve("http://dl.quorvane.example/download").kind, Kind::Failed);
}

TEST_F(ResolveHostIPTest, AnUnreadableUrlHasNothingToResolve) {
    const HostResolution resolution = Resolve("dl.quorvane.example");
    EXPECT_EQ(resolution.kind, Kind::ByName);
    EXPECT_THAT(m_lookups, IsEmpty());
}

TEST(SystemResolveTest, ADottedHostNeedsNoService) {
    platform::Services services = platform::SystemServices({});
    services.endpoints.httpDnsEndpoint = "192.0.2.1";  // never asked
    const HostResolution resolution = ResolveHostIP("http://127.0.0.1:8080/download", services);
    EXPECT_EQ(resolution.kind, Kind::Address);
    EXPECT_EQ(resolution.address, "127.0.0.1");
}

}  // namespace
