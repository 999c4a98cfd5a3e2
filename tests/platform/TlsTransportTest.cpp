// The TLS transport against real servers on loopback: nginx with the test
// certificates, and a scripted TLS server that stalls, drips, ends or cuts
// its stream on purpose. Requests are written by hand over the connection.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/Transport.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/NginxServer.h"
#include "tests/support/PythonServer.h"
#include "tests/support/SilentListener.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/ToolRun.h"

namespace {

using platform::ConnectFailure;
using platform::ConnectStep;
using platform::ConnectTarget;
using platform::ConnectTimes;
using platform::IConnection;
using platform::TlsSettings;
using platform::TlsTransport;
using testing::HasSubstr;
using Clock = std::chrono::steady_clock;

constexpr ConnectTimes kTimes{.connectMs = 5000, .receiveMs = 5000};
// What a loaded machine may add to a bounded wait before the test calls it late.
constexpr auto kSlack = std::chrono::milliseconds(1500);

ConnectTarget Loopback(uint16_t port, const std::string& hostName) {
    return ConnectTarget{{{127, 0, 0, 1}}, port, hostName};
}

TlsSettings TrustingTheTestCa() {
    return TlsSettings{.caFile = TestCertificates().caFile};
}

std::chrono::milliseconds Since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

// A connection that must open; a failure fails the test with its reason.
std::unique_ptr<IConnection> MustConnect(const TlsSettings& settings, const ConnectTarget& target) {
    ConnectFailure failure;
    std::unique_ptr<IConnection> connection =
        TlsTransport(settings)->Connect(target, kTimes, failure);
    EXPECT_NE(connection, nullptr) << failure.reason;
    return connection;
}

// A connection that must not open: its failure.
ConnectFailure MustFail(const TlsSettings& settings, const ConnectTarget& target,
                        const ConnectTimes& times = kTimes) {
    ConnectFailure failure;
    EXPECT_EQ(TlsTransport(settings)->Connect(target, times, failure), nullptr);
    return failure;
}

void SendGet(IConnection& connection, const std::string& path,
             const std::string& extraHeaders = "") {
    const std::string request =
        "GET " + path + " HTTP/1.1\r\nHost: localhost\r\n" + extraHeaders + "\r\n";
    ASSERT_TRUE(connection.Send(request.data(), request.size()));
}

struct Answer {
    std::string head;
    std::string body;
};

// One answer with a Content-Length, read in large pieces; what arrived before
// a failed read when it ends early.
Answer ReadAnswer(IConnection& connection) {
    std::string received;
    std::vector<char> buffer(64 * 1024);
    std::optional<size_t> total;
    while (!total || received.size() < *total) {
        const long count = connection.Receive(buffer.data(), buffer.size(), kTimes.receiveMs);
        if (count <= 0) {
            ADD_FAILURE() << "Receive gave " << count << " after " << received.size() << " bytes";
            break;
        }
        received.append(buffer.data(), size_t(count));
        const size_t headEnd = received.find("\r\n\r\n");
        const size_t length = received.find("Content-Length: ");
        if (!total && headEnd != std::string::npos && length < headEnd) {
            total = headEnd + 4 + std::stoull(received.substr(length + 16));
        }
    }
    const size_t headEnd = std::min(received.find("\r\n\r\n"), received.size());
    return {received.substr(0, headEnd), received.substr(std::min(headEnd + 4, received.size()))};
}

// A file whose bytes tell their place: a shifted piece of it differs.
std::string PatternFile(size_t size) {
    std::string content(size, '\0');
    for (size_t i = 0; i < size; ++i) content[i] = static_cast<char>(i % 251);
    return content;
}

// The scripted server of tools/test-servers/tls_server.py with the good
// certificate and the given options.
PythonServer TlsScript(std::vector<std::string> options) {
    options.insert(options.begin(), {"--cert", TestCertificates().good.certificate, "--key",
                                     TestCertificates().good.key});
    return PythonServer("tls_server.py", options);
}

class GoodCertificateTest : public testing::TestWithParam<const char*> {};

TEST_P(GoodCertificateTest, ServesTheFileWholeThenARangeOnTheSameConnection) {
    TempDir root;
    const std::string content = PatternFile(3 * 1024 * 1024 + 17);
    WriteFile(root / "file", content);
    NginxServer server(root.Path(), {.tls = TestCertificates().good});
    std::unique_ptr<IConnection> connection =
        MustConnect(TrustingTheTestCa(), Loopback(server.Port(), GetParam()));
    ASSERT_NE(connection, nullptr);

    SendGet(*connection, "/file");
    const Answer whole = ReadAnswer(*connection);
    EXPECT_THAT(whole.head, testing::StartsWith("HTTP/1.1 200"));
    EXPECT_TRUE(whole.body == content) << "got " << whole.body.size() << " bytes";
    EXPECT_TRUE(connection->MayBeReused());

    SendGet(*connection, "/file", "Range: bytes=1000-\r\n");
    const Answer tail = ReadAnswer(*connection);
    EXPECT_THAT(tail.head, testing::StartsWith("HTTP/1.1 206"));
    EXPECT_TRUE(tail.body == content.substr(1000)) << "got " << tail.body.size() << " bytes";

    const std::vector<NginxAccess> log = server.AccessLog(2);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].range, "bytes=1000-");
    EXPECT_EQ(log[1].connectionRequests, 2) << "both requests on one connection";
}

