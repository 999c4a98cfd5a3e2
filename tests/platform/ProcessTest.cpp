#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/posix/SearchPath.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/TempDir.h"

namespace platform {
namespace {

// Records its working folder and each argument on a line of its own in the
// file named by its first argument.
constexpr const char* kRecorder =
    "#!/bin/sh\n"
    "out=\"$1\"; shift\n"
    "pwd > \"$out\"\n"
    "for a in \"$@\"; do printf '[%s]\\n' \"$a\" >> \"$out\"; done\n";

class ProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CreateDirectories(m_dir / "my tools"));
        ASSERT_TRUE(CreateDirectories(m_dir / "work dir"));
        WriteExecutable(Recorder(), kRecorder);
    }
    std::string Recorder() const { return m_dir / "my tools/record.sh"; }
    std::string Output() const { return m_dir / "out.txt"; }

    TempDir m_dir;
};

TEST_F(ProcessTest, PassesProgramAndArgumentsWholeInTheWorkingFolder) {
    const std::optional<Process> pid =
        SpawnProcess(Recorder(), {Output(), "two words", "", "PROCPARA=1,2"}, m_dir / "work dir");
    ASSERT_TRUE(pid);
    ASSERT_TRUE(WaitProcess(*pid));
    EXPECT_EQ(ReadFile(Output()), m_dir / "work dir" + "\n[two words]\n[]\n[PROCPARA=1,2]\n");
}

TEST_F(ProcessTest, ARelativeProgramIsFoundFromTheCallersFolder) {
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    ASSERT_EQ(chdir(m_dir.Path().c_str()), 0);
    const std::optional<Process> pid =
        SpawnProcess("my tools/record.sh", {Output()}, m_dir / "work dir");
    ASSERT_EQ(chdir(cwd), 0);
    ASSERT_TRUE(pid);
    ASSERT_TRUE(WaitProcess(*pid));
    EXPECT_EQ(ReadFile(Output()), m_dir / "work dir" + "\n");
}

TEST_F(ProcessTest, WithoutAWorkingFolderTheChildKeepsTheCallers) {
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    const std::optional<Process> pid = SpawnProcess(Recorder(), {Output()});
    ASSERT_TRUE(WaitProcess(*pid));
    EXPECT_EQ(ReadFile(Output()), std::string(cwd) + "\n");
}

TEST_F(ProcessTest, ReportsAProgramThatCannotStart) {
    WriteFile(m_dir / "not-executable.sh", "#!/bin/sh\n");
    EXPECT_FALSE(SpawnProcess(m_dir / "missing", {}));
    EXPECT_FALSE(SpawnProcess(m_dir / "not-executable.sh", {}));
    EXPECT_FALSE(SpawnProcess(Recorder(), {Output()}, m_dir / "no such folder"));
    EXPECT_FALSE(SpawnProcess("", {}));
    EXPECT_FALSE(FileExists(Output()));
}

// The child starts a session of its own and none of the caller's signal
// settings (the launcher ignores SIGPIPE for its sockets).
TEST_F(ProcessTest, TheChildStartsWithCleanSignalsInItsOwnSession) {
    struct sigaction ignore {};
    struct sigaction saved {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &saved);
    sigset_t blocked;
    sigset_t savedMask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    sigprocmask(SIG_BLOCK, &blocked, &savedMask);

    const std::optional<Process> pid = SpawnProcess(
        "/bin/sh",
        {"-c", "exec grep -E '^(SigIgn|SigBlk|NSsid)' /proc/self/status > \"$0\"", Output()});
    sigprocmask(SIG_SETMASK, &savedMask, nullptr);
    sigaction(SIGPIPE, &saved, nullptr);
    ASSERT_TRUE(pid);
    ASSERT_TRUE(WaitProcess(*pid));
    const std::string status = ReadFile(Output());
    const size_t ignored = status.find("SigIgn:\t");
    ASSERT_NE(ignored, std::string::npos) << status;
    const uint64_t ignoredMask = std::stoull(status.substr(ignored + 8, 16), nullptr, 16);
    EXPECT_EQ(ignoredMask & (uint64_t{1} << (SIGPIPE - 1)), 0u) << status;
    EXPECT_THAT(status, ::testing::HasSubstr("SigBlk:\t0000000000000000"));
    EXPECT_THAT(status, ::testing::HasSubstr("NSsid:\t" + std::to_string(pid->id)));
}

TEST_F(ProcessTest, WaitProcessFailsForWhatIsNotAChild) {
    EXPECT_FALSE(WaitProcess(Process{-1, 0}));
    EXPECT_FALSE(WaitProcess(Process{0, 0}));
    EXPECT_FALSE(WaitProcess(Process{getppid(), 0}));
}

class AssociationTest : public ProcessTest {
protected:
    void SetUp() override {
        ProcessTest::SetUp();
        ASSERT_TRUE(CreateDirectories(m_dir / "bin"));
    }
    ScopedEnv m_path{"PATH", m_dir / "bin"};
};

TEST_F(AssociationTest, AScriptIsMadeExecutableAndRun) {
    const std::string script = m_dir / "setup.sh";
    WriteFile(script, "#!/bin/sh\necho ran > \"" + Output() + "\"\n");
    chmod(script.c_str(), 0644);
    const std::optional<Process> pid = RunThroughAssociation(script);
    ASSERT_TRUE(pid);
    ASSERT_TRUE(WaitProcess(*pid));
    EXPECT_EQ(ReadFile(Output()), "ran\n");
    struct stat info {};
    ASSERT_EQ(stat(script.c_str(), &info), 0);
    EXPECT_TRUE(info.st_mode & S_IXUSR);
}

