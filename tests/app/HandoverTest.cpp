#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/Handover.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestServices.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kProcessTimeout = 10s;

// Polls until path exists or the time is up.
bool WaitForFile(const std::string& path) {
    const auto deadline = std::chrono::steady_clock::now() + kProcessTimeout;
    while (!FileExists(path)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

void WriteScript(const std::string& path, const std::string& body) {
    WriteFile(path, "#!/bin/sh\n" + body);
    chmod(path.c_str(), 0755);
}

// Tells the hand-over that the file at the package's path is the package this
// run checked and moved into place.
void Place(Handover& handover, const LaunchConfig& config) {
    const std::string path = InstallPackagePath(config);
    const platform::File file = platform::File::OpenForReading(path);
    ASSERT_TRUE(file);
    handover.PackagePlaced(PlacedPackage{path, *file.Identity(), *file.Size()});
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// The controller as the hand-over sees it. StartUpdate stands for the new
// worker, which after an install finds nothing to do and hands over again.
class FakeController : public IHandoverHost {
public:
    LaunchConfig config;
    vnMutex lock;
    uint32_t installStartTick = 0;
    Handover* handover = nullptr;

    LaunchConfig& Config() override { return config; }
    vnMutex& WindowLock() override { return lock; }
    void StartUpdate() override {
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            modeAtStartUpdate = config.m_nMode;
            packageExistedAtStartUpdate = FileExists(InstallPackagePath(config));
            gameExistedAtStartUpdate =
                FileExists(GameExecutablePath(config.m_szInstallDir, config.m_szGameDir));
            ++startUpdates;
        }
        handover->Finish(false);
    }
    void PostHideWindow() override { Record(hides); }
    void PostShowWindow() override { Record(shows); }
    uint32_t InstallStartTick() const override { return installStartTick; }
    void StartTrackingEvents() override { Record(trackingStarts); }

    // Real processes, each start recorded; ending the launcher and opening
    // the page are only recorded.
    platform::Services services = [this] {
        platform::Services recorded = TestServices();
        recorded.spawn = [this, spawn = recorded.spawn](const std::string& program,
                                                        const std::vector<std::string>& args,
                                                        const std::string& workingDir) {
            RecordProcess("spawn", program, args, workingDir);
            return spawn(program, args, workingDir);
        };
        recorded.runThroughAssociation = [this, run = recorded.runThroughAssociation](
                                             const std::string& file,
                                             const std::vector<std::string>& args,
                                             const std::string& workingDir) {
            RecordProcess("run", file, args, workingDir);
            {
                std::lock_guard<std::mutex> guard(m_mutex);
                installerRunningAtRun = handover && handover->InstallerRunning();
            }
            return run(file, args, workingDir);
        };
        recorded.terminateSelf = [this] { Record(terminations); };
        recorded.openUrl = [this](const std::string&) { Record(pagesOpened); };
        return recorded;
    }();

    // Waits until the process would have ended.
    bool WaitForTermination() {
        std::unique_lock<std::mutex> guard(m_mutex);
        return m_changed.wait_for(guard, kProcessTimeout, [this] { return terminations > 0; });
    }

    // Guarded by m_mutex: written by the hand-over's threads, read by the test.
    int terminations = 0;
    int pagesOpened = 0;
    int trackingStarts = 0;
    int hides = 0;
    int shows = 0;
    int startUpdates = 0;
    int32_t modeAtStartUpdate = 0;
    bool packageExistedAtStartUpdate = true;
    bool gameExistedAtStartUpdate = false;
    // Whether a start of the work would already have been refused when the
    // package was started.
    bool installerRunningAtRun = false;

    int Count(const int& counter) {
        std::lock_guard<std::mutex> guard(m_mutex);
        return counter;
    }

    // The processes the hand-over asked for, one line each:
    // "<spawn|run> <program> [<arg>]... in <folder>".
    std::vector<std::string> ProcessesAskedFor() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_processes;
    }

private:
    void Record(int& counter) {
        std::lock_guard<std::mutex> guard(m_mutex);
        ++counter;
        m_changed.notify_all();
    }

    void RecordProcess(const std::string& how, const std::string& program,
                       const std::vector<std::string>& args, const std::string& workingDir) {
        std::string line = how + " " + program;
        for (const std::string& arg : args) line += " [" + arg + "]";
        std::lock_guard<std::mutex> guard(m_mutex);
        m_processes.push_back(line + " in " + workingDir);
    }

    std::vector<std::string> m_processes;  // guarded by m_mutex

    std::mutex m_mutex;
    std::condition_variable m_changed;
};

class HandoverTest : public ::testing::Test {
protected:
    void SetUpInstallDir(const std::string& name) {
        installDir = dir / name;
        mkdir(installDir.c_str(), 0755);
        controller.config.m_szInstallDir = installDir;
        controller.config.m_szGameDir = "vorn";
        controller.config.m_szPackName = "vorn_ad2.exe";
        controller.config.m_szRunMarker = installDir + "/load_vorn_temp";
        gameFolder = installDir + "/vorn";
        gameOutput = dir / "game-output";
        WriteFile(controller.config.m_szRunMarker, "");
    }

    void SetUp() override { SetUpInstallDir("install"); }

    void TearDown() override {
        // Reap the game and installer processes that the hand-over left.
        while (waitpid(-1, nullptr, WNOHANG) > 0) {
        }
    }

    // A game that writes its working directory and then its arguments, one
    // per line.
    void InstallGame() {
        platform::CreateDirectories(gameFolder + "/ADPackage");
        WriteScript(GameExecutablePath(installDir, "vorn"),
                    "{ pwd; for a in \"$@\"; do echo \"$a\"; done; } > '" + gameOutput +
                        ".part'\nmv '" + gameOutput + ".part' '" + gameOutput + "'\n");
    }

    // Starts the game through the hand-over and returns what it wrote.
    std::vector<std::string> LaunchWith(const std::string& commandLine) {
        controller.config.m_nMode = MODE_LAUNCH;
        controller.config.m_strCmdLine = commandLine;
        Handover handover(controller, controller.services);
        handover.Finish(false);
        EXPECT_EQ(controller.Count(controller.terminations), 1);
        if (!WaitForFile(gameOutput)) return {};
        return Lines(ReadFile(gameOutput));
    }

    TempDir dir;
    FakeController controller;
    std::string installDir;
    std::string gameFolder;
    std::string gameOutput;
    const std::string pid = std::to_string(getpid());
};

TEST(GameParametersTest, HostValueIsReplacedByLauncherPid) {
    const struct {
        const char* commandLine;
        const char* expected;
    } cases[] = {
        {"PROCPARA=12,34", "PROCPARA=812"},
        {"DEBUG=TRUE", "DEBUG=TRUE,PROCPARA=812"},
        {"", ",PROCPARA=812"},
        {"PROCPARA=1 PROCPARA=2", "PROCPARA=812"},
        {"lead PROCPARA=abc tail", "lead PROCPARA=812"},
        {"procpara=1", "procpara=1,PROCPARA=812"},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(GameParameters(row.commandLine, 812), row.expected) << row.commandLine;
    }
}

// One command line through a real game; the table of command lines is
// GameParametersTest's.
TEST_F(HandoverTest, GameGetsParametersAsArgumentsAndStartsInItsFolder) {
    InstallGame();
    const std::vector<std::string> lines = LaunchWith("DEBUG=TRUE extra");
    ASSERT_FALSE(lines.empty()) << "the game did not run";
    EXPECT_EQ(lines[0], gameFolder);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()),
              (std::vector<std::string>{"DEBUG=TRUE", "extra,PROCPARA=" + pid}));
    EXPECT_EQ(
        controller.ProcessesAskedFor(),
        std::vector<std::string>{"run " + GameExecutablePath(installDir, "vorn") +
                                 " [DEBUG=TRUE] [extra,PROCPARA=" + pid + "] in " + gameFolder});
    EXPECT_FALSE(FileExists(controller.config.m_szRunMarker));
    EXPECT_EQ(controller.Count(controller.pagesOpened), 0);
}

