#include <dirent.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <ctime>
#include <regex>

#include "platform/CrashDumpName.h"
#include "platform/CrashHandler.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/TempDir.h"

namespace platform {
namespace {

using ::testing::HasSubstr;

constexpr const char* kProbe = VORN_CRASH_PROBE;
constexpr const char* kServicePage = "http://127.0.0.1:9/im_client/?web_plugin_id=42";
// Eight hours east of UTC, written the POSIX way; needs no time zone files.
constexpr const char* kTimeZone = "QRV-8";

TEST(CrashDumpNameTest, FollowsTheCalendar) {
    struct Case {
        int64_t seconds;
        const char* name;
    };
    const Case cases[] = {
        {0, "RivaVare_v1.0-19700101-000000.dmp"},
        {951827696, "RivaVare_v1.0-20000229-123456.dmp"},
        {1709251199, "RivaVare_v1.0-20240229-235959.dmp"},
        {2147483648, "RivaVare_v1.0-20380119-031408.dmp"},
        {4107542400, "RivaVare_v1.0-21000301-000000.dmp"},
        {-1, "RivaVare_v1.0-19691231-235959.dmp"},
        {253402300799, "RivaVare_v1.0-99991231-235959.dmp"},
    };
    for (const Case& c : cases) {
        char name[kCrashDumpNameSize];
        FormatCrashDumpName(c.seconds, name);
        EXPECT_STREQ(name, c.name) << c.seconds;
    }
}

std::vector<std::string> DumpFilesIn(const std::string& directory) {
    static const std::regex kDumpName(R"(RivaVare_v1\.0-\d{8}-\d{6}\.dmp)");
    std::vector<std::string> dumps;
    if (DIR* dir = opendir(directory.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (std::regex_match(entry->d_name, kDumpName)) dumps.push_back(entry->d_name);
        }
        closedir(dir);
    }
    return dumps;
}

// The handler's clock. time() reads the coarse clock, which may still show
// the last second for a few milliseconds after the handler saw the next one.
time_t RealtimeSeconds() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec;
}

std::string LocalStamp(time_t moment) {
    tm local{};
    localtime_r(&moment, &local);
    char text[32];
    strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

class CrashProbeTest : public ::testing::Test {
protected:
    // Runs the probe in directory and returns its wait status.
    static int RunProbeIn(const std::string& directory, const std::vector<std::string>& args) {
        const pid_t pid = ForkChild([&] {
            if (chdir(directory.c_str()) != 0) return 100;
            std::vector<char*> argv{const_cast<char*>(kProbe)};
            for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            execv(kProbe, argv.data());
            return 101;
        });
        return WaitStatus(pid);
    }
    int RunProbe(const std::vector<std::string>& args) { return RunProbeIn(m_dir.Path(), args); }

    TempDir m_dir;
    ScopedEnv m_timeZone{"TZ", kTimeZone};
};

TEST_F(CrashProbeTest, EachFatalSignalWritesOneReport) {
    struct Case {
        const char* request;
        int signal;
        const char* line;
    };
    const Case cases[] = {
        {"segv", SIGSEGV, "signal: 11 SIGSEGV"}, {"bus", SIGBUS, "signal: 7 SIGBUS"},
        {"ill", SIGILL, "signal: 4 SIGILL"},     {"fpe", SIGFPE, "signal: 8 SIGFPE"},
        {"abort", SIGABRT, "signal: 6 SIGABRT"},
    };
    tzset();
    for (const Case& c : cases) {
        TempDir dir;
        const time_t before = RealtimeSeconds();
        const int status = RunProbeIn(dir.Path(), {c.request});
        const time_t after = RealtimeSeconds();

        ASSERT_TRUE(WIFSIGNALED(status)) << c.request << " status " << status;
        EXPECT_EQ(WTERMSIG(status), c.signal) << c.request;
        const std::vector<std::string> dumps = DumpFilesIn(dir.Path());
        ASSERT_EQ(dumps.size(), 1u) << c.request;
        // The name carries the local time of the crash.
        const std::string stamp = dumps[0].substr(14, 15);
        EXPECT_GE(stamp, LocalStamp(before)) << c.request;
        EXPECT_LE(stamp, LocalStamp(after)) << c.request;

        const std::string report = ReadFile(dir / dumps[0]);
        EXPECT_THAT(report, HasSubstr(c.line));
        EXPECT_THAT(report, HasSubstr("\nregisters:\n"));
#if defined(__x86_64__)
        EXPECT_THAT(report, HasSubstr("\n  rip 0x"));
#endif
        EXPECT_THAT(report, HasSubstr("\nbacktrace:\n"));
        EXPECT_THAT(report, HasSubstr("platform_crash_probe("));
        EXPECT_THAT(report, HasSubstr("\nmemory map:\n"));
        EXPECT_THAT(report, HasSubstr("[stack]"));
    }
}

TEST_F(CrashProbeTest, AFaultReportsItsAddress) {
    const int status = RunProbe({"fault"});
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    const std::string address = ReadFile(m_dir / "fault-address");
    ASSERT_FALSE(address.empty());
    const std::vector<std::string> dumps = DumpFilesIn(m_dir.Path());
    ASSERT_EQ(dumps.size(), 1u);
    const std::string report = ReadFile(m_dir / dumps[0]);
    const uint64_t expected = std::stoull(address, nullptr, 16);
    char line[64];
    snprintf(line, sizeof line, "address: 0x%016llx\n", static_cast<unsigned long long>(expected));
    EXPECT_THAT(report, HasSubstr(line));
}

TEST_F(CrashProbeTest, AStackOverflowIsReportedFromTheAlternateStack) {
    const int status = RunProbe({"overflow"});
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    const std::vector<std::string> dumps = DumpFilesIn(m_dir.Path());
    ASSERT_EQ(dumps.size(), 1u);
    EXPECT_THAT(ReadFile(m_dir / dumps[0]), HasSubstr("signal: 11 SIGSEGV"));
}

class SupportPageTest : public CrashProbeTest {
protected:
    void SetUp() override { ASSERT_TRUE(CreateDirectories(m_dir / "bin")); }
    ScopedEnv m_path{"PATH", m_dir / "bin"};
};

TEST_F(SupportPageTest, ACrashOpensTheServicePageInsteadOfADump) {
    const std::string recorded = m_dir / "opened";
    WriteRecordingProgram(m_dir / "bin/xdg-open", recorded);
    const int status = RunProbe({"support", kServicePage});
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGSEGV);
    ASSERT_TRUE(WaitForFile(recorded));
    EXPECT_EQ(ReadFile(recorded), kServicePage);
    EXPECT_TRUE(DumpFilesIn(m_dir.Path()).empty());
}

TEST_F(SupportPageTest, WithoutAnOpenerTheProcessStillEnds) {
    const int status = RunProbe({"support", kServicePage});
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGSEGV);
    EXPECT_TRUE(DumpFilesIn(m_dir.Path()).empty());
}

// Under a tracer the signal takes its default course and no report is made.
TEST_F(CrashProbeTest, UnderADebuggerNoReportIsWritten) {
    constexpr int kCannotTrace = 102;
    const pid_t pid = ForkChild([&] {
        if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) return kCannotTrace;
        if (chdir(m_dir.Path().c_str()) != 0) return 100;
        execl(kProbe, kProbe, "segv", static_cast<char*>(nullptr));
        return 101;
    });
    int status = 0;
    // Let every stop go on with the signal that caused it (none for the
    // stop after exec), like a debugger that passes signals through.
    while (waitpid(pid, &status, 0) == pid && WIFSTOPPED(status)) {
        const int signal = WSTOPSIG(status) == SIGTRAP ? 0 : WSTOPSIG(status);
        ptrace(PTRACE_CONT, pid, nullptr, reinterpret_cast<void*>(static_cast<intptr_t>(signal)));
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == kCannotTrace) {
        GTEST_SKIP() << "ptrace is not allowed here";
    }
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    EXPECT_TRUE(DumpFilesIn(m_dir.Path()).empty());
}

}  // namespace
}  // namespace platform
