// Launch mode with the game present, the folders a game is started from, the
// single-launcher guard and the registration switch, with the real launcher.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "tests/e2e/LauncherSandbox.h"
#include "tests/e2e/LoopbackServices.h"
#include "tests/e2e/WaitUntil.h"
#include "tests/support/ChildProcess.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kRunLimit = 60s;

// GameParametersTest goes through the parameters row by row; one real run
// shows the launcher's arguments joined, the host's value replaced by the
// launcher's process id and the result split again into the game's arguments.
TEST(LaunchModeTest, StartsTheGameInItsFolderWithTheLaunchersId) {
    LauncherSandbox sandbox;
    sandbox.InstallSampleGame();

    const auto run = sandbox.RunToEnd({"DEBUG=FALSE", "PROCPARA=12,34"}, kRunLimit);

    EXPECT_EQ(run->ExitCode(), 0);
    ASSERT_TRUE(sandbox.WaitForGameStart(20s)) << run->Stderr();
    const std::vector<GameStart> starts = sandbox.GameStarts();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].args,
              (std::vector<std::string>{"DEBUG=FALSE", "PROCPARA=" + std::to_string(run->Pid())}));
    EXPECT_EQ(starts[0].workingDir, sandbox.InstallDir() + "/vorn");
    EXPECT_FALSE(FileExists(sandbox.RunMarkerPath()));
}

// A DEBUG argument means standalone even beside the host library and with a
// host parameter: the library is never loaded.
TEST(LaunchModeTest, DebugArgumentNeverLoadsTheHostLibrary) {
    LauncherSandbox sandbox;
    sandbox.InstallSampleGame();
    sandbox.UseHostLibrary("log " + sandbox.HostLogPath() + "\nready\n");

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE", "PROCPARA=abc"}, kRunLimit);

    EXPECT_EQ(run->ExitCode(), 0);
    ASSERT_TRUE(sandbox.WaitForGameStart(20s)) << run->Stderr();
    EXPECT_EQ(run->Stdout().find("Load library"), std::string::npos) << run->Stdout();
    EXPECT_FALSE(FileExists(sandbox.HostLogPath()));
}

// An installed game needs no server: with neither a name service nor the
// HTTP-DNS service, it starts all the same, with no message and no page.
TEST(LaunchModeTest, AnInstalledGameStartsWithoutAnyNameService) {
    LauncherSandbox sandbox;
    sandbox.InstallSampleGame();
    sandbox.TakeAwayTheResolver();

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_EQ(run->ExitCode(), 0);
    ASSERT_TRUE(sandbox.WaitForGameStart(20s)) << run->Stderr();
    EXPECT_EQ(sandbox.GameStarts().size(), 1u);
    // Every message box is a line on standard error; a failed lookup shows one
    // before it gives up.
    EXPECT_EQ(run->Stderr().find("d+ get ip error"), std::string::npos) << run->Stderr();
    EXPECT_FALSE(FileExists(sandbox.RunMarkerPath()));
}

// A Windows game is started the way its installer was: through wine, with
// the same path, parameters and working folder a native game gets.
TEST(LaunchModeTest, AWindowsGameIsStartedThroughWine) {
    LauncherSandbox sandbox;
    std::filesystem::create_directories(std::filesystem::path(sandbox.GamePath()).parent_path());
    WriteFile(sandbox.GamePath(), std::string("MZ\x90\0windows game", 17));
    const std::string record = sandbox.Root() + "/records/wine";
    WriteFile(sandbox.Root() + "/bin/wine",
              "#!/bin/sh\n{ pwd; for a in \"$@\"; do echo \"$a\"; done; } > '" + record +
                  ".part'\nmv '" + record + ".part' '" + record + "'\n");
    chmod((sandbox.Root() + "/bin/wine").c_str(), 0755);

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_EQ(run->ExitCode(), 0);
    ASSERT_TRUE(WaitUntil([&] { return FileExists(record); }, 20s)) << run->Stderr();
    EXPECT_EQ(ReadFile(record), sandbox.InstallDir() + "/vorn\n" + sandbox.GamePath() +
                                    "\nDEBUG=TRUE,PROCPARA=" + std::to_string(run->Pid()) + "\n");
    EXPECT_FALSE(FileExists(sandbox.RunMarkerPath()));
}

