// The launcher and https: a download server that sends it to an https server,
// which serves the signed package and its signature over TLS, or fails to
// prove its name, so that the backup installs. The system's trust store is
// the test CA, through SSL_CERT_FILE as for any OpenSSL program.
#include <gtest/gtest.h>

#include "tests/e2e/LauncherSandbox.h"
#include "tests/e2e/LoopbackServices.h"
#include "tests/support/NginxServer.h"
#include "tests/support/TestCertificates.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kRunLimit = 60s;

class SecureDownloadTest : public ::testing::Test {
protected:
    SecureDownloadTest() { sandbox.SetEnvironment("SSL_CERT_FILE", TestCertificates().caFile); }

    // The primary answers the package's request with a redirect to the same
    // path on secure.
    std::unique_ptr<PythonServer> RedirectingPrimary(const NginxServer& secure) {
        return StartMisbehavingServer(PrimaryPort(),
                                      "/status?code=302&location=" + secure.Url(PackageTarget()),
                                      serverLogs / "primary.log");
    }

    std::string Log() const { return ReadFile(sandbox.LogPath()); }

    LauncherSandbox sandbox;
    PackageFolder packages;
    TempDir serverLogs;
};

TEST_F(SecureDownloadTest, ASignedPackageIsInstalledOverHttpsAfterARedirect) {
    const NginxServer secure(packages.Path(), NginxOptions{.tls = TestCertificates().good});
    const auto primary = RedirectingPrimary(secure);

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_EQ(run->ExitCode(), 0);
    EXPECT_EQ(ReadFile(sandbox.GamePath()), ReadFile(VORN_E2E_SAMPLE_GAME)) << run->Stderr();
    const std::vector<NginxAccess> requests = secure.AccessLog(2);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].request, "GET " + PackageTarget() + " HTTP/1.1");
    EXPECT_EQ(requests[0].status, 200);
    EXPECT_EQ(requests[1].request, "GET " + PackageTarget() + ".minisig HTTP/1.1")
        << "the signature comes from the server that served the package, over the same scheme";
    EXPECT_NE(Log().find("DownLoadFile:signature " + secure.Url(PackageTarget()) +
                         ".minisig: signature by key"),
              std::string::npos)
        << Log();
}

// A certificate that does not prove the server's name costs one attempt; the
// request is never sent in plain text instead.
TEST_F(SecureDownloadTest, ACertificateThatFailsCostsOneAttemptAndTheBackupInstalls) {
    const auto backup = StartDownloadServer(BackupPort(), packages.Path());
    for (const RefusedCertificate& row : RefusedCertificates()) {
        SCOPED_TRACE(row.name);
        LauncherSandbox fresh;
        fresh.SetEnvironment("SSL_CERT_FILE", TestCertificates().caFile);
        const NginxServer secure(packages.Path(), NginxOptions{.tls = row.certificate});
        const auto primary = RedirectingPrimary(secure);

        const auto run = fresh.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

        EXPECT_EQ(run->ExitCode(), 0);
        EXPECT_EQ(ReadFile(fresh.GamePath()), ReadFile(VORN_E2E_SAMPLE_GAME)) << run->Stderr();
        const std::string log = ReadFile(fresh.LogPath());
        EXPECT_NE(log.find("connect error isproxy 0: certificate verify failed: " +
                           std::string(row.reason)),
                  std::string::npos)
            << log;
        EXPECT_TRUE(secure.AccessLog().empty()) << "a request reached the refused server";
    }
}

}  // namespace
