// The install job against real servers: nginx, and the misbehaving server for
// answers that nginx never gives.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <sstream>
#include <thread>

#include "platform/Files.h"
#include "support/Log.h"
#include "tests/support/FakeClock.h"
#include "tests/support/NginxServer.h"
#include "tests/support/PythonServer.h"
#include "tests/update/DownloadTestSupport.h"
#include "tests/update/FakeVolumes.h"

namespace {

const std::vector<std::string> kPackageFailed = {"下载游戏安装包失败!请重新尝试", "vorn_ad2.exe",
                                                 "-1"};

// The log goes to a file of the test program's own for its whole run.
class LogFile : public ::testing::Environment {
public:
    static std::string Path() { return Folder().Path() + "/updatelog.log"; }

    void SetUp() override {
        LogConfig config{};
        config.outputs = LOG_OUT_FILE;
        config.fileMode = 0x01;
        config.lineFormat = 0x77;
        snprintf(config.baseName, sizeof config.baseName, "%s/updatelog", Folder().Path().c_str());
        log_init(config);
    }

private:
    static TempDir& Folder() {
        static TempDir folder;
        return folder;
    }
};
const ::testing::Environment* const kLogFile = ::testing::AddGlobalTestEnvironment(new LogFile);

// nginx writes a request's line once the answer has gone out, which may be
// after the client has read it: wait until count lines are there (or a while
// has passed, and let the test's checks tell what is missing).
std::vector<NginxAccess> AccessLogOf(const NginxServer& server, size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::vector<NginxAccess> access = server.AccessLog();
    while (access.size() < count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        access = server.AccessLog();
    }
    return access;
}

// One line per request of the misbehaving servers started with it:
// "<connection> <target> <range>".
struct RequestLog {
    explicit RequestLog(const std::string& path) : path(path) {}

    struct Entry {
        std::string target;
        std::string range;
    };
    std::vector<Entry> Entries() const {
        std::vector<Entry> entries;
        std::istringstream lines(ReadFile(path));
        std::string line;
        while (std::getline(lines, line)) {
            std::istringstream in(line);
            std::string connection;
            Entry entry;
            in >> connection >> entry.target >> entry.range;
            entries.push_back(entry);
        }
        return entries;
    }
    std::vector<std::string> Targets() const {
        std::vector<std::string> targets;
        for (const Entry& entry : Entries()) targets.push_back(entry.target);
        return targets;
    }

    const std::string path;
};

class DownloadTest : public DownloadFixture {
protected:
    // A misbehaving server that logs into the shared request log.
    PythonServer MisbehavingServer() {
        return PythonServer("misbehaving_server.py", {"--log", requests.path});
    }

