// The launcher inside the host platform (the stand-in host library): the work
// waits for the host's ready event, and the globe window behaves as a skinned
// launcher window must, seen through the X server.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>

#include "tests/e2e/LauncherSandbox.h"
#include "tests/e2e/LoopbackServices.h"
#include "tests/e2e/WaitUntil.h"
#include "tests/e2e/X11Window.h"
#include "tests/support/ExecArguments.h"
#include "tests/support/OutputLines.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

constexpr auto kRunLimit = 120s;
constexpr int kGlobeWidth = 764;
constexpr int kGlobeHeight = 915;

// The launcher's mapped window, checked to be the size of the globe.
std::optional<Window> FindGlobeWindow(Display* display, const ProgramRun& run) {
    const std::optional<Window> window = FindMappedWindowOf(display, run.Pid(), 30s);
    if (!window) {
        ADD_FAILURE() << "no window; the launcher said:\n" << run.Stderr();
        return window;
    }
    const WindowGeometry geometry = GeometryOf(display, *window);
    EXPECT_EQ(geometry.width, kGlobeWidth);
    EXPECT_EQ(geometry.height, kGlobeHeight);
    return window;
}

// Runs a desktop tool (xdotool, import) on the test's display; its exit code.
int RunTool(const std::vector<std::string>& argv) {
    std::vector<std::string> argvCopy = argv;
    std::vector<char*> args = NullTerminated(argvCopy);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(HostModeTest, InstallsThroughTheHostAskingThePrimaryForTheDisguisedName) {
    LauncherSandbox sandbox;
    PackageFolder packages;
    const auto primary = StartDownloadServer(PrimaryPort(), packages.Path());
    const auto backup = StartDownloadServer(BackupPort(), packages.Path());
    sandbox.UseHostLibrary("log " + sandbox.HostLogPath() + "\nready\n");

    const auto run = sandbox.RunToEnd({"PROCPARA=abc"}, kRunLimit);

    EXPECT_EQ(run->ExitCode(), 0);
    EXPECT_EQ(ReadFile(sandbox.GamePath()), ReadFile(VORN_E2E_SAMPLE_GAME));
    const std::vector<std::string> hostCalls = sandbox.HostLogLines();
    ASSERT_GE(hostCalls.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(hostCalls.begin(), hostCalls.begin() + 3),
              (std::vector<std::string>{"Init", "SetHandler", "Start(abc)"}));
    // Without a DEBUG argument the first attempt asks the primary for the
    // disguised name, which it does not have; the second asks the backup.
    const std::vector<NginxAccess> primaryRequests = primary->AccessLog(1);
    ASSERT_EQ(primaryRequests.size(), 1u);
    EXPECT_EQ(primaryRequests[0].request, "GET " + DisguisedPackageTarget() + " HTTP/1.1");
    EXPECT_EQ(primaryRequests[0].status, 404);
    const std::vector<NginxAccess> backupRequests = backup->AccessLog(2);
    ASSERT_EQ(backupRequests.size(), 2u);
    EXPECT_EQ(backupRequests[0].request, "GET " + PackageTarget() + " HTTP/1.1");
    EXPECT_EQ(backupRequests[0].status, 200);
    EXPECT_EQ(backupRequests[1].request, "GET " + PackageTarget() + ".minisig HTTP/1.1");
}

TEST(HostModeTest, WorkWaitsForTheHostsReadyEvent) {
    LauncherSandbox sandbox;
    sandbox.InstallSampleGame();
    const std::string hostGo = sandbox.Root() + "/host-go";
    sandbox.UseHostLibrary("log " + sandbox.HostLogPath() + "\nwaitfor " + hostGo + "\nready\n");

    const auto run = sandbox.Start({"PROCPARA=abc"});
    // The host's object is started: without a host the work would have begun.
    ASSERT_TRUE(sandbox.WaitForHostLogLine("Start(abc)", 30s)) << run->Stderr();
    EXPECT_TRUE(run->Running());
    EXPECT_TRUE(FileExists(sandbox.RunMarkerPath()));
    EXPECT_TRUE(sandbox.GameStarts().empty()) << "the game started before the host was ready";
    WriteFile(hostGo, "");

    ASSERT_TRUE(run->WaitForExit(kRunLimit)) << run->Stderr();
    EXPECT_EQ(run->ExitCode(), 0);
    ASSERT_TRUE(sandbox.WaitForGameStart(20s));
    // The host's text gives way to the launcher's own id.
    const std::vector<GameStart> starts = sandbox.GameStarts();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].args, std::vector<std::string>{"PROCPARA=" + std::to_string(run->Pid())});
    // Only a launcher still waiting when the host let go records this.
    EXPECT_TRUE(Holds(sandbox.HostLogLines(), "sent waitfor " + hostGo))
        << "the launcher did not wait for the host";
}