TEST_F(HandoverTest, GamePathWithSpacesIsOneProgram) {
    SetUpInstallDir("Program Files/My Games");
    platform::CreateDirectories(installDir);
    WriteFile(controller.config.m_szRunMarker, "");
    InstallGame();

    const std::vector<std::string> lines = LaunchWith("PROCPARA=7");
    ASSERT_EQ(lines.size(), 2u) << "the game did not run";
    EXPECT_EQ(lines[0], gameFolder);
    EXPECT_EQ(lines[1], "PROCPARA=" + pid);
    EXPECT_EQ(controller.Count(controller.pagesOpened), 0);
}

TEST_F(HandoverTest, GameThatDoesNotStartOpensServicePage) {
    // No game executable at all.
    controller.config.m_nMode = MODE_LAUNCH;
    Handover handover(controller, controller.services);
    handover.Finish(false);

    EXPECT_EQ(controller.Count(controller.pagesOpened), 1);
    EXPECT_EQ(controller.Count(controller.terminations), 1);
    EXPECT_FALSE(FileExists(controller.config.m_szRunMarker));
}

TEST_F(HandoverTest, FailureGivesUpInEveryMode) {
    InstallGame();
    WriteScript(InstallPackagePath(controller.config), "exit 0\n");
    for (int32_t mode : {MODE_INSTALL, MODE_LAUNCH, MODE_INSTALLED}) {
        SCOPED_TRACE(mode);
        FakeController fresh;
        fresh.config = controller.config;
        fresh.config.m_nMode = mode;
        WriteFile(fresh.config.m_szRunMarker, "");
        Handover handover(fresh, fresh.services);
        handover.Finish(true);

        EXPECT_EQ(fresh.ProcessesAskedFor(), std::vector<std::string>{})
            << "a failure starts neither the game nor the package";
        EXPECT_FALSE(FileExists(fresh.config.m_szRunMarker));
        EXPECT_EQ(fresh.Count(fresh.pagesOpened), 1);
        EXPECT_EQ(fresh.Count(fresh.terminations), 1);
        EXPECT_EQ(fresh.Count(fresh.hides), 0);
    }
}