    RequestLog requests{work / "requests.log"};
    const std::string source = PatternBody(300 * 1024, 7);
};

TEST_F(DownloadTest, ServersAlternateAndTheNameIsDisguisedOnFirstAndThirdAttempt) {
    const struct {
        int32_t debugLaunch;
        std::vector<std::string> names;
    } cases[] = {
        {0, {"A/vorn_ad2.vorn123", "B/vorn_ad2.exe", "A/vorn_ad2.vorn123", "B/vorn_ad2.exe"}},
        {1, {"A/vorn_ad2.exe", "B/vorn_ad2.exe", "A/vorn_ad2.exe", "B/vorn_ad2.exe"}},
    };
    PythonServer serverA = MisbehavingServer();
    PythonServer serverB = MisbehavingServer();
    // Both close the connection without an answer (result 5).
    UseServers(serverA.Url("/raw?reply=&server=A"), serverB.Url("/raw?reply=&server=B"));
    for (const auto& row : cases) {
        SCOPED_TRACE(row.debugLaunch);
        FakeUpdateHost fresh;
        fresh.config.m_szInstallDir = installDir;
        fresh.config.m_szPackName = "vorn_ad2.exe";
        fresh.config.m_szGamePackUrl = host.config.m_szGamePackUrl;
        fresh.config.m_szGamePackUrlBak = host.config.m_szGamePackUrlBak;
        fresh.config.m_nMode = MODE_INSTALL;
        fresh.debugLaunch = row.debugLaunch;
        unlink(requests.path.c_str());

        DownLoadThread worker(fresh, services);
        worker.PrepareJob();
        ASSERT_TRUE(worker.Start());
        worker.Join();

        std::vector<std::string> expected;
        for (const std::string& name : row.names) expected.push_back("/raw?reply=&server=" + name);
        EXPECT_EQ(requests.Targets(), expected);
        EXPECT_EQ(fresh.MessageTexts(), kPackageFailed);
        EXPECT_EQ(fresh.Finishes(), std::vector<bool>{true});
        EXPECT_FALSE(FileExists(targetPath));
    }
}

TEST_F(DownloadTest, TodaysTempFileIsResumed) {
    NginxServer server(ServeFolderWith(source));
    UseServers(server.Url(""), server.Url("/backup"));
    WriteFile(tempPath, source.substr(0, 1000));
    WriteFile(work / "localVer.dat", "1.0");

    RunPackageJob();

    const std::vector<NginxAccess> access = AccessLogOf(server, 1);
    ASSERT_EQ(access.size(), 1u);
    EXPECT_EQ(access[0].request, "GET /vorn_ad2.vorn123 HTTP/1.1");
    EXPECT_EQ(access[0].range, "bytes=1000-");
    EXPECT_EQ(access[0].status, 206);
    EXPECT_TRUE(ReadFile(targetPath) == source) << "the package differs from the source";
    EXPECT_FALSE(FileExists(tempPath));
    EXPECT_FALSE(FileExists(work / "localVer.dat"));
    EXPECT_EQ(host.Finishes(), std::vector<bool>{false});
    EXPECT_TRUE(host.Messages().empty());
    ASSERT_FALSE(host.Redraws().empty());
    EXPECT_EQ(host.Redraws().back().status, "正在安装游戏");
    EXPECT_EQ(host.Redraws().back().size, "");
}

TEST_F(DownloadTest, TempFileFromAnotherDayIsDiscarded) {
    NginxServer server(ServeFolderWith(source));
    UseServers(server.Url(""), server.Url("/backup"));
    WriteFile(tempPath, std::string(1000, 'Z'));
    FakeClock tomorrow;
    tomorrow.wallSeconds = time(nullptr) + 30 * 3600;
    services.clock = &tomorrow;

    RunPackageJob();

    const std::vector<NginxAccess> access = AccessLogOf(server, 1);
    ASSERT_EQ(access.size(), 1u);
    EXPECT_EQ(access[0].range, "-");
    EXPECT_TRUE(ReadFile(targetPath) == source);
    EXPECT_EQ(host.Finishes(), std::vector<bool>{false});
}

TEST_F(DownloadTest, ServerThatIgnoresRangeRestartsTheTempFile) {
    PythonServer server = MisbehavingServer();
    UseServers(server.Url("/ignore-range?size=5000&name="), server.Url("/none"));
    WriteFile(tempPath, PatternBody(1000));

    RunPackageJob();

    ASSERT_EQ(requests.Entries().size(), 1u);
    EXPECT_EQ(requests.Entries()[0].range, "bytes=1000-");
    EXPECT_TRUE(ReadFile(targetPath) == PatternBody(5000)) << ReadFile(targetPath).size();
    EXPECT_EQ(host.Finishes(), std::vector<bool>{false});
}

TEST_F(DownloadTest, RefusedAnswerDeletesTempAndNextServerStartsOver) {
    const struct {
        const char* refusal;
        const char* primaryTarget;
    } cases[] = {
        {"404", "/status?code=404&name="},
        {"206 from the wrong offset", "/wrong-range?size=400000&shift=10&name="},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.refusal);
        TempDir www;
        WriteFile(www / "vorn_ad2.exe", source);
        NginxServer backup(www.Path());
        PythonServer primary = MisbehavingServer();
        unlink(requests.path.c_str());
        unlink(targetPath.c_str());
        FakeUpdateHost fresh;
        fresh.config.m_szInstallDir = installDir;
        fresh.config.m_szPackName = "vorn_ad2.exe";
        fresh.config.m_szGamePackUrl = primary.Url(row.primaryTarget);
        fresh.config.m_szGamePackUrlBak = backup.Url("");
        fresh.config.m_nMode = MODE_INSTALL;
        WriteFile(tempPath, source.substr(0, 1000));

        DownLoadThread worker(fresh, services);
        worker.PrepareJob();
        ASSERT_TRUE(worker.Start());
        worker.Join();

        ASSERT_EQ(requests.Entries().size(), 1u);
        EXPECT_EQ(requests.Entries()[0].range, "bytes=1000-");
        const std::vector<NginxAccess> access = AccessLogOf(backup, 1);
        ASSERT_EQ(access.size(), 1u);
        EXPECT_EQ(access[0].request, "GET /vorn_ad2.exe HTTP/1.1");
        EXPECT_EQ(access[0].range, "-") << "the second attempt starts from 0";
        EXPECT_TRUE(ReadFile(targetPath) == source);
        EXPECT_EQ(fresh.Finishes(), std::vector<bool>{false});
    }
}