// A host that says "ready" again while the download runs: the work goes on
// once, and the launcher says why it did not start it again.
TEST(HostModeTest, ASecondReadyWhileTheWorkRunsIsRefused) {
    LauncherSandbox sandbox;
    PackageFolder packages;
    const auto primary = StartDownloadServer(PrimaryPort(), packages.Path());
    const auto backup = StartDownloadServer(BackupPort(), packages.Path(), 8 << 20);
    const std::string readyAgain = sandbox.Root() + "/host-ready-again";
    sandbox.UseHostLibrary("log " + sandbox.HostLogPath() + "\nready\nwaitfor " + readyAgain +
                           "\nready\n");

    const auto run = sandbox.Start({"PROCPARA=abc"});
    ASSERT_TRUE(WaitUntil(
        [&] {
            std::error_code missing;
            return std::filesystem::file_size(sandbox.TempPackagePath(), missing) > 0 && !missing;
        },
        60s))
        << run->Stderr();
    WriteFile(readyAgain, "");
    ASSERT_TRUE(sandbox.WaitForHostLogLine("done", 30s)) << run->Stderr();
    const std::vector<std::string> hostLog = sandbox.HostLogLines();
    EXPECT_EQ(std::count(hostLog.begin(), hostLog.end(), "sent ready"), 2);
    EXPECT_TRUE(Holds(run->StderrLines(), "vorn-launcher: the update is already running"))
        << run->Stderr();

    ASSERT_TRUE(run->WaitForExit(kRunLimit)) << run->Stderr();
    EXPECT_EQ(run->ExitCode(), 0);
    EXPECT_EQ(ReadFile(sandbox.GamePath()), ReadFile(VORN_E2E_SAMPLE_GAME));
    // One worker: the disguised name once from the primary, the package and
    // its signature once from the backup.
    EXPECT_EQ(primary->AccessLog(1).size(), 1u);
    const std::vector<NginxAccess> backupRequests = backup->AccessLog(2);
    ASSERT_EQ(backupRequests.size(), 2u);
    EXPECT_EQ(backupRequests[0].request, "GET " + PackageTarget() + " HTTP/1.1");
    EXPECT_EQ(backupRequests[1].request, "GET " + PackageTarget() + ".minisig HTTP/1.1");
}