TEST_F(HandoverTest, FailureBeforeMarkerIsBuiltDeletesNothing) {
    controller.config.m_szRunMarker.clear();
    const std::string bystander = installDir + "/load_vorn_temp";
    Handover handover(controller, controller.services);
    handover.Finish(true);

    EXPECT_TRUE(FileExists(bystander));
    EXPECT_EQ(controller.Count(controller.pagesOpened), 1);
    EXPECT_EQ(controller.Count(controller.terminations), 1);
}

TEST_F(HandoverTest, AfterInstallTheGameIsNotStartedAndMarkerStays) {
    InstallGame();
    controller.config.m_nMode = MODE_INSTALLED;
    Handover handover(controller, controller.services);
    handover.Finish(false);

    EXPECT_EQ(controller.ProcessesAskedFor(), std::vector<std::string>{});
    EXPECT_EQ(controller.Count(controller.terminations), 1);
    EXPECT_EQ(controller.Count(controller.pagesOpened), 0);
    EXPECT_TRUE(FileExists(controller.config.m_szRunMarker));
}

TEST_F(HandoverTest, InstallerRunsHiddenThenLauncherComesBack) {
    // The installer waits for the test's go, then puts the game in place and
    // leaves a note that it ran. Its wait is bounded, so that a failed test
    // does not leave it behind.
    const std::string go = dir / "go";
    const std::string installerRan = dir / "installer-ran";
    WriteScript(InstallPackagePath(controller.config),
                "i=0\nwhile [ ! -e '" + go +
                    "' ] && [ $i -lt 3000 ]; do sleep 0.01; i=$((i+1)); done\n" + "mkdir -p '" +
                    gameFolder + "/ADPackage'\n: > '" + GameExecutablePath(installDir, "vorn") +
                    "'\n: > '" + installerRan + "'\n");
    controller.config.m_nMode = MODE_INSTALL;
    controller.installStartTick = 1234;
    Handover handover(controller, controller.services);
    controller.handover = &handover;
    Place(handover, controller.config);

    handover.Finish(false);
    // Finish returns while the installer runs, with the window hidden.
    EXPECT_EQ(controller.ProcessesAskedFor(),
              std::vector<std::string>{"run " + InstallPackagePath(controller.config) + " in "});
    EXPECT_TRUE(controller.Count(controller.installerRunningAtRun))
        << "a second start of the work could slip in before the package started";
    EXPECT_EQ(controller.Count(controller.hides), 1);
    EXPECT_EQ(controller.Count(controller.trackingStarts), 1);
    EXPECT_EQ(controller.Count(controller.terminations), 0);
    EXPECT_EQ(controller.Count(controller.shows), 0);
    EXPECT_EQ(controller.Count(controller.startUpdates), 0);
    EXPECT_TRUE(FileExists(InstallPackagePath(controller.config)));
    EXPECT_FALSE(FileExists(installerRan));

    WriteFile(go, "");
    ASSERT_TRUE(controller.WaitForTermination());
    EXPECT_TRUE(FileExists(installerRan));
    EXPECT_TRUE(FileExists(GameExecutablePath(installDir, "vorn")));
    EXPECT_EQ(controller.Count(controller.shows), 1);
    EXPECT_EQ(controller.Count(controller.startUpdates), 1);
    EXPECT_EQ(controller.Count(controller.modeAtStartUpdate), MODE_INSTALLED);
    EXPECT_FALSE(controller.packageExistedAtStartUpdate) << "the package is deleted first";
    EXPECT_TRUE(controller.gameExistedAtStartUpdate)
        << "the launcher came back before the installer ended";
    EXPECT_EQ(controller.ProcessesAskedFor().size(), 1u)
        << "the game is not started after an install";
    EXPECT_TRUE(FileExists(controller.config.m_szRunMarker));
    EXPECT_EQ(controller.Count(controller.pagesOpened), 0);
}

