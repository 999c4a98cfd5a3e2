// The client against a server that gets things wrong on purpose
// (tools/test-servers/misbehaving_server.py), and its failures before sending.
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <thread>

#include "net/HttpSocket.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/LoopbackPort.h"
#include "tests/support/PythonServer.h"
#include "tests/support/SilentListener.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestServices.h"

namespace {

using testing::ElementsAre;
using testing::HasSubstr;

constexpr int kShortTimeoutMs = 300;

class MisbehavingServerTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_logDir = std::make_unique<TempDir>();
        s_server = std::make_unique<PythonServer>(
            "misbehaving_server.py",
            std::vector<std::string>{"--log", *s_logDir / "requests", "--closed-log",
                                     *s_logDir / "closed"});
    }
    static void TearDownTestSuite() {
        s_server.reset();
        s_logDir.reset();
    }

    MisbehavingServerTest() : m_workingDirectory(m_dir.Path()) {}

    std::string Url(const std::string& target) const { return s_server->Url(target); }
    std::string Out() const { return m_dir / "out"; }

    // The file keeps what precedes the resource's first resumed byte.
    HttpResult Fetch(CHttpSocket& client, const std::string& target, int64_t rangeStart = 0) {
        const int64_t held = static_cast<int64_t>(ReadFile(Out()).size());
        OutputFile out(Out(), "ab+", std::max<int64_t>(held - std::max<int64_t>(rangeStart, 0), 0));
        return client.RequestFile(Url(target), "", rangeStart, &out);
    }

    // The server's connection number for each request of this test, by target.
    std::vector<std::string> ConnectionsOf(const std::vector<std::string>& targets) const {
        std::vector<std::string> connections;
        std::istringstream lines(ReadFile(*s_logDir / "requests"));
        std::string connection, target, range;
        while (lines >> connection >> target >> range) {
            for (const std::string& wanted : targets) {
                if (target == wanted) connections.push_back(connection);
            }
        }
        return connections;
    }

    // Waits until the server has closed the connection that served target;
    // false when it has not within seconds.
    bool WaitUntilServerClosed(const std::string& target) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        do {
            const std::vector<std::string> connection = ConnectionsOf({target});
            std::istringstream closed(ReadFile(*s_logDir / "closed"));
            for (std::string line; !connection.empty() && std::getline(closed, line);) {
                if (line == connection.back()) return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }

    static std::unique_ptr<TempDir> s_logDir;
    static std::unique_ptr<PythonServer> s_server;

    TempDir m_dir;
    ScopedWorkingDirectory m_workingDirectory;
    RecordingSink m_sink;
    const platform::Services m_services = TestServices();
};

std::unique_ptr<TempDir> MisbehavingServerTest::s_logDir;
std::unique_ptr<PythonServer> MisbehavingServerTest::s_server;

struct AnswerCase {
    const char* name;
    std::string target;
    int64_t rangeStart;
    std::string before;  // the output file before the request
    HttpResult result;
    std::string after;    // the output file afterwards
    const char* logLine;  // a log line the failure writes, "" for none
    bool shortTimeout = false;
};

class AnswerTest : public MisbehavingServerTest, public testing::WithParamInterface<AnswerCase> {};

TEST_P(AnswerTest, EndsWithTheRightResultAndFile) {
    const AnswerCase& c = GetParam();
    WriteFile(Out(), c.before);
    CHttpSocket client(
        &m_sink, m_services,
        HttpTimeouts{.receiveMs = c.shortTimeout ? kShortTimeoutMs : HttpTimeouts{}.receiveMs});

    testing::internal::CaptureStdout();
    const HttpResult result = Fetch(client, c.target, c.rangeStart);
    fflush(stdout);
    const std::string log = testing::internal::GetCapturedStdout();

    EXPECT_EQ(result, c.result);
    EXPECT_EQ(ReadFile(Out()), c.after);
    // The sink is told the size once for an accepted answer and sees what was
    // written of its body; a refused answer reaches neither sink nor file.
    const bool accepted = result == HttpResult::Ok || result == HttpResult::BodyFailed;
    EXPECT_EQ(m_sink.fileSizes.size(), accepted ? 1u : 0u);
    if (accepted) {
        EXPECT_TRUE(c.after.ends_with(m_sink.Data()));
    } else {
        EXPECT_EQ(m_sink.Data(), "");
    }
    EXPECT_EQ(client.TotalRecv(), int64_t(m_sink.Data().size()));
    if (*c.logLine) {
        EXPECT_THAT(log, HasSubstr(std::string("[CHttpSocket]\t") + c.logLine));
    }
}