// A "ready" while the installer runs would fetch the package again: it is
// refused, and the installed game's check follows the installer's end.
TEST(HostModeTest, AReadyWhileTheInstallerRunsIsRefused) {
    LauncherSandbox sandbox;
    PackageFolder packages;
    const auto primary = StartDownloadServer(PrimaryPort(), packages.Path());
    const auto backup = StartDownloadServer(BackupPort(), packages.Path());
    const std::string readyAgain = sandbox.Root() + "/host-ready-again";
    const std::string installerGo = sandbox.Root() + "/installer-go";
    sandbox.SetEnvironment("VORN_SAMPLE_INSTALL_WAIT_FOR", installerGo);
    sandbox.UseHostLibrary("log " + sandbox.HostLogPath() + "\nready\nwaitfor " + readyAgain +
                           "\nready\n");

    const auto run = sandbox.Start({"PROCPARA=abc"});
    // The installer has put the game in place and waits for its go.
    ASSERT_TRUE(WaitUntil([&] { return FileExists(sandbox.GamePath()); }, 60s)) << run->Stderr();
    WriteFile(readyAgain, "");
    ASSERT_TRUE(sandbox.WaitForHostLogLine("done", 30s)) << run->Stderr();
    EXPECT_TRUE(Holds(run->StderrLines(), "vorn-launcher: the update is already running"))
        << run->Stderr();
    WriteFile(installerGo, "");

    ASSERT_TRUE(run->WaitForExit(kRunLimit)) << run->Stderr();
    EXPECT_EQ(run->ExitCode(), 0);
    // One download: the disguised name refused by the primary, the package
    // and its signature from the backup, one connection each.
    EXPECT_EQ(primary->ConnectionsAccepted(), 1u);
    EXPECT_EQ(backup->ConnectionsAccepted(), 1u);
    EXPECT_EQ(primary->AccessLog(1).size(), 1u);
    EXPECT_EQ(backup->AccessLog(2).size(), 2u);
}

// A start whose preparation waits on a message box while the previous
// start's watchdog comes due: the watchdog must still end the run. The game
// folder cannot be entered, so every preparation in launch mode shows its two
// boxes, each for kPreparingBoxMs; the host's second "ready" comes that long
// before the watchdog, so the second preparation is under way when it fires.
TEST(HostModeTest, AStartPreparingBehindAMessageBoxDoesNotHoldUpTheWatchdog) {
    XConnection x;
    if (!x.Get()) GTEST_SKIP() << "no display: message boxes do not wait";
    constexpr int kWatchdogMs = 15000;
    constexpr int kPreparingBoxMs = 2000;
    LauncherSandbox sandbox;
    sandbox.InstallSampleGame();
    sandbox.SetEnvironment("VORN_MESSAGE_TIMEOUT_MS", std::to_string(kPreparingBoxMs));
    const std::string hostGo = sandbox.Root() + "/host-go";
    sandbox.UseHostLibrary("log " + sandbox.HostLogPath() + "\nwaitfor " + hostGo +
                           "\nready\nsleep " + std::to_string(kWatchdogMs - kPreparingBoxMs) +
                           "\nready\n");

    const auto run = sandbox.Start({"PROCPARA=abc"});
    // Launch mode is settled; now a file stands where the game folder was.
    ASSERT_TRUE(sandbox.WaitForHostLogLine("Start(abc)", 30s)) << run->Stderr();
    const std::string gameFolder = sandbox.InstallDir() + "/vorn";
    std::filesystem::rename(gameFolder, gameFolder + "-away");
    WriteFile(gameFolder, "");
    WriteFile(hostGo, "");

    ASSERT_TRUE(run->WaitForExit(60s)) << "the launcher hangs; it said:\n" << run->Stderr();
    EXPECT_EQ(run->ExitCode(), 0);
    EXPECT_FALSE(sandbox.OpenedPage().empty());
    const std::vector<std::string> errors = run->StderrLines();
    const auto folderError = std::find(errors.begin(), errors.end(), "设置路径错误.");
    ASSERT_NE(folderError, errors.end()) << run->Stderr();
    ASSERT_NE(folderError, errors.begin());
    const std::string systemError = *(folderError - 1);
    const auto watchdog = std::find(errors.begin(), errors.end(),
                                    "您的网络异常,连接更新服务器失败,请检查您的网络稍后再试!");
    ASSERT_NE(watchdog, errors.end()) << run->Stderr();
    EXPECT_EQ(std::count(errors.begin(), watchdog, systemError), 2)
        << "the watchdog did not come due while the second start was preparing:\n"
        << run->Stderr();
    const std::vector<std::string> hostLog = sandbox.HostLogLines();
    EXPECT_EQ(std::count(hostLog.begin(), hostLog.end(), "sent ready"), 1)
        << "the second start was not preparing when the watchdog ended the run";
    EXPECT_TRUE(sandbox.GameStarts().empty());
}