TEST_F(DownloadTest, ShortTransferIsRetriedFromWhereItStopped) {
    PythonServer server = MisbehavingServer();
    UseServers(server.Url("/close-early?size=5000&send=500&name="),
               server.Url("/file?size=5000&name="));

    RunPackageJob();

    const std::vector<RequestLog::Entry> entries = requests.Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].range, "-");
    EXPECT_EQ(entries[1].range, "bytes=500-");
    EXPECT_TRUE(ReadFile(targetPath) == PatternBody(5000));
    EXPECT_EQ(host.Finishes(), std::vector<bool>{false});
}

TEST_F(DownloadTest, PackageThatNeverArrivesWholeIsNeverPutInPlace) {
    PythonServer server = MisbehavingServer();
    // Each attempt gets 100 more bytes and then loses the connection.
    UseServers(server.Url("/close-early?size=5000&send=100&name="),
               server.Url("/close-early?size=5000&send=100&name="));

    RunPackageJob();

    EXPECT_EQ(requests.Entries().size(), 4u);
    EXPECT_FALSE(FileExists(targetPath));
    EXPECT_EQ(host.MessageTexts(), kPackageFailed);
    EXPECT_EQ(host.Finishes(), std::vector<bool>{true});
}

TEST_F(DownloadTest, RedirectIsFollowedOnceByName) {
    NginxServer server(ServeFolderWith(source));
    // The first request goes to the resolved address, the redirect's by name.
    UseServers("http://quorvane.invalid:" + std::to_string(server.Port()) + "/moved",
               server.Url("/backup"), "127.0.0.1");
    host.debugLaunch = 1;

    RunPackageJob();

    const std::vector<NginxAccess> access = AccessLogOf(server, 2);
    ASSERT_EQ(access.size(), 2u);
    EXPECT_EQ(access[0].request, "GET /moved/vorn_ad2.exe HTTP/1.1");
    EXPECT_EQ(access[0].status, 302);
    EXPECT_EQ(access[0].host, "quorvane.invalid");
    EXPECT_EQ(access[1].request, "GET /vorn_ad2.exe HTTP/1.1");
    EXPECT_EQ(access[1].status, 200);
    EXPECT_EQ(access[1].host, "127.0.0.1");
    EXPECT_TRUE(ReadFile(targetPath) == source);
    EXPECT_EQ(host.Finishes(), std::vector<bool>{false});
}

// A redirect answered by another redirect is a failed attempt: the next
// server is asked, and the one that serves the package installs it.
TEST_F(DownloadTest, SecondRedirectIsAFailedAttempt) {
    NginxServer server(ServeFolderWith(source));
    UseServers(server.Url("/moved/moved"), server.Url(""));
    host.debugLaunch = 1;

    RunPackageJob();

    const std::vector<NginxAccess> access = AccessLogOf(server, 3);
    ASSERT_EQ(access.size(), 3u);
    EXPECT_EQ(access[0].request, "GET /moved/moved/vorn_ad2.exe HTTP/1.1");
    EXPECT_EQ(access[1].request, "GET /moved/vorn_ad2.exe HTTP/1.1");
    EXPECT_EQ(access[1].status, 302);
    EXPECT_EQ(access[2].request, "GET /vorn_ad2.exe HTTP/1.1");
    EXPECT_TRUE(ReadFile(targetPath) == source);
    EXPECT_EQ(host.Finishes(), std::vector<bool>{false});
    ASSERT_EQ(host.Placed().size(), 1u);
    EXPECT_EQ(host.Placed()[0].path, targetPath);
}