// The run started the player's own game, once, from the sandbox's install
// folder, and remembered that folder.
void ExpectOnlyThePlayersGameStarted(const LauncherSandbox& sandbox, const ProgramRun& run) {
    EXPECT_EQ(run.ExitCode(), 0);
    ASSERT_TRUE(sandbox.WaitForGameStart(20s)) << run.Stderr();
    const std::vector<GameStart> starts = sandbox.GameStarts();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].workingDir, sandbox.InstallDir() + "/vorn") << "another game ran";
    EXPECT_NE(
        sandbox.SettingsText().find("\"QuorvaneInstallDic\"=\"" + sandbox.InstallDir() + "\""),
        std::string::npos)
        << sandbox.SettingsText();
}

// A game planted where the launcher looks first must not be started as the
// player's: on the way from a candidate folder to the game, every part must
// belong to the player or the system, and nobody else may write it. Here the
// launcher's folder lies on a volume of its own, whose root holds the planted
// game; the player's game is on the volume the scan finds next.
struct PlantedGame {
    const char* name;
    bool changesOwner;  // needs root
    void (*spoil)(const std::string& volume);
};

class PlantedGameTest : public ::testing::TestWithParam<PlantedGame> {};

TEST_P(PlantedGameTest, IsNotStartedFromTheLaunchersVolume) {
    if (GetParam().changesOwner && geteuid() != 0) {
        GTEST_SKIP() << "giving files to another user needs root";
    }
    LauncherSandbox sandbox;
    sandbox.InstallSampleGame();
    const std::string launchersVolume = sandbox.Root();
    ASSERT_TRUE(sandbox.LauncherDir().starts_with(launchersVolume + "/"));
    sandbox.SetFixedVolumes({sandbox.InstallDir(), launchersVolume});
    sandbox.InstallSampleGameIn(launchersVolume);
    GetParam().spoil(launchersVolume);

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    ExpectOnlyThePlayersGameStarted(sandbox, *run);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, PlantedGameTest,
    ::testing::Values(PlantedGame{"GameOfAnotherUser", true,
                                  [](const std::string& volume) {
                                      LauncherSandbox::GiveToAnotherUser(volume + "/vorn");
                                  }},
                      PlantedGame{"GameFileOfAnotherUser", true,
                                  [](const std::string& volume) {
                                      LauncherSandbox::GiveToAnotherUser(
                                          LauncherSandbox::GamePathIn(volume));
                                  }},
                      PlantedGame{"GameFolderTheGroupCanWrite", false,
                                  [](const std::string& volume) {
                                      chmod((volume + "/vorn/ADPackage").c_str(), 0775);
                                  }},
                      PlantedGame{"VolumeRootOthersCanWrite", false,
                                  [](const std::string& volume) { chmod(volume.c_str(), 0777); }},
                      PlantedGame{"GameFileALink", false,
                                  [](const std::string& volume) {
                                      const std::string game = LauncherSandbox::GamePathIn(volume);
                                      std::filesystem::rename(game, volume + "/elsewhere");
                                      std::filesystem::create_symlink(volume + "/elsewhere", game);
                                  }}),
    [](const ::testing::TestParamInfo<PlantedGame>& info) { return info.param.name; });

// A stored install folder that others may write is passed over the same way,
// and the folder the game was found in is remembered instead.
TEST(StoredInstallFolderTest, OneOthersCanWriteIsPassedOver) {
    LauncherSandbox sandbox;
    sandbox.InstallSampleGame();
    const std::string stored = sandbox.Root() + "/stored";
    sandbox.InstallSampleGameIn(stored);
    chmod(stored.c_str(), 0777);
    sandbox.WriteSettingsText("\"QuorvaneInstallDic\"=\"" + stored + "\"\n");

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    ExpectOnlyThePlayersGameStarted(sandbox, *run);
}