// The host restarts a launcher that is installing: the successor it starts
// must find the single-launcher lock free and carry on with the work, even
// while its predecessor is still busy stopping the platform object.
TEST(HostModeTest, ARestartedLauncherIsNotTurnedAwayByItsPredecessor) {
    LauncherSandbox sandbox;
    PackageFolder packages;
    const auto primary = StartDownloadServer(PrimaryPort(), packages.Path(), 4 << 20);
    const auto backup = StartDownloadServer(BackupPort(), packages.Path(), 4 << 20);
    sandbox.UseHostLibrary("stopdelay 3000\nready\nsleep 1000\nrestart second\n");
    WriteFile(sandbox.Root() + "/host-script.second", "log " + sandbox.HostLogPath() + "\nready\n");

    const auto run = sandbox.Start({"PROCPARA=first"});

    ASSERT_TRUE(run->WaitForExit(kRunLimit)) << run->Stderr();
    EXPECT_EQ(run->ExitCode(), 0);
    // The successor writes to the same output; it installs the game.
    ASSERT_TRUE(WaitUntil([&] { return FileExists(sandbox.GamePath()); }, kRunLimit))
        << run->Stderr();
    ASSERT_TRUE(WaitUntil(
        [&] { return ReadFile(sandbox.GamePath()) == ReadFile(VORN_E2E_SAMPLE_GAME); }, 10s))
        << "the package the successor ran was not whole";
    EXPECT_EQ(run->Stderr().find("游戏正在下载安装中！"), std::string::npos) << run->Stderr();
    EXPECT_NE(ReadFile(sandbox.HostLogPath()).find("Start(second)"), std::string::npos);
}

class MissingHostParametersTest : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(MissingHostParametersTest, EndTheLauncherAndRemoveItsMarker) {
    LauncherSandbox sandbox;
    sandbox.UseHostLibrary("ready\n");

    const auto run = sandbox.RunToEnd(GetParam(), 30s);

    EXPECT_EQ(run->ExitCode(), 0);
    EXPECT_FALSE(FileExists(sandbox.RunMarkerPath()));
    EXPECT_FALSE(FileExists(sandbox.TempPackagePath()));
    EXPECT_TRUE(sandbox.OpenedPage(0ms).empty());
}

INSTANTIATE_TEST_SUITE_P(CommandLines, MissingHostParametersTest,
                         ::testing::Values(std::vector<std::string>{},
                                           std::vector<std::string>{"PROCPARA="}));