const std::string kHello = "hello";

INSTANTIATE_TEST_SUITE_P(
    Framing, AnswerTest,
    testing::Values(
        AnswerCase{"ServerClosesEarly", "/close-early?size=1000&send=500", 0, "",
                   HttpResult::BodyFailed, PatternBytes(0, 500),
                   "RecvHttpFile() 连接提前关闭 500/1000"},
        AnswerCase{"BytesBeyondContentLength", "/extra?size=1000&extra=100", 0, "", HttpResult::Ok,
                   PatternBytes(0, 1000), ""},
        AnswerCase{"Chunked", "/chunked?size=1000&chunk=100", 0, "", HttpResult::Ok,
                   PatternBytes(0, 1000), ""},
        AnswerCase{"ChunksLargerThanOneRead", "/chunked?size=200000&chunk=70000", 0, "",
                   HttpResult::Ok, PatternBytes(0, 200000), ""},
        AnswerCase{"MalformedChunk", "/bad-chunk?size=100", 0, "", HttpResult::BodyFailed,
                   PatternBytes(0, 100), "RecvHttpFile() 分块格式错误"},
        AnswerCase{"NoLengthThenClose", "/no-length-close?size=5000", 0, "", HttpResult::Ok,
                   PatternBytes(0, 5000), "GetHttpFileSize() 失败,无法获取长度"},
        AnswerCase{"HeadOf1024Bytes", "/big-head?total=1024", 0, "", HttpResult::Ok, kHello, ""},
        AnswerCase{"HeadOf1025Bytes", "/big-head?total=1025", 0, "", HttpResult::BadHead, "",
                   "RecvHttpHeadRes:bEndRecv == false error"},
        AnswerCase{"ClosedBeforeAnswering", RawReply(""), 0, "", HttpResult::BadHead, "",
                   "RecvHttpHeadRes:recv error len 0"}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Ranges, AnswerTest,
    testing::Values(AnswerCase{"Resumed", "/file?size=1000", 100, PatternBytes(0, 100),
                               HttpResult::Ok, PatternBytes(0, 1000), ""},
                    AnswerCase{"RangeIgnoredRestartsTheFile", "/ignore-range?size=1000", 300,
                               std::string(300, 'x'), HttpResult::Ok, PatternBytes(0, 1000), ""},
                    AnswerCase{"RangeIgnoredKeepsWhatPrecedesTheResource",
                               "/ignore-range?size=1000", 300, "prefix" + std::string(300, 'x'),
                               HttpResult::Ok, "prefix" + PatternBytes(0, 1000), ""},
                    AnswerCase{"WrongContentRange", "/wrong-range?size=1000&shift=10", 100,
                               PatternBytes(0, 100), HttpResult::Refused, PatternBytes(0, 100),
                               "GetHttpFileSize() 失败"},
                    AnswerCase{
                        "PartialWithoutContentRange",
                        RawReply("HTTP/1.1 206 Partial Content\r\nContent-Length: 5\r\n\r\nhello"),
                        100, PatternBytes(0, 100), HttpResult::Refused, PatternBytes(0, 100), ""}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Heads, AnswerTest,
    testing::Values(
        AnswerCase{"LengthWithoutBlank",
                   RawReply("HTTP/1.1 200 OK\r\nContent-Length:5\r\n\r\nhello"), 0, "",
                   HttpResult::Ok, kHello, ""},
        AnswerCase{"LengthInLowerCase",
                   RawReply("HTTP/1.0 200 OK\r\ncontent-length: 5\r\n\r\nhello"), 0, "",
                   HttpResult::Ok, kHello, ""},
        AnswerCase{"NegativeLength", RawReply("HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\nhello"),
                   0, "", HttpResult::Refused, "", "GetHttpFileSize() 失败"},
        AnswerCase{"OverflowingLength",
                   RawReply("HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\nhello"),
                   0, "", HttpResult::Refused, "", ""},
        AnswerCase{"GarbageLength",
                   RawReply("HTTP/1.1 200 OK\r\nContent-Length: 12abc\r\n\r\nhello"), 0, "",
                   HttpResult::Refused, "", ""},
        AnswerCase{"EmptyBody", RawReply("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"), 0, "",
                   HttpResult::Ok, "", ""},
        AnswerCase{
            "SuccessTextInAHeader",
            RawReply("HTTP/1.1 404 Not Found\r\nX-Note: 200 OK\r\nContent-Length: 5\r\n\r\nhello"),
            0, "", HttpResult::Refused, "", ""},
        AnswerCase{"RedirectWithoutLocation",
                   RawReply("HTTP/1.1 302 Found\r\nContent-Length: 0\r\n\r\n"), 0, "",
                   HttpResult::Refused, "", ""},
        AnswerCase{"TemporaryRedirectIsNoRedirect",
                   RawReply("HTTP/1.1 307 Temporary Redirect\r\nLocation: http://x/\r\n\r\n"), 0,
                   "", HttpResult::Refused, "", ""},
        AnswerCase{"UnknownTransferCoding",
                   RawReply("HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\nhello"), 0, "",
                   HttpResult::Refused, "", ""}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Timeouts, AnswerTest,
    testing::Values(
        AnswerCase{"BodyStalls", "/stall?size=1000&send=100", 0, "", HttpResult::BodyFailed,
                   PatternBytes(0, 100), "RecvHttpFile() recv错误", true},
        AnswerCase{"NoLengthAndKeptOpen", "/no-length-open?size=500", 0, "", HttpResult::BodyFailed,
                   PatternBytes(0, 500), "RecvHttpFile() recv错误", true},
        AnswerCase{"ChunkedStalls",
                   RawReply("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                            "5\r\nhello\r\n",
                            "open"),
                   0, "", HttpResult::BodyFailed, kHello, "RecvHttpFile() recv错误", true},
        AnswerCase{"NoAnswer", "/silent", 0, "", HttpResult::BadHead, "",
                   "RecvHttpHeadRes:recv error len -1", true}),
    [](const auto& info) { return info.param.name; });

// No server holds a request for ever: a head ends within its bound, a small
// file within its own, a large body that stays too slow ends; none of them
// cuts short an answer that keeps up. The bounds here are below a second;
// the launcher's own are tens of seconds.
class BoundsTest : public MisbehavingServerTest {
protected:
    static constexpr HttpTimeouts kTight{.receiveMs = 3000,
                                         .headTotalMs = 900,
                                         .smallTotalMs = 900,
                                         .minimumBytesPerSecond = 100,
                                         .speedWindowMs = 900};

    // Runs one request with the tight bounds; its result, log and length.
    struct Outcome {
        HttpResult result;
        std::string log;
        std::chrono::milliseconds took;
    };
    Outcome Run(const std::string& target, bool small) {
        CHttpSocket client(&m_sink, m_services, kTight);
        OutputFile out(Out(), "ab+", 0);
        testing::internal::CaptureStdout();
        const auto start = std::chrono::steady_clock::now();
        const HttpResult result = small ? client.RequestSmallFile(Url(target), "", &out)
                                        : client.RequestFile(Url(target), "", 0, &out);
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        fflush(stdout);
        return Outcome{result, testing::internal::GetCapturedStdout(), took};
    }
};

TEST_F(BoundsTest, ATricklingAnswerEndsWithinItsBound) {
    const struct {
        const char* name;
        std::string target;
        bool small;
        HttpResult result;
        const char* logLine;
    } cases[] = {
        {"head", "/drip?part=head&every=100&size=10", false, HttpResult::BadHead,
         "RecvHttpHeadRes:head not complete after"},
        {"large body", "/drip?every=100&size=100000", false, HttpResult::BodyFailed,
         "RecvHttpFile() slower than 100 bytes/s over 900 ms"},
        {"small body", "/drip?every=100&size=100000", true, HttpResult::BodyFailed,
         "RecvHttpFile() not complete after"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        WriteFile(Out(), "");
        const Outcome outcome = Run(row.target, row.small);
        EXPECT_EQ(outcome.result, row.result);
        EXPECT_THAT(outcome.log, HasSubstr(std::string("[CHttpSocket]\t") + row.logLine));
        EXPECT_GE(outcome.took, std::chrono::milliseconds(800));
        EXPECT_LT(outcome.took, std::chrono::milliseconds(5000)) << "held past its bound";
        // What arrived stays for a later attempt to resume.
        const std::string kept = ReadFile(Out());
        EXPECT_EQ(kept, PatternBytes(0, int64_t(kept.size())));
    }
}

TEST_F(BoundsTest, AnAnswerThatKeepsUpIsNeverCutShort) {
    // 600 bytes a second across a window's end, and a fast body of 20 MiB.
    EXPECT_EQ(Run("/drip?every=100&bytes=60&size=900", false).result, HttpResult::Ok);
    EXPECT_EQ(ReadFile(Out()), PatternBytes(0, 900));
    WriteFile(Out(), "");
    EXPECT_EQ(Run("/file?size=20971520", false).result, HttpResult::Ok);
    EXPECT_EQ(ReadFile(Out()).size(), 20971520u);
}

TEST_F(MisbehavingServerTest, PermanentRedirectCarriesTheLocation) {
    CHttpSocket client(&m_sink, m_services);
    EXPECT_EQ(Fetch(client, RawReply("HTTP/1.1 301 Moved\r\nlocation:http://b.example/y\r\n\r\n")),
              HttpResult::Redirect);
    EXPECT_EQ(client.Location(), "http://b.example/y");
}

struct RequestCase {
    int64_t rangeStart;
    const char* rangeLine;
};

class RequestTextTest : public MisbehavingServerTest,
                        public testing::WithParamInterface<RequestCase> {};

TEST_P(RequestTextTest, SendsExactlyTheseLines) {
    CHttpSocket client(&m_sink, m_services);
    ASSERT_EQ(client.RequestFile(Url("/echo?x=1"), "", GetParam().rangeStart, nullptr),
              HttpResult::Ok);
    EXPECT_EQ(m_sink.Data(), std::string("GET /echo?x=1 HTTP/1.1\r\n"
                                         "Host:127.0.0.1\r\n"
                                         "Accept:*/*\r\n"
                                         "User-Agent:Mozilla/5.0 (compatible; MSIE 7.0; Windows "
                                         "NT 5.1)\r\n"
                                         "Connection:Keep-Alive\r\n") +
                                 GetParam().rangeLine + "Cache-Control:no-cache\r\n\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, RequestTextTest,
    testing::Values(RequestCase{0, ""}, RequestCase{-1, ""}, RequestCase{5, "Range: bytes=5-\r\n"},
                    RequestCase{3000000000LL, "Range: bytes=3000000000-\r\n"}));

TEST_F(MisbehavingServerTest, KeepsOnlyAConnectionThatEndedCleanly) {
    CHttpSocket client(&m_sink, m_services);
    // A clean answer keeps the connection; one with stray bytes after its body,
    // or one the server has closed meanwhile, is replaced.
    ASSERT_EQ(Fetch(client, "/file?size=10&n=1"), HttpResult::Ok);
    ASSERT_EQ(Fetch(client, "/file?size=10&n=2"), HttpResult::Ok);
    ASSERT_EQ(Fetch(client, "/extra?size=10&extra=50&n=3"), HttpResult::Ok);
    ASSERT_EQ(Fetch(client, "/file?size=10&n=4"), HttpResult::Ok);
    const std::string closesAfterAnswering =
        RawReply("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    ASSERT_EQ(Fetch(client, closesAfterAnswering), HttpResult::Ok);
    ASSERT_TRUE(WaitUntilServerClosed(closesAfterAnswering));
    ASSERT_EQ(Fetch(client, "/file?size=10&n=6"), HttpResult::Ok);

    const std::vector<std::string> connections =
        ConnectionsOf({"/file?size=10&n=1", "/file?size=10&n=2", "/extra?size=10&extra=50&n=3",
                       "/file?size=10&n=4", "/file?size=10&n=6"});
    ASSERT_EQ(connections.size(), 5u);
    EXPECT_EQ(connections[0], connections[1]);
    EXPECT_EQ(connections[1], connections[2]);
    EXPECT_NE(connections[2], connections[3]) << "stray bytes must not be read as an answer";
    EXPECT_NE(connections[3], connections[4]) << "a closed connection cannot be reused";
    EXPECT_EQ(ReadFile(Out()), PatternBytes(0, 10) + PatternBytes(0, 10) + PatternBytes(0, 10) +
                                   PatternBytes(0, 10) + "ok" + PatternBytes(0, 10));
}

TEST_F(MisbehavingServerTest, AWriteErrorIsNeverSuccess) {
    const std::string readOnly = Out();
    WriteFile(readOnly, "");
    for (const auto& [path, mode] :
         {std::pair{"/dev/full", "ab"}, std::pair{readOnly.c_str(), "rb"}}) {
        CHttpSocket client(&m_sink, m_services);
        OutputFile out(path, mode);
        testing::internal::CaptureStdout();
        EXPECT_EQ(client.RequestFile(Url("/file?size=200000"), "", 0, &out), HttpResult::BodyFailed)
            << path;
        fflush(stdout);
        EXPECT_THAT(testing::internal::GetCapturedStdout(),
                    HasSubstr("[CHttpSocket]\tRecvHttpFile() 写文件失败"));
    }
    // Small bodies stay in the stream's buffer; the failure shows when it is flushed.
    CHttpSocket client(&m_sink, m_services);
    OutputFile full("/dev/full", "ab");
    EXPECT_EQ(client.RequestFile(Url("/file?size=10"), "", 0, &full), HttpResult::BodyFailed);
}

TEST(HttpSocketSetupTest, FailsBeforeSendingWithTheStepsCode) {
    struct Case {
        std::string url;
        std::string address;
        HttpResult result;
        std::string logLine;
    };
    const RefusingPort refusing;
    const std::string closed = refusing.Url("/x");
    const std::string longHost = "http://" + std::string(64, 'h') + "/x";
    const std::string longPath = "http://h/" + std::string(259, 'p');
    const std::string longUrl = "http://" + std::string(1013, 'u') + "@h/x";
    for (const Case& c : {
             Case{"dl.example/x", "", HttpResult::BadUrl, "ParseURL() dl.example/x"},
             Case{"ftp://dl.example/x", "", HttpResult::BadUrl, "ParseURL() ftp://dl.example/x"},
             Case{longHost, "", HttpResult::BadUrl, "ParseURL() " + longHost},
             Case{longPath, "", HttpResult::BadUrl, "ParseURL() " + longPath},
             // The log keeps the first 499 characters of a message.
             Case{longUrl, "", HttpResult::BadUrl, "ParseURL() " + longUrl.substr(0, 400)},
             Case{closed, "", HttpResult::NoConnection,
                  "ConnectHost() 127.0.0.1 127.0.0.1 connect error isproxy 0"},
             Case{"http://dl.example/x", "1.2.3.999", HttpResult::NoConnection,
                  "ConnectHost() 1.2.3.999 255.255.255.255 connect error isproxy 0"},
             Case{"http://no-such-host.invalid/x", "", HttpResult::NoConnection,
                  "ConnectHost() no-such-host.invalid gethostbyname error"},
         }) {
        RecordingSink sink;
        const platform::Services services = TestServices();
        CHttpSocket client(&sink, services);
        testing::internal::CaptureStdout();
        EXPECT_EQ(client.RequestFile(c.url, c.address, 0, nullptr), c.result) << c.url;
        fflush(stdout);
        EXPECT_THAT(testing::internal::GetCapturedStdout(),
                    HasSubstr("[CHttpSocket]\t" + c.logLine));
    }
    // The limits themselves are fine.
    RecordingSink sink;
    const platform::Services services = TestServices();
    CHttpSocket client(&sink, services);
    EXPECT_EQ(client.RequestFile("http://" + std::string(63, 'h') + ":" +
                                     std::to_string(refusing.Port()) + "/" + std::string(258, 'p'),
                                 "127.0.0.1", 0, nullptr),
              HttpResult::NoConnection);
}

// A server that drops connection attempts costs the connect time-out, not the
// system's own retries; the next request may go elsewhere.
TEST(HttpSocketConnectTest, ASilentServerFailsAfterTheConnectTimeOut) {
    SilentListener silent;
    RecordingSink sink;
    const platform::Services services = TestServices();
    CHttpSocket client(&sink, services, HttpTimeouts{.connectMs = 300});
    testing::internal::CaptureStdout();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(client.RequestFile("http://127.0.0.1:" + std::to_string(silent.Port()) + "/x", "", 0,
                                 nullptr),
              HttpResult::NoConnection);
    const auto waited = std::chrono::steady_clock::now() - started;
    fflush(stdout);
    EXPECT_THAT(testing::internal::GetCapturedStdout(),
                HasSubstr("ConnectHost() 127.0.0.1 127.0.0.1 connect error isproxy 0"));
    // The system would retry for minutes; a bound far above 300 ms still tells.
    EXPECT_LT(waited, std::chrono::seconds(20));
}

}  // namespace
