// First installs with the real launcher: the package comes from nginx or from
// the misbehaving server, the installer runs, and every failure ends at the
// customer-service page.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "BuildConstants.h"
#include "tests/e2e/LauncherSandbox.h"
#include "tests/e2e/LoopbackServices.h"
#include "tests/e2e/WaitUntil.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/OutputLines.h"
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

class InstallTest : public ::testing::Test {
protected:
    explicit InstallTest(const std::string& launcher = VORN_E2E_LAUNCHER) : sandbox(launcher) {}

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

// The launcher as a build without a package key makes it.
class UnsignedInstallTest : public InstallTest {
protected:
    UnsignedInstallTest() : InstallTest(VORN_E2E_UNSIGNED_LAUNCHER) {}
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
    // No failure: the log holds only the signature's good news.
    const std::string log = ReadFile(sandbox.LogPath());
    EXPECT_EQ(log.find("[ERROR]"), std::string::npos) << log;
    EXPECT_NE(log.find("verified, trusted comment: Quorvane 3D sample package"), std::string::npos)
        << log;
    EXPECT_NE(
        sandbox.SettingsText().find("\"QuorvaneInstallDic\"=\"" + sandbox.InstallDir() + "\""),
        std::string::npos)
        << sandbox.SettingsText();

    // The package, then its signature from the same server.
    const std::vector<NginxAccess> requests = primary->AccessLog(2);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].request, "GET " + PackageTarget() + " HTTP/1.1");
    EXPECT_EQ(requests[0].range, "-");
    EXPECT_EQ(requests[0].status, 200);
    EXPECT_EQ(requests[0].bytesSent, SamplePackageSize());
    EXPECT_EQ(requests[0].host, "localhost");
    EXPECT_EQ(requests[1].request, "GET " + PackageTarget() + ".minisig HTTP/1.1");
    EXPECT_EQ(requests[1].status, 200);
}

// A runtime folder where no lock file can be made: the launcher still
// installs, and its log says that it ran without the single-launcher guard.
TEST_F(InstallTest, WithoutALockFileTheInstallGoesOnAndTheLogSaysSo) {
    const auto primary = StartDownloadServer(PrimaryPort(), packages.Path());
    WriteFile(sandbox.Root() + "/not-a-folder", "");
    sandbox.SetEnvironment("XDG_RUNTIME_DIR", sandbox.Root() + "/not-a-folder/runtime");

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_EQ(run->ExitCode(), 0);
    ExpectSampleGameInstalled();
    EXPECT_TRUE(FileExists(sandbox.RunMarkerPath()));
    EXPECT_NE(ReadFile(sandbox.LogPath())
                  .find("[ERROR] [CUpdateDlg]\tnamed lock Launch unavailable: no single-launcher "
                        "guard\r\n"),
              std::string::npos)
        << ReadFile(sandbox.LogPath());
}

TEST_F(InstallTest, BackupServesThePackageWhenThePrimaryIsDown) {
    const auto backup = StartDownloadServer(BackupPort(), packages.Path());

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_EQ(run->ExitCode(), 0);
    ExpectSampleGameInstalled();
    const std::vector<NginxAccess> requests = backup->AccessLog(2);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].request, "GET " + PackageTarget() + " HTTP/1.1");
    EXPECT_EQ(requests[0].status, 200);
    EXPECT_EQ(requests[1].request, "GET " + PackageTarget() + ".minisig HTTP/1.1");
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
    EXPECT_EQ(backup->AccessLog(2).size(), 2u) << "the package and its signature";
}

// Without a name service the download hosts cannot be found: the player is
// told, as before, and sent to the service page.
TEST_F(InstallTest, WithoutANameServiceTheDownloadHostsCannotBeFound) {
    sandbox.TakeAwayTheResolver();

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_TRUE(Holds(run->StderrLines(), "d+ get ip error")) << run->Stderr();
    ExpectGaveUp(*run);
}