TEST_F(HandoverTest, TrackingEventsOnlyWhenInstallModeWasChosenAtStart) {
    WriteScript(InstallPackagePath(controller.config), "exit 0\n");
    controller.config.m_nMode = MODE_INSTALL;
    controller.installStartTick = 0;
    Handover handover(controller, controller.services);
    controller.handover = &handover;
    Place(handover, controller.config);

    handover.Finish(false);
    ASSERT_TRUE(controller.WaitForTermination());
    EXPECT_EQ(controller.Count(controller.trackingStarts), 0);
    EXPECT_EQ(controller.Count(controller.hides), 1);
}

// Only the package this run checked and moved into place runs, and only while
// its path still names that file unchanged: anything else gives up unrun.
TEST_F(HandoverTest, PackageThatIsNotTheCheckedOneOrDoesNotStartGivesUp) {
    const std::string marker = dir / "other-bytes-ran";
    const std::string otherBytes = "#!/bin/sh\n: > '" + marker + "'\n";
    enum class After { Nothing, Replace, Append };
    const struct {
        const char* name;
        const char* content;  // nullptr: no package at all
        bool placed;          // this run moved it into place
        After after;          // what happens to it after that
    } cases[] = {
        {"missing", nullptr, false, After::Nothing},
        {"not a program", "just some text\n", true, After::Nothing},
        {"a leftover this run never placed", otherBytes.c_str(), false, After::Nothing},
        {"replaced after it was placed", "#!/bin/sh\nexit 0\n", true, After::Replace},
        {"grown after it was placed", "#!/bin/sh\nexit 0\n", true, After::Append},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        FakeController fresh;
        fresh.config.m_szInstallDir = installDir;
        fresh.config.m_szPackName = "vorn_ad2.exe";
        fresh.config.m_szRunMarker = controller.config.m_szRunMarker;
        fresh.config.m_nMode = MODE_INSTALL;
        fresh.installStartTick = 99;
        WriteFile(fresh.config.m_szRunMarker, "");
        const std::string package = InstallPackagePath(fresh.config);
        unlink(package.c_str());
        if (row.content) {
            WriteFile(package, row.content);
            chmod(package.c_str(), 0755);
        }

        Handover handover(fresh, fresh.services);
        if (row.placed) Place(handover, fresh.config);
        if (row.after == After::Replace) {
            WriteFile(package + ".other", otherBytes);
            chmod((package + ".other").c_str(), 0755);
            ASSERT_EQ(rename((package + ".other").c_str(), package.c_str()), 0);
        } else if (row.after == After::Append) {
            std::ofstream(package, std::ios::app) << ": > '" << marker << "'\n";
        }
        handover.Finish(false);

        if (row.after != After::Nothing || !row.placed) {
            EXPECT_TRUE(fresh.ProcessesAskedFor().empty()) << "bytes nobody checked were started";
        }
        EXPECT_FALSE(FileExists(fresh.config.m_szRunMarker));
        EXPECT_EQ(fresh.Count(fresh.pagesOpened), 1);
        EXPECT_EQ(fresh.Count(fresh.terminations), 1);
        EXPECT_EQ(fresh.Count(fresh.hides), 0);
        EXPECT_EQ(fresh.Count(fresh.trackingStarts), 0);
    }
}

}  // namespace