INSTANTIATE_TEST_SUITE_P(ByAddressAndByName, GoodCertificateTest,
                         testing::Values("127.0.0.1", "localhost"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param) == "localhost" ? "Localhost"
                                                                           : "Address";
                         });

struct RefusalCase {
    const char* name;
    ServerCertificate TestCertificateSet::*certificate;
    const char* hostName;  // the address is always 127.0.0.1
    const char* reason;
};

void PrintTo(const RefusalCase& c, std::ostream* out) {
    *out << c.name;
}

class RefusedCertificateTest : public testing::TestWithParam<RefusalCase> {};

TEST_P(RefusedCertificateTest, FailsTheHandshakeNamingTheCause) {
    const RefusalCase& c = GetParam();
    TempDir root;
    NginxServer server(root.Path(), {.tls = TestCertificates().*c.certificate});

    const ConnectFailure failure =
        MustFail(TrustingTheTestCa(), Loopback(server.Port(), c.hostName));

    EXPECT_EQ(failure.step, ConnectStep::Secure);
    EXPECT_THAT(failure.reason, HasSubstr(c.reason));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, RefusedCertificateTest,
    testing::Values(
        RefusalCase{"WrongHostByAddress", &TestCertificateSet::wrongHost, "127.0.0.1",
                    "certificate verify failed: IP address mismatch (the certificate is not for "
                    "127.0.0.1)"},
        RefusalCase{"WrongHostByName", &TestCertificateSet::wrongHost, "localhost",
                    "certificate verify failed: hostname mismatch (the certificate is not for "
                    "localhost)"},
        // The name is checked, not the address the bytes go to.
        RefusalCase{"GoodForAnotherName", &TestCertificateSet::good, "wrong-host.invalid",
                    "hostname mismatch"},
        RefusalCase{"Expired", &TestCertificateSet::expired, "localhost",
                    "certificate verify failed: certificate has expired"},
        RefusalCase{"Untrusted", &TestCertificateSet::untrusted, "localhost",
                    "certificate verify failed: self-signed certificate in certificate chain"},
        RefusalCase{"SelfSigned", &TestCertificateSet::selfSigned, "localhost",
                    "certificate verify failed: self-signed certificate"}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

// Which certificate a trust setting names.
enum class Ca { None, TestCa, Another };

struct TrustCase {
    const char* name;
    Ca caFile;            // TlsSettings::caFile; None: the system's trust store
    Ca sslCertFile;       // SSL_CERT_FILE; None: unset
    const char* failure;  // nullptr: the good certificate is trusted
};

void PrintTo(const TrustCase& c, std::ostream* out) {
    *out << c.name;
}

std::optional<std::string> CaPath(Ca ca) {
    switch (ca) {
        case Ca::None:
            return std::nullopt;
        case Ca::TestCa:
            return TestCertificates().caFile;
        case Ca::Another:
            return TestCertificates().selfSigned.certificate;
    }
    return std::nullopt;
}

class TrustTest : public testing::TestWithParam<TrustCase> {};

TEST_P(TrustTest, TrustsWhatItIsToldAndNothingElse) {
    const TrustCase& c = GetParam();
    TempDir root;
    NginxServer server(root.Path(), {.tls = TestCertificates().good});
    const ScopedEnv certFile("SSL_CERT_FILE", CaPath(c.sslCertFile));
    const ScopedEnv certDir("SSL_CERT_DIR", std::nullopt);
    const TlsSettings settings{.caFile = CaPath(c.caFile).value_or("")};
    const ConnectTarget target = Loopback(server.Port(), "localhost");

    if (c.failure == nullptr) {
        EXPECT_NE(MustConnect(settings, target), nullptr);
    } else {
        const ConnectFailure failure = MustFail(settings, target);
        EXPECT_EQ(failure.step, ConnectStep::Secure);
        EXPECT_THAT(failure.reason, HasSubstr(c.failure));
    }
}

constexpr const char* kUnknownIssuer =
    "certificate verify failed: unable to get local issuer certificate";

INSTANTIATE_TEST_SUITE_P(
    Stores, TrustTest,
    testing::Values(TrustCase{"CaFile", Ca::TestCa, Ca::None, nullptr},
                    TrustCase{"SystemStoreAsSslCertFileSays", Ca::None, Ca::TestCa, nullptr},
                    TrustCase{"SystemStoreWithoutTheTestCa", Ca::None, Ca::None, kUnknownIssuer},
                    TrustCase{"CaFileAlone", Ca::Another, Ca::TestCa, kUnknownIssuer}),
    [](const testing::TestParamInfo<TrustCase>& info) { return info.param.name; });

TEST(TlsTrustFileTest, AnUnreadableCaFileFailsEveryConnectionBeforeItIsMade) {
    TempDir folder;
    WriteFile(folder / "empty.pem", "");
    NginxServer server(folder.Path(), {.tls = TestCertificates().good});

    for (const std::string& caFile : {folder / "missing.pem", folder / "empty.pem"}) {
        const ConnectFailure failure =
            MustFail(TlsSettings{.caFile = caFile}, Loopback(server.Port(), "localhost"));
        EXPECT_EQ(failure.step, ConnectStep::Secure);
        EXPECT_THAT(failure.reason, HasSubstr("cannot read the trusted certificates of " + caFile));
    }
    EXPECT_EQ(server.ConnectionsAccepted(), 0u);
}

TEST(TlsHandshakeTimeTest, AServerThatDropsTheConnectionAttemptFailsTheConnectStepInTime) {
    SilentListener listener;
    const ConnectTimes times{.connectMs = 700, .receiveMs = 5000};
    const Clock::time_point start = Clock::now();

    const ConnectFailure failure =
        MustFail(TrustingTheTestCa(), Loopback(listener.Port(), "localhost"), times);

    EXPECT_EQ(failure.step, ConnectStep::Connect);
    EXPECT_GE(Since(start), std::chrono::milliseconds(times.connectMs));
    EXPECT_LT(Since(start), std::chrono::milliseconds(times.connectMs) + kSlack);
}

class SlowHandshakeTest : public testing::TestWithParam<const char*> {};

TEST_P(SlowHandshakeTest, IsBoundedByTheConnectTime) {
    PythonServer server = TlsScript({"--behaviour", GetParam(), "--interval", "0.02"});
    const ConnectTimes times{.connectMs = 700, .receiveMs = 5000};
    const Clock::time_point start = Clock::now();

    const ConnectFailure failure =
        MustFail(TrustingTheTestCa(), Loopback(server.Port(), "localhost"), times);

    EXPECT_EQ(failure.step, ConnectStep::Secure);
    EXPECT_EQ(failure.reason, "hand-shake timed out");
    EXPECT_GE(Since(start), std::chrono::milliseconds(times.connectMs));
    EXPECT_LT(Since(start), std::chrono::milliseconds(times.connectMs) + kSlack);
}

INSTANTIATE_TEST_SUITE_P(Servers, SlowHandshakeTest, testing::Values("silent", "drip-handshake"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param) == "silent" ? "Silent" : "Dripping";
                         });

TEST(TlsReceiveTest, HandsOverDecryptedBytesAtOnceAndBoundsARecordThatDrips) {
    PythonServer server = TlsScript({"--behaviour", "drip-body", "--interval", "0.05"});
    std::unique_ptr<IConnection> connection =
        MustConnect(TrustingTheTestCa(), Loopback(server.Port(), "localhost"));
    ASSERT_NE(connection, nullptr);
    SendGet(*connection, "/");

    // The head comes in one record: once its first byte is there, the rest
    // is there too and needs no wait at all.
    std::vector<char> buffer(4096);
    ASSERT_EQ(connection->Receive(buffer.data(), 1, kTimes.receiveMs), 1);
    const long rest = connection->Receive(buffer.data() + 1, buffer.size() - 1, 0);
    ASSERT_GT(rest, 0) << "timed out: " << connection->TimedOut();
    EXPECT_EQ(std::string(buffer.data(), size_t(1 + rest)),
              "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\n");

    // The body's record comes a byte every 50 ms, longer than a read may wait.
    const int receiveMs = 400;
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(connection->Receive(buffer.data(), buffer.size(), receiveMs), -1);
    EXPECT_TRUE(connection->TimedOut());
    EXPECT_GE(Since(start), std::chrono::milliseconds(receiveMs));
    EXPECT_LT(Since(start), std::chrono::milliseconds(receiveMs) + kSlack);
    EXPECT_FALSE(connection->MayBeReused()) << "half a record is pending";
}

struct EndCase {
    const char* end;   // tls_server.py's --end
    long lastReceive;  // what Receive gives after the answer
};

void PrintTo(const EndCase& c, std::ostream* out) {
    *out << c.end;
}

class StreamEndTest : public testing::TestWithParam<EndCase> {};

TEST_P(StreamEndTest, ReceiveTellsAnEndFromACut) {
    const EndCase& c = GetParam();
    PythonServer server = TlsScript({"--end", c.end});
    std::unique_ptr<IConnection> connection =
        MustConnect(TrustingTheTestCa(), Loopback(server.Port(), "localhost"));
    ASSERT_NE(connection, nullptr);
    SendGet(*connection, "/");

    std::string received;
    std::vector<char> buffer(4096);
    long count = 0;
    while ((count = connection->Receive(buffer.data(), buffer.size(), kTimes.receiveMs)) > 0) {
        received.append(buffer.data(), size_t(count));
    }

    EXPECT_EQ(count, c.lastReceive);
    EXPECT_FALSE(connection->TimedOut());
    EXPECT_FALSE(connection->MayBeReused());
    if (c.lastReceive == 0) {
        EXPECT_EQ(received, "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nlocalhost");
    } else {
        EXPECT_EQ(received, "") << "nothing of a cut record is handed over";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ends, StreamEndTest,
    testing::Values(EndCase{"notify", 0},  // close_notify, the TCP connection still open
                    EndCase{"close", 0},   // a TCP close after the last whole record
                    EndCase{"cut", -1}),   // a TCP close inside a record
    [](const testing::TestParamInfo<EndCase>& info) { return std::string(info.param.end); });

struct ServerNameCase {
    const char* name;
    const char* hostName;
    const char* sent;  // the server name the server saw
};

void PrintTo(const ServerNameCase& c, std::ostream* out) {
    *out << c.name;
}

class ServerNameTest : public testing::TestWithParam<ServerNameCase> {};

TEST_P(ServerNameTest, ANameIsSentAndAnAddressIsNot) {
    const ServerNameCase& c = GetParam();
    PythonServer server = TlsScript({});
    std::unique_ptr<IConnection> connection =
        MustConnect(TrustingTheTestCa(), Loopback(server.Port(), c.hostName));
    ASSERT_NE(connection, nullptr);

    SendGet(*connection, "/");

    EXPECT_EQ(ReadAnswer(*connection).body, c.sent);
}

INSTANTIATE_TEST_SUITE_P(Targets, ServerNameTest,
                         testing::Values(ServerNameCase{"Name", "localhost", "localhost"},
                                         ServerNameCase{"Address", "127.0.0.1", "(none)"}),
                         [](const testing::TestParamInfo<ServerNameCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(TlsVersionTest, AServerOfferingOnlyTls11IsRefused) {
    PythonServer server = TlsScript({"--tls1.1"});
    const ToolRun probe =
        RunTool({"openssl", "s_client", "-connect", "127.0.0.1:" + std::to_string(server.Port()),
                 "-tls1_1", "-cipher", "DEFAULT:@SECLEVEL=0"});
    if (probe.output.find("Protocol  : TLSv1.1") == std::string::npos) {
        GTEST_SKIP() << "this OpenSSL no longer speaks TLS 1.1: " << probe.output;
    }

    const ConnectFailure failure =
        MustFail(TrustingTheTestCa(), Loopback(server.Port(), "localhost"));

    EXPECT_EQ(failure.step, ConnectStep::Secure);
    EXPECT_EQ(failure.reason, "hand-shake failed: the server sent the alert \"protocol version\"");
}

}  // namespace
