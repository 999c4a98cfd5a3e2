// First installs with the real launcher: the package comes from nginx or from
// the misbehaving server, the installer runs, and every failure ends at the
// customer-service page.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <regex>

#include "BuildConstants.h"
#include "tests/e2e/LauncherSandbox.h"
#include "tests/e2e/LoopbackServices.h"
#include "tests/e2e/WaitUntil.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/SilentListener.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kRunLimit = 120s;
constexpr int64_t kPatternSize = 300000;

// The messages of a failed package download, in the order they are shown.
const std::vector<std::string> kDownloadFailedMessages = {"下载游戏安装包失败!请重新尝试",
                                                          "vorn_ad2.exe", "-1"};
constexpr const char* kNetworkFailedMessage =
    "您的网络异常,连接更新服务器失败,请检查您的网络稍后再试!";

// True when lines holds expected in this order, other lines between them allowed.
bool HoldsInOrder(const std::vector<std::string>& lines, const std::vector<std::string>& expected) {
    auto next = lines.begin();
    for (const std::string& wanted : expected) {
        next = std::find(next, lines.end(), wanted);
        if (next == lines.end()) return false;
        ++next;
    }
    return true;
}

bool Holds(const std::vector<std::string>& lines, const std::string& wanted) {
    return HoldsInOrder(lines, {wanted});
}

class InstallTest : public ::testing::Test {
protected:
    void ExpectSampleGameInstalled() {
        EXPECT_EQ(ReadFile(sandbox.GamePath()), ReadFile(VORN_E2E_SAMPLE_GAME));
        struct stat info {};
        ASSERT_EQ(stat(sandbox.GamePath().c_str(), &info), 0);
        EXPECT_TRUE(info.st_mode & S_IXUSR);
        EXPECT_FALSE(FileExists(sandbox.PackagePath())) << "the installer's package stays";
        EXPECT_FALSE(FileExists(sandbox.TempPackagePath()));
    }

    // The launcher has given up: the service page is open and the run marker gone.
    void ExpectGaveUp(const ProgramRun& run) {
        EXPECT_EQ(run.ExitCode(), 0);
        EXPECT_EQ(sandbox.OpenedPage(), build::kServicePageUrl);
        EXPECT_FALSE(FileExists(sandbox.RunMarkerPath()));
    }

    LauncherSandbox sandbox;
    PackageFolder packages;
    TempDir serverLogs;
};

TEST_F(InstallTest, FirstInstallFetchesThePackageFromThePrimaryAndRunsIt) {
    const auto primary = StartDownloadServer(PrimaryPort(), packages.Path());

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_EQ(run->ExitCode(), 0);
    ExpectSampleGameInstalled();
    // After the installer the launcher ends without starting the game and
    // keeps its run marker.
    EXPECT_TRUE(FileExists(sandbox.RunMarkerPath()));
    EXPECT_TRUE(sandbox.GameStarts().empty());
    EXPECT_FALSE(FileExists(sandbox.LogPath())) << ReadFile(sandbox.LogPath());
    EXPECT_NE(
        sandbox.SettingsText().find("\"QuorvaneInstallDic\"=\"" + sandbox.InstallDir() + "\""),
        std::string::npos)
        << sandbox.SettingsText();

    const std::vector<NginxAccess> requests = primary->AccessLog(1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].request, "GET " + PackageTarget() + " HTTP/1.1");
    EXPECT_EQ(requests[0].range, "-");
    EXPECT_EQ(requests[0].status, 200);
    EXPECT_EQ(requests[0].bytesSent, SamplePackageSize());
    EXPECT_EQ(requests[0].host, "localhost");
}

TEST_F(InstallTest, BackupServesThePackageWhenThePrimaryIsDown) {
    const auto backup = StartDownloadServer(BackupPort(), packages.Path());

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_EQ(run->ExitCode(), 0);
    ExpectSampleGameInstalled();
    const std::vector<NginxAccess> requests = backup->AccessLog(1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].request, "GET " + PackageTarget() + " HTTP/1.1");
    EXPECT_EQ(requests[0].status, 200);
}

// A primary that drops connection attempts, like a dead host behind a
// firewall, costs one attempt: the backup installs the game long before the
// 15-second watchdog would give up.
TEST_F(InstallTest, ASilentPrimaryCostsOneAttemptAndTheBackupInstalls) {
    const SilentListener silentPrimary(PrimaryPort());
    const auto backup = StartDownloadServer(BackupPort(), packages.Path());

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_EQ(run->ExitCode(), 0);
    ExpectSampleGameInstalled();
    EXPECT_FALSE(Holds(run->StderrLines(), kNetworkFailedMessage)) << run->Stderr();
    EXPECT_NE(ReadFile(sandbox.LogPath())
                  .find("[CHttpSocket]\tConnectHost() 127.0.0.1 127.0.0.1 connect error isproxy 0"),
              std::string::npos)
        << ReadFile(sandbox.LogPath());
    EXPECT_EQ(backup->AccessLog(1).size(), 1u);
}

// Without a name service the download hosts cannot be found: the player is
// told, as before, and sent to the service page.
TEST_F(InstallTest, WithoutANameServiceTheDownloadHostsCannotBeFound) {
    sandbox.TakeAwayTheResolver();

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_TRUE(Holds(run->StderrLines(), "d+ get ip error")) << run->Stderr();
    ExpectGaveUp(*run);
}