TEST_F(AssociationTest, AnElfProgramIsRun) {
    const std::string program = m_dir / "installer";
    WriteFile(program, ReadFile("/bin/true"));
    chmod(program.c_str(), 0600);
    const std::optional<Process> pid = RunThroughAssociation(program);
    ASSERT_TRUE(pid);
    EXPECT_TRUE(WaitProcess(*pid));
}

TEST_F(AssociationTest, AWindowsProgramRunsThroughWine) {
    const std::string package = m_dir / "vorn_ad2.exe";
    WriteFile(package, "MZ windows program");
    EXPECT_FALSE(RunThroughAssociation(package)) << "no wine on the PATH";

    WriteRecordingProgram(m_dir / "bin/wine", Output());
    const std::optional<Process> pid = RunThroughAssociation(package);
    ASSERT_TRUE(pid);
    ASSERT_TRUE(WaitProcess(*pid));
    EXPECT_EQ(ReadFile(Output()), package);
}

// A program run by its content gets its arguments and working folder too; a
// Windows program's relative path still names the caller's file.
TEST_F(AssociationTest, ArgumentsAndWorkingFolderReachTheProgramAndWine) {
    ASSERT_TRUE(CreateDirectories(m_dir / "work dir"));
    WriteExecutable(
        m_dir / "bin/wine",
        "#!/bin/sh\n{ pwd; for a in \"$@\"; do echo \"[$a]\"; done; } > \"" + Output() + "\"\n");
    WriteFile(m_dir / "game.exe", "MZ windows program");
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    ASSERT_EQ(chdir(m_dir.Path().c_str()), 0);
    const std::optional<Process> windows =
        RunThroughAssociation("game.exe", {"PROCPARA=7", "two words"}, m_dir / "work dir");
    ASSERT_EQ(chdir(cwd), 0);
    ASSERT_TRUE(windows);
    ASSERT_TRUE(WaitProcess(*windows));
    EXPECT_EQ(ReadFile(Output()),
              m_dir / "work dir" + "\n[" + (m_dir / "game.exe") + "]\n[PROCPARA=7]\n[two words]\n");

    WriteFile(m_dir / "game.sh", "#!/bin/sh\n{ pwd; echo \"[$1]\"; } > \"" + Output() + "\"\n");
    const std::optional<Process> native =
        RunThroughAssociation(m_dir / "game.sh", {"PROCPARA=7"}, m_dir / "work dir");
    ASSERT_TRUE(native);
    ASSERT_TRUE(WaitProcess(*native));
    EXPECT_EQ(ReadFile(Output()), m_dir / "work dir" + "\n[PROCPARA=7]\n");
}

TEST_F(AssociationTest, OtherFilesDoNotStart) {
    const std::string text = m_dir / "readme.txt";
    WriteFile(text, "hello");
    chmod(text.c_str(), 0644);
    EXPECT_FALSE(RunThroughAssociation(text));
    struct stat info {};
    ASSERT_EQ(stat(text.c_str(), &info), 0);
    EXPECT_FALSE(info.st_mode & S_IXUSR);
    WriteFile(m_dir / "empty", "");
    EXPECT_FALSE(RunThroughAssociation(m_dir / "empty"));
    EXPECT_FALSE(RunThroughAssociation(m_dir / "missing"));
}

TEST(CommandLineTest, JoinsTheArgumentsAfterTheProgram) {
    struct Case {
        std::vector<const char*> argv;
        const char* joined;
    };
    const Case cases[] = {
        {{"launcher"}, ""},
        {{"launcher", "PROCPARA=12,34"}, "PROCPARA=12,34"},
        {{"launcher", "DEBUG=TRUE", "x y"}, "DEBUG=TRUE x y"},
        {{"launcher", "", "x"}, " x"},
    };
    for (const Case& c : cases) {
        std::vector<char*> argv;
        for (const char* arg : c.argv) argv.push_back(const_cast<char*>(arg));
        EXPECT_EQ(JoinCommandLine(static_cast<int>(argv.size()), argv.data()), c.joined);
    }
}

TEST(CommandLineTest, SplitsAtSpacesDroppingEmptyPieces) {
    struct Case {
        const char* line;
        std::vector<std::string> pieces;
    };
    const Case cases[] = {
        {"", {}},
        {"   ", {}},
        {"PROCPARA=812", {"PROCPARA=812"}},
        {"  DEBUG=TRUE,PROCPARA=812  x ", {"DEBUG=TRUE,PROCPARA=812", "x"}},
        {"a\tb c", {"a\tb", "c"}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.pieces) << c.line;
}

TEST(SearchPathTest, FindsTheFirstExecutableFile) {
    TempDir dir;
    for (const char* name : {"one", "two", "three", "three/tool"}) {
        ASSERT_TRUE(CreateDirectories(dir / name));
    }
    WriteFile(dir / "one/tool", "not executable");
    WriteExecutable(dir / "two/tool", "#!/bin/sh\n");
    ScopedEnv path("PATH", dir / "three" + ":" + dir / "one" + "::" + dir / "two");
    EXPECT_EQ(SearchPathDirectories(),
              (std::vector<std::string>{dir / "three", dir / "one", ".", dir / "two"}));
    EXPECT_EQ(FindExecutableOnPath("tool"), dir / "two/tool");
    EXPECT_EQ(FindExecutableOnPath("nothing"), "");
}

TEST(TerminateSelfTest, FlushesOutputAndEndsWithCodeZero) {
    TempDir dir;
    const pid_t child = ForkChild([&] {
        FILE* out = freopen((dir / "stdout").c_str(), "w", stdout);
        if (!out) return 1;
        printf("pending text");
        TerminateSelf();
    });
    const int status = WaitStatus(child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFile(dir / "stdout"), "pending text");
}

}  // namespace
}  // namespace platform