// A quick installer can end while the worker that started it is still inside
// its hand-over (held there by the test hook): the launcher waits for that
// worker instead of refusing the next one, and ends by itself.
TEST_F(InstallTest, AQuickInstallerStillLetsTheLauncherEnd) {
    const auto primary = StartDownloadServer(PrimaryPort(), packages.Path());
    sandbox.SetEnvironment("VORN_HOLD_HANDOVER", "1");

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, 60s);

    EXPECT_EQ(run->ExitCode(), 0);
    ExpectSampleGameInstalled();
    EXPECT_EQ(run->Stderr().find("the update is already running"), std::string::npos)
        << run->Stderr();
}

// A volume root that other users may write is no place for a program this
// player runs: the scan passes over it for the next volume, and writes nothing
// there.
TEST_F(InstallTest, AVolumeOthersCanWriteIsPassedOver) {
    const auto primary = StartDownloadServer(PrimaryPort(), packages.Path());
    const std::string shared = sandbox.InstallDir();
    const std::string own = sandbox.Root() + "/volume2";
    std::filesystem::create_directories(own);
    chmod(shared.c_str(), 01777);
    chmod(own.c_str(), 0755);
    sandbox.SetFixedVolumes({shared, own});

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_EQ(run->ExitCode(), 0);
    EXPECT_EQ(ReadFile(own + "/vorn/ADPackage/Ostrel.exe"), ReadFile(VORN_E2E_SAMPLE_GAME));
    EXPECT_TRUE(std::filesystem::is_empty(shared)) << "something was written to the shared root";
}

// The folder a new install downloads its package into and runs it from must
// belong to the player or the system, and so must what it already holds on
// the way to the game: a volume of another user, or one where another user
// has made the game's folder, is passed over for the next one.
struct ForeignVolume {
    const char* name;
    void (*spoil)(const std::string& volume);
};

class ForeignVolumeTest : public InstallTest,
                          public ::testing::WithParamInterface<ForeignVolume> {};

TEST_P(ForeignVolumeTest, IsPassedOverForTheNextOne) {
    if (geteuid() != 0) GTEST_SKIP() << "giving a folder to another user needs root";
    const auto primary = StartDownloadServer(PrimaryPort(), packages.Path());
    const std::string foreign = sandbox.InstallDir();
    const std::string own = sandbox.Root() + "/volume2";
    std::filesystem::create_directories(own);
    chmod(own.c_str(), 0755);
    sandbox.SetFixedVolumes({foreign, own});
    GetParam().spoil(foreign);

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_EQ(run->ExitCode(), 0);
    EXPECT_TRUE(ReadFile(LauncherSandbox::GamePathIn(own)) == ReadFile(VORN_E2E_SAMPLE_GAME))
        << "the game is not on the player's volume";
    EXPECT_FALSE(FileExists(foreign + "/vornTemp")) << "the foreign volume was probed";
    EXPECT_FALSE(FileExists(LauncherSandbox::GamePathIn(foreign)));
}

INSTANTIATE_TEST_SUITE_P(
    Volumes, ForeignVolumeTest,
    ::testing::Values(ForeignVolume{"RootOfAnotherUser",
                                    [](const std::string& volume) {
                                        LauncherSandbox::GiveToAnotherUser(volume);
                                    }},
                      ForeignVolume{"GameFolderOfAnotherUser",
                                    [](const std::string& volume) {
                                        std::filesystem::create_directory(volume + "/vorn");
                                        LauncherSandbox::GiveToAnotherUser(volume + "/vorn");
                                    }}),
    [](const ::testing::TestParamInfo<ForeignVolume>& info) { return info.param.name; });

