// The TLS test fixtures as curl, trusting only the test CA, meets them: each
// certificate is what its name says, and the TLS nginx redirects and counts as
// the plain one does.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/support/NginxServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/ToolRun.h"

namespace {

using testing::HasSubstr;

constexpr const char kContent[] = "served over TLS\n";

// curl trusting only the test CA, with extra arguments before the URL.
ToolRun Curl(std::vector<std::string> arguments, const std::string& url) {
    std::vector<std::string> command{"curl", "-sS",      "--max-time",
                                     "20",   "--cacert", TestCertificates().caFile};
    command.insert(command.end(), arguments.begin(), arguments.end());
    command.push_back(url);
    return RunTool(command);
}

struct CertificateCase {
    const char* name;
    ServerCertificate TestCertificateSet::*certificate;
    const char* host;   // the URL's host, always reaching 127.0.0.1
    int curlExit;       // 0, or 60: the peer's certificate is refused
    const char* words;  // what curl says: the content, or why it refused
};

void PrintTo(const CertificateCase& c, std::ostream* out) {
    *out << c.name;
}

class CertificateTest : public testing::TestWithParam<CertificateCase> {};

TEST_P(CertificateTest, CurlTrustingTheTestCaMakesOfItWhatItsNameSays) {
    const CertificateCase& c = GetParam();
    TempDir root;
    WriteFile(root / "file", kContent);
    NginxServer server(root.Path(), {.tls = TestCertificates().*c.certificate});
    const std::string url =
        "https://" + std::string(c.host) + ":" + std::to_string(server.Port()) + "/file";
    const std::string reach =
        std::string(c.host) + ":" + std::to_string(server.Port()) + ":127.0.0.1";

    const ToolRun run = Curl({"--resolve", reach}, url);

    EXPECT_EQ(run.exitCode, c.curlExit) << run.output;
    EXPECT_THAT(run.output, HasSubstr(c.words));
    EXPECT_EQ(server.ConnectionsAccepted(), 1u) << "counted whether the handshake ends or not";
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, CertificateTest,
    testing::Values(
        CertificateCase{"GoodByAddress", &TestCertificateSet::good, "127.0.0.1", 0, kContent},
        CertificateCase{"GoodByName", &TestCertificateSet::good, "localhost", 0, kContent},
        CertificateCase{"WrongHostByAddress", &TestCertificateSet::wrongHost, "127.0.0.1", 60,
                        "no alternative certificate subject name matches target host name"},
        CertificateCase{"WrongHostByName", &TestCertificateSet::wrongHost, "localhost", 60,
                        "no alternative certificate subject name matches target host name"},
        CertificateCase{"Expired", &TestCertificateSet::expired, "127.0.0.1", 60,
                        "certificate has expired"},
        CertificateCase{"Untrusted", &TestCertificateSet::untrusted, "127.0.0.1", 60,
                        "self-signed certificate in certificate chain"},
        CertificateCase{"SelfSigned", &TestCertificateSet::selfSigned, "127.0.0.1", 60,
                        "self-signed certificate\n"}),
    [](const testing::TestParamInfo<CertificateCase>& info) { return info.param.name; });

class TlsNginxTest : public testing::Test {
protected:
    TlsNginxTest() { WriteFile(m_root / "file", kContent); }

    TempDir m_root;
    NginxServer m_secure{m_root.Path(), {.tls = TestCertificates().good}};
};

TEST_F(TlsNginxTest, ServesRangesAndRedirectsToItsOwnHttpsUrls) {
    EXPECT_EQ(Curl({"-r", "7-10"}, m_secure.Url("/file")).output, "over");
    const ToolRun moved = Curl({"-o", "/dev/null", "-w", "%{http_code} %{redirect_url}"},
                               m_secure.Url("/moved/file"));
    EXPECT_EQ(moved.output, "302 " + m_secure.Url("/file"));
    EXPECT_THAT(moved.output, testing::StartsWith("302 https://127.0.0.1:"));

    const std::vector<NginxAccess> log = m_secure.AccessLog(2);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].range, "bytes=7-10");
    EXPECT_EQ(log[0].status, 206);
    EXPECT_EQ(m_secure.ConnectionsAccepted(), 2u);
}

TEST_F(TlsNginxTest, APlainServerSendsTheClientOnToIt) {
    NginxServer plain(m_root.Path());
    const std::string from = plain.RedirectToHttpsUrl(m_secure, "/file");
    EXPECT_THAT(from, testing::StartsWith("http://127.0.0.1:"));

    const ToolRun run = Curl({"-L", "-w", "%{url_effective}"}, from);

    EXPECT_EQ(run.output, std::string(kContent) + m_secure.Url("/file"));
    EXPECT_EQ(plain.ConnectionsAccepted(), 1u);
    EXPECT_EQ(m_secure.ConnectionsAccepted(), 1u);
}

}  // namespace