TEST(SingleLauncherTest, SecondLauncherIsRefusedWhileTheFirstInstalls) {
    LauncherSandbox sandbox;
    PackageFolder packages;
    const auto slowPrimary = StartDownloadServer(PrimaryPort(), packages.Path(), 256 * 1024);
    const auto first = sandbox.Start({"DEBUG=TRUE"});
    ASSERT_TRUE(WaitUntil([&] { return !ReadFile(sandbox.TempPackagePath()).empty(); }, 60s))
        << first->Stderr();

    const auto second = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_EQ(second->ExitCode(), 0);
    EXPECT_NE(second->Stderr().find("游戏正在下载安装中！"), std::string::npos) << second->Stderr();
    EXPECT_TRUE(first->Running());
    EXPECT_TRUE(FileExists(sandbox.RunMarkerPath())) << "the first launcher's marker is gone";
    // The second launcher has ended: had it connected, nginx would count it.
    EXPECT_EQ(slowPrimary->ConnectionsAccepted(), 1u)
        << "only the first launcher, still downloading, may have connected";
}

// Without a runtime folder the lock lies in a folder of the player's own:
// another user's program holding a lock file of that name in the shared
// temporary folder does not turn the player's launcher away.
TEST(SingleLauncherTest, AnotherUsersLockInTheSharedTemporaryFolderIsNotThePlayers) {
    if (geteuid() != 0) GTEST_SKIP() << "starting a program as another user needs root";
    LauncherSandbox sandbox;
    sandbox.InstallSampleGame();
    // A marker left behind: launch mode takes the lock.
    WriteFile(sandbox.RunMarkerPath(), "");
    sandbox.RemoveEnvironment("XDG_RUNTIME_DIR");
    const std::string sharedTemp = sandbox.Root() + "/tmp";
    chmod(sharedTemp.c_str(), 01777);
    chmod(sandbox.Root().c_str(), 0711);
    ChildProcess holder(LauncherSandbox::AsAnotherUser({"/usr/bin/python3", "-c",
                                                        "import fcntl, signal, sys\n"
                                                        "lock = open(sys.argv[1], 'a')\n"
                                                        "fcntl.flock(lock, fcntl.LOCK_EX)\n"
                                                        "print('held', flush=True)\n"
                                                        "signal.pause()\n",
                                                        sharedTemp + "/Launch.lock"}));
    ASSERT_EQ(holder.ReadLine(20s), "held");

    const auto run = sandbox.RunToEnd({"DEBUG=TRUE"}, kRunLimit);

    EXPECT_EQ(run->ExitCode(), 0);
    EXPECT_EQ(run->Stderr().find("游戏正在下载更新中！"), std::string::npos) << run->Stderr();
    ASSERT_TRUE(sandbox.WaitForGameStart(20s)) << run->Stderr();
    EXPECT_TRUE(FileExists(sandbox.Root() + "/data/Velmora/Launch.lock"));
    EXPECT_FALSE(holder.HasExited());
}

// Every file below root with its size, except the runs' own output.
std::map<std::string, uintmax_t> FilesBelow(const std::string& root) {
    std::map<std::string, uintmax_t> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const std::string path = entry.path().string();
        if (path.starts_with(root + "/runs/")) continue;
        files[path] = entry.is_regular_file() ? entry.file_size() : 0;
    }
    return files;
}

class RegserverTest : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(RegserverTest, EndsAtOnceTouchingNothing) {
    LauncherSandbox sandbox;
    const std::map<std::string, uintmax_t> before = FilesBelow(sandbox.Root());

    const auto run = sandbox.RunToEnd(GetParam(), 20s);

    EXPECT_EQ(run->ExitCode(), 0);
    EXPECT_EQ(FilesBelow(sandbox.Root()), before);
    EXPECT_TRUE(sandbox.OpenedPage(0ms).empty());
}

INSTANTIATE_TEST_SUITE_P(CommandLines, RegserverTest,
                         ::testing::Values(std::vector<std::string>{"/regserver"},
                                           std::vector<std::string>{"DEBUG=TRUE", "/regserver"},
                                           std::vector<std::string>{"PROCPARA=1/regserver"}));

}  // namespace