// Under a umask that lets the group write (as with user private groups) the
// installed game is still the player's alone, so the next start runs it.
TEST_F(InstallTest, AGameInstalledUnderAGroupWritableUmaskStartsNextTime) {
    const auto primary = StartDownloadServer(PrimaryPort(), packages.Path());
    const mode_t testUmask = umask(002);
    const auto install = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);
    umask(testUmask);
    EXPECT_EQ(install->ExitCode(), 0);
    ExpectSampleGameInstalled();

    const auto launch = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_EQ(launch->ExitCode(), 0);
    ASSERT_TRUE(sandbox.WaitForGameStart(20s)) << launch->Stderr();
    EXPECT_EQ(sandbox.GameStarts()[0].workingDir, sandbox.InstallDir() + "/vorn");
}

// A temporary file planted as a symbolic link is not followed: the file it
// points to keeps its content, and the package is downloaded whole.
TEST_F(InstallTest, ATemporaryFilePlantedAsALinkIsNotFollowed) {
    const auto primary = StartDownloadServer(PrimaryPort(), packages.Path());
    const std::string precious = sandbox.Root() + "/home/precious.txt";
    WriteFile(precious, "the player's own file");
    ASSERT_EQ(symlink(precious.c_str(), sandbox.TempPackagePath().c_str()), 0);

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_EQ(run->ExitCode(), 0);
    EXPECT_EQ(ReadFile(precious), "the player's own file");
    ExpectSampleGameInstalled();
    const std::vector<NginxAccess> requests = primary->AccessLog(2);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].range, "-") << "nothing is resumed through the link";
}

// With no volume and a data folder too long to be used, the launcher says so,
// naming the folder, and works nowhere: before, every file went to "/". It
// runs as a user who cannot write "/", and strace shows what it tried.
TEST_F(InstallTest, AnInstallFolderTooLongEndsWithAMessageAndTouchesNothing) {
    std::string data = sandbox.Root() + "/data";
    while (data.size() < 140) data += "/long-folder-name";
    std::filesystem::create_directories(data);
    sandbox.SetEnvironment("XDG_DATA_HOME", data);
    sandbox.SetFixedVolumes({});
    sandbox.RunUnprivilegedAndTraced();

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_EQ(run->ExitCode(), 0);
    EXPECT_TRUE(Holds(run->StderrLines(), "安装目录的路径太长,无法安装游戏: " + data + "/Velmora"))
        << run->Stderr();
    const std::string trace = ReadFile(sandbox.FileTracePath());
    ASSERT_FALSE(trace.empty()) << "no trace of the run";
    for (const char* name : {"load_vorn_temp", "0.bak", "vornTemp", "vorn_ad2.exe", "vorn/"}) {
        EXPECT_EQ(trace.find(std::string("\"/") + name), std::string::npos)
            << name << " was tried at the root";
    }
    EXPECT_FALSE(FileExists(data + "/Velmora")) << "the unusable folder was made";
    EXPECT_FALSE(FileExists(sandbox.SettingsPath()));
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
    const std::vector<NginxAccess> requests = primary->AccessLog(2);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].range, "bytes=" + std::to_string(partialSize) + "-");
    EXPECT_EQ(requests[0].status, 206);
    EXPECT_EQ(requests[0].bytesSent, SamplePackageSize() - partialSize);
}

// The misbehaving server's packages are its byte pattern, which no installer
// can run and nobody signs: a launcher built without a key moves them into
// place, fails to start them and gives up, so what matters here is the
// package left behind.
TEST_F(UnsignedInstallTest, ServerIgnoringTheRangeGivesAnIntactPackage) {
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

TEST_F(UnsignedInstallTest, BodyCutShortIsCompletedFromTheBackup) {
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

// Both servers down: four refused connections, each logged beside the
// executable; the three messages, then the service page.
TEST_F(InstallTest, BothServersDownIsLoggedThenShowsTheThreeMessagesAndTheServicePage) {
    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_TRUE(HoldsInOrder(run->StderrLines(), kDownloadFailedMessages)) << run->Stderr();
    ExpectGaveUp(*run);
    EXPECT_FALSE(FileExists(sandbox.PackagePath()));

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
