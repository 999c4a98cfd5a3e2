// Download servers that work against the launcher: one that trickles its
// answer to hold it for ever, one that sends a body without end, one that
// writes control bytes for the log. Each costs at most an attempt.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <filesystem>

#include "BuildConstants.h"
#include "tests/e2e/LauncherSandbox.h"
#include "tests/e2e/LoopbackServices.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/OutputLines.h"
#include "tests/support/PrivateNamespace.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kRunLimit = 60s;
const std::vector<std::string> kDownloadFailedMessages = {"下载游戏安装包失败!请重新尝试",
                                                          "vorn_ad2.exe", "-1"};

// The sample package and its signature, trickled out one byte every 200 ms
// (part=head: from the first byte of the head).
std::string Trickle(const std::string& file, const std::string& part = "body") {
    return "/drip?part=" + part + "&every=200&path=" + file;
}
std::string Served(const std::string& file) {
    return "/drip?every=0&bytes=1048576&path=" + file;
}
const std::string kPackage = VORN_E2E_SAMPLE_PACKAGE;
const std::string kSignature = kPackage + ".minisig";

class HostileServerTest : public ::testing::Test {
protected:
    HostileServerTest() {
        // The launcher's 30-second bounds pass in 6 s; its watchdog's 15 s
        // are real.
        sandbox.SetEnvironment("VORN_CLOCK_RATE", "5");
    }

    std::string Log() const { return ReadFile(sandbox.LogPath()); }

    void ExpectBackupInstalled(const ProgramRun& run) {
        EXPECT_EQ(run.ExitCode(), 0);
        EXPECT_EQ(ReadFile(sandbox.GamePath()), ReadFile(VORN_E2E_SAMPLE_GAME)) << run.Stderr();
        EXPECT_FALSE(FileExists(sandbox.TempPackagePath()));
        EXPECT_NE(Log().find("verified, trusted comment: Quorvane 3D sample package"),
                  std::string::npos)
            << Log();
    }

    LauncherSandbox sandbox;
    PackageFolder packages;
    TempDir serverLogs;
};

TEST_F(HostileServerTest, ATricklingHeadCostsOneAttemptAndTheBackupInstalls) {
    const auto primary = StartMisbehavingServer(PrimaryPort(), Trickle(kPackage, "head"),
                                                serverLogs / "primary.log");
    const auto backup = StartDownloadServer(BackupPort(), packages.Path());

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    ExpectBackupInstalled(*run);
    EXPECT_NE(Log().find("[CHttpSocket]\tRecvHttpHeadRes:head not complete after"),
              std::string::npos)
        << Log();
}

// What trickled in is kept: the backup resumes from it, and the whole is
// still the signed package.
TEST_F(HostileServerTest, ATricklingBodyIsLeftForTheBackupToResume) {
    const auto primary =
        StartMisbehavingServer(PrimaryPort(), Trickle(kPackage), serverLogs / "primary.log");
    const auto backup = StartDownloadServer(BackupPort(), packages.Path());

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    ExpectBackupInstalled(*run);
    EXPECT_NE(Log().find("[CHttpSocket]\tRecvHttpFile() slower than 1024 bytes/s over 30000 ms"),
              std::string::npos)
        << Log();
    const std::vector<NginxAccess> requests = backup->AccessLog(2);
    ASSERT_FALSE(requests.empty());
    EXPECT_TRUE(requests[0].range.starts_with("bytes=")) << "the trickle was not resumed";
    EXPECT_EQ(requests[0].status, 206);
}

TEST_F(HostileServerTest, ATricklingSignatureCostsOneAttemptAndTheBackupInstalls) {
    const auto primary = StartRoutedServer(
        PrimaryPort(),
        {{PackageTarget(), Served(kPackage)}, {PackageTarget() + ".minisig", Trickle(kSignature)}},
        serverLogs / "primary.log");
    const auto backup = StartDownloadServer(BackupPort(), packages.Path());

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    ExpectBackupInstalled(*run);
    EXPECT_NE(Log().find("[CHttpSocket]\tRecvHttpFile() not complete after"), std::string::npos)
        << Log();
    EXPECT_NE(Log().find(".minisig: no signature file beside the package"), std::string::npos)
        << Log();
}

uint64_t FreeBytes(const std::string& path) {
    struct statvfs info {};
    return statvfs(path.c_str(), &info) == 0 ? uint64_t(info.f_bavail) * info.f_frsize : 0;
}

// Both servers send a body without a length that never ends. The install
// folder lies on a small volume of the test's own: each attempt stops while
// the volume keeps its reserve and deletes what it wrote, and the run ends as
// any failed download does.
TEST_F(HostileServerTest, AnEndlessBodyLeavesTheVolumeAsItFoundIt) {
    if (getuid() != 0) GTEST_SKIP() << "a volume of the test's own needs root";
    const std::string data = sandbox.Root() + "/data";
    ASSERT_EQ(MountSmallVolume(data, 48 * 1024 * 1024), "");
    sandbox.SetFixedVolumes({});  // so the install folder is $XDG_DATA_HOME/Velmora
    const uint64_t freeBefore = FreeBytes(data);
    const std::string endless = "/drip?endless=1&every=0&bytes=65536";
    const auto primary = StartMisbehavingServer(PrimaryPort(), endless, serverLogs / "primary");
    const auto backup = StartMisbehavingServer(BackupPort(), endless, serverLogs / "backup");

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_TRUE(HoldsInOrder(run->StderrLines(), kDownloadFailedMessages)) << run->Stderr();
    EXPECT_EQ(FreeBytes(data), freeBefore);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(data)) {
        if (entry.is_regular_file()) {
            EXPECT_EQ(entry.file_size(), 0u) << entry.path();
        }
    }
    EXPECT_FALSE(FileExists(data + "/Velmora/0.bak"));
    umount2(data.c_str(), MNT_DETACH);
}

// A Location that is no URL goes to the log as it failed; its control bytes
// are written as escapes, so no forged line and no terminal escape get in.
TEST_F(HostileServerTest, ALocationWithControlBytesCannotForgeALogLine) {
    const std::string location =
        "http://evil\x1b[2J\n2026-01-01 00:00:00 [ERROR] [DownLoadThread]\tFORGED/x";
    const auto primary = StartMisbehavingServer(
        PrimaryPort(),
        RawReply("HTTP/1.1 302 Found\r\nLocation: " + location + "\r\nContent-Length: 0\r\n\r\n"),
        serverLogs / "primary.log");
    const auto backup = StartDownloadServer(BackupPort(), packages.Path());

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    ExpectBackupInstalled(*run);
    const std::string log = Log();
    EXPECT_NE(log.find("ParseURL() http://evil\\x1b[2J\\n2026-01-01 00:00:00 [ERROR] "
                       "[DownLoadThread]\\tFORGED/x\r\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find('\x1b'), std::string::npos);
    EXPECT_EQ(log.find("\n2026-01-01 00:00:00"), std::string::npos) << log;
}

}  // namespace