TEST_F(InstallTest, KilledLauncherLeavesAPartialPackageThatTheNextRunResumes) {
    int64_t partialSize = 0;
    {
        const auto slowPrimary = StartDownloadServer(PrimaryPort(), packages.Path(), 1 << 20);
        const auto first = sandbox.Start({"DEBUG=TRUE"});
        ASSERT_TRUE(WaitUntil(
            [&] { return ReadFile(sandbox.TempPackagePath()).size() >= 512 * 1024; }, 60s))
            << first->Stderr();
        first->Kill();
        partialSize = static_cast<int64_t>(ReadFile(sandbox.TempPackagePath()).size());
    }
    ASSERT_LT(partialSize, SamplePackageSize());
    const auto primary = StartDownloadServer(PrimaryPort(), packages.Path());

    const auto second = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_EQ(second->ExitCode(), 0);
    ExpectSampleGameInstalled();
    const std::vector<NginxAccess> requests = primary->AccessLog(1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].range, "bytes=" + std::to_string(partialSize) + "-");
    EXPECT_EQ(requests[0].status, 206);
    EXPECT_EQ(requests[0].bytesSent, SamplePackageSize() - partialSize);
}

// The misbehaving server's packages are its byte pattern, which no installer
// can run: the launcher moves them into place, fails to start them and gives
// up, so what matters here is the package left behind.
TEST_F(InstallTest, ServerIgnoringTheRangeGivesAnIntactPackage) {
    WriteFile(sandbox.TempPackagePath(), std::string(1000, 'x'));
    const std::string log = serverLogs / "primary.log";
    const auto primary = StartMisbehavingServer(
        PrimaryPort(), "/ignore-range?size=" + std::to_string(kPatternSize), log);

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_EQ(ReadFile(log), "1 " + PackageTarget() + " bytes=1000-\n");
    EXPECT_TRUE(ReadFile(sandbox.PackagePath()) == PatternBytes(0, kPatternSize))
        << "package of " << ReadFile(sandbox.PackagePath()).size() << " bytes";
    ExpectGaveUp(*run);
}

TEST_F(InstallTest, BodyCutShortIsCompletedFromTheBackup) {
    const std::string primaryLog = serverLogs / "primary.log";
    const std::string backupLog = serverLogs / "backup.log";
    const auto primary = StartMisbehavingServer(
        PrimaryPort(), "/close-early?size=" + std::to_string(kPatternSize) + "&send=100000",
        primaryLog);
    const auto backup = StartMisbehavingServer(
        BackupPort(), "/file?size=" + std::to_string(kPatternSize), backupLog);

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_EQ(ReadFile(primaryLog), "1 " + PackageTarget() + " -\n");
    EXPECT_EQ(ReadFile(backupLog), "1 " + PackageTarget() + " bytes=100000-\n");
    EXPECT_TRUE(ReadFile(sandbox.PackagePath()) == PatternBytes(0, kPatternSize))
        << "package of " << ReadFile(sandbox.PackagePath()).size() << " bytes";
    ExpectGaveUp(*run);
}

TEST_F(InstallTest, BothServersDownShowsTheThreeMessagesThenTheServicePage) {
    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_TRUE(HoldsInOrder(run->StderrLines(), kDownloadFailedMessages)) << run->Stderr();
    ExpectGaveUp(*run);
    EXPECT_FALSE(FileExists(sandbox.PackagePath()));
}

TEST_F(InstallTest, FailedDownloadIsLoggedBesideTheExecutable) {
    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);
    ASSERT_EQ(run->ExitCode(), 0);

    const std::string log = ReadFile(sandbox.LogPath());
    ASSERT_FALSE(log.empty()) << "no log at " << sandbox.LogPath();
    ASSERT_TRUE(log.ends_with("\r\n"));
    const std::regex line(
        R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} \[ERROR\] \[(CHttpSocket|DownLoadThread)\]\t.+)");
    int connectErrors = 0;
    for (size_t start = 0; start < log.size();) {
        const size_t end = log.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        const std::string text = log.substr(start, end - start);
        EXPECT_TRUE(std::regex_match(text, line)) << text;
        if (text.find("[CHttpSocket]\tConnectHost() ") != std::string::npos &&
            text.find("connect error") != std::string::npos) {
            ++connectErrors;
        }
        start = end + 2;
    }
    // Four attempts, each refused.
    EXPECT_EQ(connectErrors, 4) << log;
}

TEST_F(InstallTest, WatchdogEndsARunThatReceivesNothingFor15Seconds) {
    const auto primary =
        StartMisbehavingServer(PrimaryPort(), "/silent", serverLogs / "primary.log");
    const auto backup = StartMisbehavingServer(BackupPort(), "/silent", serverLogs / "backup.log");

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_GE(run->Seconds(), 15.0);
    EXPECT_LT(run->Seconds(), 40.0);
    EXPECT_TRUE(Holds(run->StderrLines(), kNetworkFailedMessage)) << run->Stderr();
    EXPECT_FALSE(Holds(run->StderrLines(), kDownloadFailedMessages[0])) << run->Stderr();
    ExpectGaveUp(*run);
}

}  // namespace