TEST_F(DownloadTest, RedirectsEverywhereEndInTheUsualFailure) {
    NginxServer server(ServeFolderWith(source));
    UseServers(server.Url("/moved/moved"), server.Url("/moved/moved"));
    host.debugLaunch = 1;

    RunPackageJob();

    EXPECT_EQ(AccessLogOf(server, 8).size(), 8u) << "four attempts, each redirected twice";
    EXPECT_FALSE(FileExists(targetPath));
    EXPECT_TRUE(host.Placed().empty());
    EXPECT_EQ(host.MessageTexts(), kPackageFailed);
    EXPECT_EQ(host.Finishes(), std::vector<bool>{true});
}

TEST_F(DownloadTest, RenameThatFailsThreeTimesGivesUpAfterTwoPauses) {
    NginxServer server(ServeFolderWith(source));
    UseServers(server.Url(""), server.Url("/backup"));
    host.debugLaunch = 1;
    // A folder with something in it where the package should go.
    mkdir(targetPath.c_str(), 0755);
    WriteFile(targetPath + "/keep", "x");
    FakeClock clock;
    clock.wallSeconds = time(nullptr);
    services.clock = &clock;

    RunPackageJob();

    // Three renames with a second's pause between them, about two seconds in all.
    EXPECT_EQ(clock.sleptMs, 2000u);
    const std::vector<FakeUpdateHost::Message> messages = host.Messages();
    ASSERT_EQ(messages.size(), 6u);
    EXPECT_EQ(messages[0].text, std::to_string(EISDIR));
    EXPECT_EQ(messages[1].text, platform::SystemErrorText(EISDIR));
    EXPECT_EQ(messages[1].icon, platform::MessageIcon::Information);
    EXPECT_EQ(messages[2].text, server.Url(""));
    for (size_t i = 0; i < kPackageFailed.size(); ++i) {
        EXPECT_EQ(messages[3 + i].text, kPackageFailed[i]);
    }
    EXPECT_EQ(host.Finishes(), std::vector<bool>{true});
    EXPECT_TRUE(ReadFile(tempPath) == source) << "the new content stays in the temporary file";
    EXPECT_NE(ReadFile(LogFile::Path()).find("DownLoadThread"), std::string::npos)
        << ReadFile(LogFile::Path());
    EXPECT_NE(
        ReadFile(LogFile::Path()).find("DownLoadFile:rename -1," + tempPath + "," + targetPath),
        std::string::npos);
}

TEST_F(DownloadTest, TempFileThatCannotBeCreatedStopsAtOnce) {
    PythonServer server = MisbehavingServer();
    UseServers(server.Url("/file?name="), server.Url("/file?name="));
    WriteFile(work / "blocker", "");
    host.config.m_szInstallDir = work / "blocker/install";

    RunPackageJob();

    std::vector<std::string> expected = {"创建文件失败,请以管理员身份启动游戏"};
    expected.insert(expected.end(), kPackageFailed.begin(), kPackageFailed.end());
    EXPECT_EQ(host.MessageTexts(), expected);
    EXPECT_TRUE(requests.Entries().empty());
    EXPECT_EQ(host.Finishes(), std::vector<bool>{true});
}

TEST_F(DownloadTest, InstallVolumeTooSmallStopsBeforeTheBody) {
    NginxServer server(ServeFolderWith(source));
    UseServers(server.Url(""), server.Url("/backup"));
    FakeVolumes smallVolume("/mnt/games", 2048);
    services.volumes = &smallVolume;

    RunPackageJob();

    // 300 KB and the volume's reserve of 16 MiB are needed, and 2 KB are free.
    EXPECT_EQ(host.MessageTexts(),
              std::vector<std::string>{"安装目录所在磁盘空间不足: /mnt/games 还需要 16.30 MB"});
    EXPECT_EQ(host.Finishes(), std::vector<bool>{true});
    EXPECT_FALSE(FileExists(targetPath));
    // The body is left unread: not one byte of it is kept.
    EXPECT_EQ(ReadFile(tempPath).size(), 0u);
    EXPECT_NE(ReadFile(LogFile::Path()).find("307200 > 0"), std::string::npos)
        << ReadFile(LogFile::Path());
}

}  // namespace
