#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "net/HostLookup.h"
#include "net/ResolveHostIP.h"
#include "tests/support/PythonServer.h"
#include "tests/support/TempDir.h"

namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;

class RecordingController : public IHandOver {
public:
    void Finish(bool failed) override { finishes.push_back(failed); }
    std::vector<bool> finishes;
};

// A resolver, HTTP-DNS service and message box whose every use is recorded.
class ResolveHostIPTest : public testing::Test {
protected:
    // Starts the stand-in service with these arguments, recording its requests.
    void StartService(std::vector<std::string> args) {
        args.insert(args.end(), {"--record", Recorded()});
        m_service = std::make_unique<PythonServer>("httpdns_standin.py", args);
        m_options.endpoint = "127.0.0.1:" + std::to_string(m_service->Port());
    }

    std::string Resolve(const std::string& url) {
        return ResolveHostIP(m_controller, url, m_options);
    }

    std::string Recorded() const { return m_dir / "requests"; }

    TempDir m_dir;
    std::unique_ptr<PythonServer> m_service;
    std::map<std::string, std::string> m_systemAnswers;
    std::vector<std::string> m_lookups;
    std::vector<std::string> m_messages;
    RecordingController m_controller;
    ResolveOptions m_options{
        [this](const std::string& host) {
            m_lookups.push_back(host);
            return m_systemAnswers[host];
        },
        "",
        [this](const std::string& text) { m_messages.push_back(text); },
    };
};

TEST_F(ResolveHostIPTest, AWorkingResolverAsksNoService) {
    StartService({"--answer", "dl.quorvane.example=9.9.9.9,60"});
    m_systemAnswers["dl.quorvane.example"] = "10.1.2.3";
    EXPECT_EQ(Resolve("http://dl.quorvane.example/download"), "10.1.2.3");
    EXPECT_THAT(m_lookups, ElementsAre("dl.quorvane.example"));
    EXPECT_EQ(ReadFile(Recorded()), "");
    EXPECT_THAT(m_messages, IsEmpty());
}

TEST_F(ResolveHostIPTest, AsksTheServiceWhenTheResolverFails) {
    StartService({"--answer", "dl.quorvane.example=1.2.3.4;5.6.7.8,60"});
    EXPECT_EQ(Resolve("http://dl.quorvane.example/download"), "1.2.3.4");
    EXPECT_THAT(m_messages, IsEmpty());
    EXPECT_THAT(m_controller.finishes, IsEmpty());

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
    EXPECT_EQ(Resolve("http://dl.quorvane.example:8080/download"), "1.2.3.4");
    EXPECT_THAT(m_lookups, ElementsAre("dl.quorvane.example"));
    EXPECT_THAT(ReadFile(Recorded()), HasSubstr("GET /d?dn=dl.quorvane.example.&ttl=1 "));
}

TEST_F(ResolveHostIPTest, AnAnswerWithoutAnAddressGivesNothingQuietly) {
    for (const char* answer : {"1.2.3.4", "", "nonsense;1.2.3.4,60", "1.2.3.4.5,60"}) {
        StartService({"--answer", std::string("dl.quorvane.example=") + answer});
        EXPECT_EQ(Resolve("http://dl.quorvane.example/download"), "") << answer;
    }
    EXPECT_THAT(m_messages, IsEmpty());
    EXPECT_THAT(m_controller.finishes, IsEmpty());
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

TEST_F(ResolveHostIPTest, ARefusedQueryTellsThePlayerAndHandsOver) {
    StartService({"--answer", "dl.quorvane.example=1.2.3.4,60", "--status", "404"});
    EXPECT_EQ(Resolve("http://dl.quorvane.example/download"), "");
    EXPECT_THAT(m_messages, ElementsAre("d+ get ip error"));
    EXPECT_THAT(m_controller.finishes, ElementsAre(true));
    EXPECT_EQ(CountRequests(ReadFile(Recorded())), 1u) << "an answer is not asked again";
}

TEST_F(ResolveHostIPTest, ABrokenServiceIsTriedTwiceThenReported) {
    StartService({"--drop"});
    EXPECT_EQ(Resolve("http://dl.quorvane.example/download"), "");
    EXPECT_EQ(CountRequests(ReadFile(Recorded())), 2u);
    EXPECT_THAT(m_messages, ElementsAre("d+ get ip error"));
    EXPECT_THAT(m_controller.finishes, ElementsAre(true));
}

TEST_F(ResolveHostIPTest, AnUnreachableServiceIsReported) {
    StartService({});
    const std::string endpoint = m_options.endpoint;
    m_service.reset();
    m_options.endpoint = endpoint;
    EXPECT_EQ(Resolve("http://dl.quorvane.example/download"), "");
    EXPECT_THAT(m_messages, ElementsAre("d+ get ip error"));
    EXPECT_THAT(m_controller.finishes, ElementsAre(true));
}

TEST_F(ResolveHostIPTest, AnUnreadableUrlHasNothingToResolve) {
    EXPECT_EQ(Resolve("dl.quorvane.example"), "");
    EXPECT_THAT(m_lookups, IsEmpty());
    EXPECT_THAT(m_messages, IsEmpty());
}

TEST(SystemLookupTest, AnswersAddressesAndLocalNames) {
    EXPECT_EQ(SystemLookupIPv4("127.0.0.1"), "127.0.0.1");
    EXPECT_EQ(SystemLookupIPv4("localhost"), "127.0.0.1");
    EXPECT_EQ(SystemLookupIPv4("no-such-host.invalid"), "");
    EXPECT_EQ(SystemLookupIPv4(""), "");
}

TEST(DefaultResolveTest, ADottedHostNeedsNoService) {
    RecordingController controller;
    EXPECT_EQ(ResolveHostIP(controller, "http://127.0.0.1:8080/download"), "127.0.0.1");
    EXPECT_THAT(controller.finishes, IsEmpty());
}

}  // namespace