// The window during a throttled download: its shape and hints, keys and a
// close request that must not end it, a drag that moves it, and a screenshot
// left in the build tree for a person to look at.
TEST(HostModeTest, GlobeWindowIsUndecoratedOffTheTaskbarAndCannotBeClosed) {
    XConnection x;
    if (!x.Get()) GTEST_SKIP() << "no display";
    LauncherSandbox sandbox;
    PackageFolder packages;
    const auto primary = StartDownloadServer(PrimaryPort(), packages.Path(), 1 << 20);
    const auto backup = StartDownloadServer(BackupPort(), packages.Path(), 1 << 20);
    sandbox.UseHostLibrary("ready\n");
    const auto run = sandbox.Start({"PROCPARA=abc"});

    const std::optional<Window> window = FindGlobeWindow(x.Get(), *run);
    ASSERT_TRUE(window);
    const WindowGeometry geometry = GeometryOf(x.Get(), *window);
    const WindowGeometry screen = ScreenSize(x.Get());
    if (screen.height >= kGlobeHeight) {
        EXPECT_NEAR(geometry.x, (screen.width - kGlobeWidth) / 2, 1);
        EXPECT_NEAR(geometry.y, (screen.height - kGlobeHeight) / 2, 1);
    }
    // The game's icon for window lists and task switchers: width, height, then
    // the pixels of each size.
    const std::vector<long> icon = CardinalValues(x.Get(), *window, "_NET_WM_ICON");
    ASSERT_GE(icon.size(), 2u);
    EXPECT_GT(icon[0], 0);
    EXPECT_EQ(icon[0], icon[1]) << "the square icon of the desktop entry";
    EXPECT_GE(icon.size(), 2u + static_cast<size_t>(icon[0] * icon[1]));
    const std::vector<std::string> state = AtomNames(x.Get(), *window, "_NET_WM_STATE");
    EXPECT_NE(std::find(state.begin(), state.end(), "_NET_WM_STATE_SKIP_TASKBAR"), state.end());
    // Motif hints: flags, functions, decorations; the decorations flag is bit 1.
    const std::vector<long> motif = CardinalValues(x.Get(), *window, "_MOTIF_WM_HINTS");
    ASSERT_GE(motif.size(), 3u);
    EXPECT_TRUE(motif[0] & 2);
    EXPECT_EQ(motif[2], 0);

    // A screenshot once the boat is on its way.
    ASSERT_TRUE(WaitUntil(
        [&] { return ReadFile(sandbox.TempPackagePath()).size() >= 6u * 1024 * 1024; }, 60s));
    std::filesystem::create_directories(VORN_E2E_SCREENSHOT_DIR);
    EXPECT_EQ(RunTool({"import", "-window", "root",
                       std::string(VORN_E2E_SCREENSHOT_DIR) + "/launcher-window.png"}),
              0);

    const std::string id = std::to_string(*window);
    ASSERT_EQ(RunTool({"xdotool", "windowfocus", "--sync", id}), 0);
    ASSERT_EQ(RunTool({"xdotool", "key", "--window", id, "Escape", "Return", "alt+F4"}), 0);
    SendCloseRequest(x.Get(), *window);

    // A drag anywhere on the picture moves the window.
    const int grabX = geometry.x + kGlobeWidth / 2;
    const int grabY = geometry.y + kGlobeHeight / 2;
    ASSERT_EQ(RunTool({"xdotool", "mousemove", "--sync", std::to_string(grabX),
                       std::to_string(grabY), "mousedown", "1", "sleep", "0.2", "mousemove",
                       "--sync", std::to_string(grabX - 40), std::to_string(grabY - 30), "sleep",
                       "0.2", "mouseup", "1"}),
              0);
    EXPECT_TRUE(WaitUntil(
        [&] {
            const WindowGeometry moved = GeometryOf(x.Get(), *window);
            return moved.x == geometry.x - 40 && moved.y == geometry.y - 30;
        },
        5s))
        << "window at " << GeometryOf(x.Get(), *window).x << "," << GeometryOf(x.Get(), *window).y
        << ", was at " << geometry.x << "," << geometry.y;
    // The launcher takes its events in order: having moved, it has handled the
    // keys and the close request before the drag, and they neither ended it
    // nor hid its window.
    EXPECT_TRUE(run->Running());
    EXPECT_TRUE(IsMapped(x.Get(), *window));
}

// A build whose bundle lacks the dashed arc still opens the globe window, says
// which picture it could not load and keeps running.
TEST(HostModeTest, WindowOpensWithAPictureMissingFromTheBundle) {
    XConnection x;
    if (!x.Get()) GTEST_SKIP() << "no display";
    LauncherSandbox sandbox(VORN_E2E_LAUNCHER_WITHOUT_DASHED_ARC);
    sandbox.UseHostLibrary("sleep 600000\n");  // the host never says "ready"
    const auto run = sandbox.Start({"PROCPARA=abc"});

    ASSERT_TRUE(FindGlobeWindow(x.Get(), *run));
    EXPECT_NE(run->Stderr().find("Error loading resource: 171"), std::string::npos)
        << run->Stderr();
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(run->Running());
}

}  // namespace
