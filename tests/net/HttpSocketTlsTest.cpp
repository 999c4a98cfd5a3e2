// The client over HTTPS against a real nginx with the test certificates.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "net/HttpSocket.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/NginxServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/TestServices.h"

namespace {

using testing::HasSubstr;

constexpr int64_t kPackageSize = 300000;

class HttpSocketTlsTest : public testing::Test {
protected:
    HttpSocketTlsTest() : m_workingDirectory(m_dir.Path()) {
        std::filesystem::create_directory(m_dir / "www");
        WriteFile(m_dir / "www/vorn_ad2.exe", m_package);
    }

    // A client that trusts the test CA alone.
    std::unique_ptr<CHttpSocket> Client() {
        return std::make_unique<CHttpSocket>(&m_sink, m_services, HttpTimeouts{},
                                             platform::TlsSettings{TestCertificates().caFile});
    }
    NginxServer Serve(const ServerCertificate& certificate) {
        return NginxServer(m_dir / "www", NginxOptions{.tls = certificate});
    }
    // One request into the file "out"; its result and what the log said.
    std::pair<HttpResult, std::string> Fetch(CHttpSocket& client, const std::string& url,
                                             int64_t rangeStart = 0,
                                             const std::string& address = "") {
        OutputFile out(Out());
        testing::internal::CaptureStdout();
        const HttpResult result = client.RequestFile(url, address, rangeStart, &out);
        fflush(stdout);
        return {result, testing::internal::GetCapturedStdout()};
    }
    std::string Out() const { return m_dir / "out"; }

    TempDir m_dir;
    const std::string m_package = RandomBytes(kPackageSize);
    ScopedWorkingDirectory m_workingDirectory;
    RecordingSink m_sink;
    const platform::Services m_services = TestServices();
};

TEST_F(HttpSocketTlsTest, FetchesAndResumesOverOneConnection) {
    const NginxServer server = Serve(TestCertificates().good);
    ASSERT_THAT(server.Url(""), testing::StartsWith("https://"));
    const auto client = Client();

    EXPECT_EQ(Fetch(*client, server.Url("/vorn_ad2.exe")).first, HttpResult::Ok);
    EXPECT_TRUE(ReadFile(Out()) == m_package);
    WriteFile(Out(), m_package.substr(0, 1000));
    EXPECT_EQ(Fetch(*client, server.Url("/vorn_ad2.exe"), 1000).first, HttpResult::Ok);
    EXPECT_TRUE(ReadFile(Out()) == m_package);

    const std::vector<NginxAccess> log = server.AccessLog(2);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].range, "bytes=1000-");
    EXPECT_EQ(log[1].status, 206);
    EXPECT_EQ(log[1].connection, log[0].connection) << "the connection was not reused";
    EXPECT_EQ(client->TotalRecv(), 2 * kPackageSize - 1000);
}

// Each certificate that does not prove the server's name fails the request
// as a connection that could not be made, and the log says why.
TEST_F(HttpSocketTlsTest, ACertificateThatFailsRefusesTheConnection) {
    for (const RefusedCertificate& row : RefusedCertificates()) {
        SCOPED_TRACE(row.name);
        NginxServer server = Serve(row.certificate);
        const auto client = Client();
        const auto [result, log] = Fetch(*client, server.Url("/vorn_ad2.exe"));
        EXPECT_EQ(result, HttpResult::NoConnection);
        EXPECT_THAT(log, HasSubstr("[CHttpSocket]\tConnectHost() 127.0.0.1 127.0.0.1 connect error "
                                   "isproxy 0: certificate verify failed: " +
                                   std::string(row.reason)));
        EXPECT_TRUE(server.AccessLog().empty()) << "a request went out";
        EXPECT_EQ(ReadFile(Out()), "");
    }
}

// The address may come from elsewhere (HTTP-DNS): the URL's host is still
// the name the certificate must carry.
TEST_F(HttpSocketTlsTest, TheUrlsHostIsCheckedWhateverTheAddress) {
    const NginxServer server = Serve(TestCertificates().good);
    const std::string port = std::to_string(server.Port());
    const auto client = Client();

    EXPECT_EQ(Fetch(*client, "https://localhost:" + port + "/vorn_ad2.exe", 0, "127.0.0.1").first,
              HttpResult::Ok);
    const auto [result, log] =
        Fetch(*client, "https://wrong-host.invalid:" + port + "/vorn_ad2.exe", 0, "127.0.0.1");
    EXPECT_EQ(result, HttpResult::NoConnection);
    EXPECT_THAT(log, HasSubstr("hostname mismatch"));
    const std::vector<NginxAccess> access = server.AccessLog(1);
    ASSERT_EQ(access.size(), 1u) << "only the request to the right name went out";
    EXPECT_EQ(access[0].host, "localhost");
}

// An https URL goes over TLS or not at all: a server that speaks plain HTTP
// on its port never sees the request.
TEST_F(HttpSocketTlsTest, AnHttpsUrlIsNeverFetchedInPlain) {
    NginxServer plain(m_dir / "www");
    const auto client = Client();
    const std::string url = "https://127.0.0.1:" + std::to_string(plain.Port()) + "/vorn_ad2.exe";

    EXPECT_EQ(Fetch(*client, url).first, HttpResult::NoConnection);
    EXPECT_TRUE(plain.AccessLog().empty() ||
                plain.AccessLog()[0].request.find("vorn_ad2") == std::string::npos)
        << "the request went out in plain text";
    EXPECT_EQ(ReadFile(Out()), "");
}

}  // namespace
