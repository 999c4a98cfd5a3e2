#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <vector>

#include "app/LauncherConfiguration.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/posix/SettingsFile.h"
#include "tests/support/FakeClock.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestServices.h"

namespace {

// Real volumes read from a mount table of temporary folders, with the free
// space of each folder set by the test.
class VolumesWithFreeSpace : public platform::IVolumes {
public:
    explicit VolumesWithFreeSpace(std::unique_ptr<platform::IVolumes> real)
        : m_real(std::move(real)) {}
    std::vector<platform::Volume> FixedVolumes() override { return m_real->FixedVolumes(); }
    std::optional<uint64_t> FreeBytes(const std::string& path) override {
        auto it = freeBytes.find(path);
        return it == freeBytes.end() ? m_real->FreeBytes(path)
                                     : std::optional<uint64_t>(it->second);
    }
    std::string VolumeOf(const std::string& path) override { return m_real->VolumeOf(path); }

    std::map<std::string, uint64_t> freeBytes;

private:
    std::unique_ptr<platform::IVolumes> m_real;
};

class LauncherConfigurationTest : public ::testing::Test {
protected:
    void SetUp() override {
        launcherDir = home / "apps/launcher";
        platform::CreateDirectories(launcherDir);
        clock.tickMs = 4242;
        WriteMountTable({});
    }

    // Each folder becomes an ext4 volume on its own /dev device; a folder of
    // the test's own stands for the system root.
    void WriteMountTable(const std::vector<std::string>& mountPoints) {
        platform::CreateDirectories(SystemRoot());
        std::string table = "22 1 8:1 / " + SystemRoot() + " rw,relatime - ext4 /dev/sda1 rw\n";
        int id = 30;
        for (const std::string& mountPoint : mountPoints) {
            platform::CreateDirectories(mountPoint);
            chmod(mountPoint.c_str(), 0755);  // the player's own, whatever the umask
            table += std::to_string(id) + " 22 8:" + std::to_string(id) + " / " + mountPoint +
                     " rw,relatime - ext4 /dev/sdb" + std::to_string(id) + " rw\n";
            ++id;
        }
        WriteFile(home / "mountinfo", table);
    }

    std::string SystemRoot() const { return home / "sysroot"; }

    void InstallGameIn(const std::string& installDir) {
        platform::CreateDirectories(installDir + "/vorn/ADPackage");
        WriteFile(installDir + "/vorn/ADPackage/Ostrel.exe", "#!/bin/sh\n");
    }

    std::unique_ptr<platform::ISettingsStore> Settings() const {
        return platform::OpenSettingsFile(platform::kGameKeyPath, home / "config/game.reg");
    }

    // Runs the steps with real settings, a real mount table of temporary
    // folders and recording stand-ins for the resolver and the lock.
    ConfigOutcome Settle(const std::string& commandLine = "DEBUG=TRUE") {
        volumes =
            std::make_unique<VolumesWithFreeSpace>(platform::SystemVolumes(home / "mountinfo"));
        volumes->freeBytes = freeBytes;
        platform::Services services;
        services.clock = &clock;
        services.volumes = volumes.get();
        services.openSettings = [this] { return Settings(); };
        services.endpoints = endpoints;
        services.lookUpIPv4 =
            [this](const std::string& host) -> std::optional<platform::IPv4Address> {
            lookups.push_back(host);
            if (!resolverWorks) return std::nullopt;
            return DottedAddressOnly(host == "dl.test" ? "10.0.0.1" : "10.0.0.2");
        };
        services.acquireLock = [this](const std::string& name) {
            lockRequests.push_back(name);
            return platform::NamedLock(lockResult);
        };
        services.osClass = osClass;
        services.systemRoot = SystemRoot();
        services.startDirectory = launcherDir;
        services.executablePath = launcherDir + "/vorn-launcher";
        services.fallbackInstallRoot =
            fallbackOverride.empty() ? home / "data/Velmora" : fallbackOverride;
        ConfigOutcome outcome = SettleLaunchConfig(commandLine, services,
                                                   [this](int os) { launchRecords.push_back(os); });
        if (SettledLaunch* settled = std::get_if<SettledLaunch>(&outcome)) {
            config = settled->config;
            installStartTick = settled->installStartTick;
        }
        return outcome;
    }

    std::optional<std::string> StoredInstallDir() const {
        return Settings()->ReadString("QuorvaneInstallDic");
    }

    TempDir home;
    std::string launcherDir;
    int osClass = 5;
    bool resolverWorks = true;
    std::string fallbackOverride;  // the data folder's, when not empty
    std::map<std::string, uint64_t> freeBytes;
    platform::NamedLockResult lockResult = platform::NamedLockResult::Acquired;
    platform::Endpoints endpoints{"http://dl.test:8080/download",
                                  "http://dl-backup.test/download",
                                  "http://up.test/update",
                                  "http://up-backup.test/update",
                                  "127.0.0.1:9",
                                  "http://127.0.0.1:9",
                                  "http://127.0.0.1:9/im"};

    FakeClock clock;
    std::unique_ptr<VolumesWithFreeSpace> volumes;
    LaunchConfig config;
    uint32_t installStartTick = 0;
    std::vector<std::string> lookups, lockRequests;
    std::vector<int> launchRecords;
};

TEST_F(LauncherConfigurationTest, LauncherInsideGameFolderLaunchesFromItsParent) {
    const std::string parent = home / "games";
    launcherDir = parent + "/vorn";
    platform::CreateDirectories(launcherDir);
    InstallGameIn(parent);
    Settle();
    EXPECT_EQ(config.m_nMode, MODE_LAUNCH);
    EXPECT_EQ(config.m_szInstallDir, parent);
    EXPECT_EQ(StoredInstallDir(), parent);
    EXPECT_EQ(config.m_szRunMarker, parent + "/load_vorn_temp");
    EXPECT_TRUE(FileExists(config.m_szRunMarker));
    EXPECT_TRUE(lockRequests.empty()) << "no marker before: no lock taken";
    EXPECT_EQ(installStartTick, 0u);
}

TEST_F(LauncherConfigurationTest, InstallModeResolvesTheTwoDownloadHostsOnly) {
    Settle("PROCPARA=abc");
    ASSERT_EQ(config.m_nMode, MODE_INSTALL);
    EXPECT_EQ(config.m_szPackName, "vorn_ad2.exe");
    EXPECT_EQ(config.m_szGameDir, "vorn");
    EXPECT_EQ(config.m_szLocalVerFile, "localVer.dat");
    EXPECT_EQ(config.m_szGamePackUrl, "http://dl.test:8080/download");
    EXPECT_EQ(config.m_szGamePackUrlBak, "http://dl-backup.test/download");
    EXPECT_EQ(lookups, (std::vector<std::string>{"dl.test", "dl-backup.test"}));
    EXPECT_EQ(config.m_szGamePackAddr, "10.0.0.1");
    EXPECT_EQ(config.m_szGamePackAddrBak, "10.0.0.2");
    EXPECT_EQ(config.m_szUpdateAddr, "");
    EXPECT_EQ(config.m_szUpdateAddrBak, "");
    EXPECT_EQ(launchRecords, std::vector<int>{5});
    EXPECT_EQ(config.m_strCmdLine, "PROCPARA=abc");
}

// An installed game needs no server: nothing is looked up, so it starts when
// no name can be resolved at all.
TEST_F(LauncherConfigurationTest, LaunchModeResolvesNothing) {
    launcherDir = home / "games/vorn";
    platform::CreateDirectories(launcherDir);
    InstallGameIn(home / "games");
    resolverWorks = false;
    const ConfigOutcome outcome = Settle();
    ASSERT_TRUE(std::holds_alternative<SettledLaunch>(outcome));
    EXPECT_EQ(config.m_nMode, MODE_LAUNCH);
    EXPECT_TRUE(lookups.empty());
    EXPECT_EQ(config.m_szGamePackAddr, "");
    EXPECT_EQ(launchRecords, std::vector<int>{5});
}

TEST_F(LauncherConfigurationTest, StoredDirectoryIsUsedOnlyWhenItHoldsTheGame) {
    const std::string stored = home / "stored";
    Settings()->CreateKey();
    Settings()->WriteString("QuorvaneInstallDic", stored);
    platform::CreateDirectories(stored);

    Settle();  // no game there: the next candidates decide, and are remembered
    EXPECT_EQ(config.m_nMode, MODE_INSTALL);
    EXPECT_NE(config.m_szInstallDir, stored);
    EXPECT_EQ(StoredInstallDir(), config.m_szInstallDir);

    InstallGameIn(stored);
    Settings()->WriteString("QuorvaneInstallDic", stored);
    Settle();
    EXPECT_EQ(config.m_nMode, MODE_LAUNCH);
    EXPECT_EQ(config.m_szInstallDir, stored);
}

// The game is started only where every part of the way to it belongs to the
// player or the system and nobody else may write it; otherwise the next
// candidate is tried, here a volume with the player's own game.
TEST_F(LauncherConfigurationTest, AWayToTheGameOthersMayChangeIsPassedOver) {
    struct Case {
        const char* name;
        bool needsRoot;
        void (*spoil)(const std::string& installDir);
    };
    const Case cases[] = {
        {"the folder others may write", false,
         [](const std::string& dir) { chmod(dir.c_str(), 0777); }},
        {"the game's folder the group may write", false,
         [](const std::string& dir) { chmod((dir + "/vorn").c_str(), 0775); }},
        {"the package folder others may write", false,
         [](const std::string& dir) { chmod((dir + "/vorn/ADPackage").c_str(), 0757); }},
        {"the game a link", false,
         [](const std::string& dir) {
             const std::string game = GameExecutablePath(dir, "vorn");
             ASSERT_EQ(rename(game.c_str(), (dir + "/real-game").c_str()), 0);
             ASSERT_EQ(symlink((dir + "/real-game").c_str(), game.c_str()), 0);
         }},
        {"the game another user's", true,
         [](const std::string& dir) {
             ASSERT_EQ(chown(GameExecutablePath(dir, "vorn").c_str(), 65534, 65534), 0);
         }},
    };
    const std::string volume = home / "vol";
    WriteMountTable({volume});
    freeBytes = {{volume, 50ull << 30}};
    InstallGameIn(volume);
    for (const Case& c : cases) {
        if (c.needsRoot && geteuid() != 0) continue;
        for (const bool stored : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (stored ? ", stored" : ", the launcher's parent"));
            TempDir world;
            const std::string candidate = world / "games";
            InstallGameIn(candidate);
            platform::RemoveFile(home / "config/game.reg");
            if (stored) {
                Settings()->CreateKey();
                Settings()->WriteString("QuorvaneInstallDic", candidate);
                launcherDir = home / "apps/launcher";
            } else {
                launcherDir = candidate + "/vorn";
            }
            c.spoil(candidate);

            Settle();

            EXPECT_EQ(config.m_nMode, MODE_LAUNCH);
            EXPECT_EQ(config.m_szInstallDir, volume);
            EXPECT_EQ(StoredInstallDir(), volume);
        }
    }
}

// A folder a new install would go to follows the same rule: the scan passes
// over a volume where others may change the game's folder, without probing it.
TEST_F(LauncherConfigurationTest, TheScanPassesOverAVolumeWhoseGameFolderOthersMayWrite) {
    const std::string open = home / "vol-open";
    const std::string own = home / "vol-own";
    WriteMountTable({open, own});
    freeBytes = {{open, 50ull << 30}, {own, 50ull << 30}};
    platform::CreateDirectories(open + "/vorn");
    chmod((open + "/vorn").c_str(), 0777);
    Settle();
    EXPECT_EQ(config.m_nMode, MODE_INSTALL);
    EXPECT_EQ(config.m_szInstallDir, own);
    EXPECT_FALSE(FileExists(open + "/vornTemp"));
}

// The data folder is the last place to go: when others may write it, the run
// ends naming it, before anything is remembered, reported or locked.
TEST_F(LauncherConfigurationTest, AFallbackOthersMayWriteEndsTheRun) {
    platform::CreateDirectories(home / "data/Velmora");
    chmod((home / "data/Velmora").c_str(), 0777);
    const ConfigOutcome outcome = Settle();
    const EarlyEnd* end = std::get_if<EarlyEnd>(&outcome);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->message, "安装目录可被其他用户修改,无法安装游戏: " + home / "data/Velmora");
    EXPECT_FALSE(end->failed);
    EXPECT_FALSE(FileExists(home / "config/game.reg"));
    EXPECT_FALSE(FileExists(home / "data/Velmora/load_vorn_temp"));
    EXPECT_TRUE(launchRecords.empty());
    EXPECT_TRUE(lockRequests.empty());
}

TEST_F(LauncherConfigurationTest, StoredDirectoryTooLongForItsFieldIsPassedOver) {
    std::string stored = home.Path();
    while (stored.size() < 140) stored += "/deeper";
    InstallGameIn(stored);
    Settings()->CreateKey();
    Settings()->WriteString("QuorvaneInstallDic", stored);
    Settle();
    EXPECT_EQ(config.m_nMode, MODE_INSTALL);
    EXPECT_EQ(config.m_szInstallDir, home / "data/Velmora");
    EXPECT_EQ(StoredInstallDir(), home / "data/Velmora");
}

// A folder that does not fit its field cannot be used: with no volume to take
// instead, the run ends naming it, and nothing is written anywhere.
TEST_F(LauncherConfigurationTest, AFallbackTooLongForItsFieldEndsTheRun) {
    std::string data = home / "data";
    while (data.size() < 130) data += "/deeper";
    fallbackOverride = data + "/Velmora";
    const ConfigOutcome outcome = Settle();
    const EarlyEnd* end = std::get_if<EarlyEnd>(&outcome);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->message, "安装目录的路径太长,无法安装游戏: " + data + "/Velmora");
    EXPECT_FALSE(end->failed);
    EXPECT_FALSE(FileExists(data));
    EXPECT_FALSE(FileExists(home / "config/game.reg"));
    EXPECT_TRUE(launchRecords.empty());
    EXPECT_TRUE(lockRequests.empty());
}

TEST_F(LauncherConfigurationTest, VolumeNeedsAtLeastTwoGibibytesFree) {
    const std::string small = home / "vol-small";
    const std::string exact = home / "vol-exact";
    WriteMountTable({small, exact});
    freeBytes = {{small, kMinimumFreeBytes - 1}, {exact, kMinimumFreeBytes}};
    Settle();
    EXPECT_EQ(config.m_nMode, MODE_INSTALL);
    EXPECT_EQ(config.m_szInstallDir, exact);
    EXPECT_TRUE(FileExists(exact + "/vornTemp"));
    EXPECT_FALSE(FileExists(small + "/vornTemp"));
}

TEST_F(LauncherConfigurationTest, FirstQualifyingVolumeInTableOrderWins) {
    const std::string first = home / "vol-b";
    const std::string second = home / "vol-a";
    WriteMountTable({first, second});
    freeBytes = {{first, 50ull << 30}, {second, 50ull << 30}};
    Settle();
    EXPECT_EQ(config.m_szInstallDir, first);
}

TEST_F(LauncherConfigurationTest, NoQualifyingVolumeFallsBackToTheDataDirectory) {
    const std::string full = home / "vol-full";
    WriteMountTable({full});
    freeBytes = {{full, 1024}};
    Settle();
    EXPECT_EQ(config.m_szInstallDir, home / "data/Velmora");
    EXPECT_TRUE(FileExists(home / "data/Velmora/load_vorn_temp"));
    struct stat info {};
    ASSERT_EQ(stat((home / "data/Velmora").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u) << "a folder made for the game is the player's alone";
}

TEST_F(LauncherConfigurationTest, OldSystemClassAlwaysUsesTheVornDirLayout) {
    const std::string roomy = home / "vol-roomy";
    WriteMountTable({roomy});
    freeBytes = {{roomy, 50ull << 30}};
    osClass = 1;
    Settle();
    EXPECT_EQ(config.m_nOsClass, 1);
    EXPECT_EQ(config.m_szInstallDir, home / "data/Velmora/vorn_dir");
    struct stat info {};
    EXPECT_EQ(stat(config.m_szInstallDir.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
}

TEST_F(LauncherConfigurationTest, FirstStartInstallsTakesTheLockAndLeavesTheMarker) {
    Settle();
    EXPECT_EQ(config.m_nMode, MODE_INSTALL);
    EXPECT_EQ(installStartTick, 4242u);
    EXPECT_EQ(lockRequests, std::vector<std::string>{"Launch"});
    EXPECT_TRUE(FileExists(config.m_szRunMarker));
}

// A lock that cannot be made does not keep the player from the game.
TEST_F(LauncherConfigurationTest, AnUnavailableLockLetsTheRunGoOnUnguarded) {
    lockResult = platform::NamedLockResult::Unavailable;
    const ConfigOutcome outcome = Settle();
    ASSERT_TRUE(std::holds_alternative<SettledLaunch>(outcome));
    EXPECT_EQ(config.m_nMode, MODE_INSTALL);
    EXPECT_EQ(lockRequests, std::vector<std::string>{"Launch"});
    EXPECT_TRUE(FileExists(config.m_szRunMarker));
}

// One character more than its field holds ends the run at once; the longest
// folder that fits still gets its marker, and a second launcher is turned
// away there.
TEST_F(LauncherConfigurationTest, TheLongestFolderThatFitsHasItsMarkerAndItsCheck) {
    std::string data = home / "data/";
    while (data.size() < 127 - std::string("Velmora").size()) data += "d";
    fallbackOverride = data + "dVelmora";
    ASSERT_EQ(fallbackOverride.size(), 128u);
    const ConfigOutcome tooLong = Settle();
    const EarlyEnd* end = std::get_if<EarlyEnd>(&tooLong);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->message, "安装目录的路径太长,无法安装游戏: " + fallbackOverride);

    fallbackOverride = data + "Velmora";
    ASSERT_TRUE(std::holds_alternative<SettledLaunch>(Settle()));
    EXPECT_EQ(config.m_szRunMarker, fallbackOverride + "/load_vorn_temp");
    EXPECT_TRUE(FileExists(config.m_szRunMarker));

    InstallGameIn(fallbackOverride);
    lockResult = platform::NamedLockResult::AlreadyHeld;
    const ConfigOutcome second = Settle();
    const EarlyEnd* refused = std::get_if<EarlyEnd>(&second);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->message, "游戏正在下载更新中！");
}

TEST_F(LauncherConfigurationTest, SecondLauncherIsRefusedWithTheMessageOfItsMode) {
    struct Case {
        bool installed;
        bool markerPresent;
        const char* message;  // null: goes on
    };
    const Case cases[] = {
        {false, false, "游戏正在下载安装中！"},
        {false, true, "游戏正在下载安装中！"},
        {true, true, "游戏正在下载更新中！"},
        {true, false, nullptr},
    };
    for (const Case& c : cases) {
        TempDir dir;
        launcherDir = dir / "vorn";
        platform::CreateDirectories(launcherDir);
        if (c.installed) InstallGameIn(dir.Path());
        const std::string marker =
            (c.installed ? dir.Path() : home / "data/Velmora") + "/load_vorn_temp";
        unlink(marker.c_str());
        if (c.markerPresent) {
            platform::CreateDirectories(home / "data/Velmora");
            WriteFile(marker, "");
        }
        lockResult = platform::NamedLockResult::AlreadyHeld;
        const ConfigOutcome outcome = Settle();
        SCOPED_TRACE(std::string("installed=") + (c.installed ? "1" : "0") +
                     " marker=" + (c.markerPresent ? "1" : "0"));
        const EarlyEnd* end = std::get_if<EarlyEnd>(&outcome);
        if (c.message) {
            ASSERT_TRUE(end);
            EXPECT_EQ(end->message, c.message);
            EXPECT_FALSE(end->failed) << "a refused launcher opens no service page";
        } else {
            EXPECT_FALSE(end);
            EXPECT_TRUE(FileExists(marker));
        }
    }
}

TEST_F(LauncherConfigurationTest, RegserverEndsBeforeAnythingIsTouched) {
    const ConfigOutcome outcome = Settle("PROCPARA=1 /regserver");
    const EarlyEnd* end = std::get_if<EarlyEnd>(&outcome);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->message, "");
    EXPECT_FALSE(end->failed);
    EXPECT_TRUE(lookups.empty());
    EXPECT_TRUE(launchRecords.empty());
    EXPECT_FALSE(FileExists(home / "config/game.reg"));
    EXPECT_FALSE(FileExists(home / "data"));
}

// Neither the system resolver nor the HTTP-DNS service (nobody listens on
// port 9) knows the host: the player is told and the run ends at the service
// page, before anything is remembered or reported.
TEST_F(LauncherConfigurationTest, AHostNobodyCanResolveEndsTheRun) {
    resolverWorks = false;
    const ConfigOutcome outcome = Settle();
    const EarlyEnd* end = std::get_if<EarlyEnd>(&outcome);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->message, "d+ get ip error");
    EXPECT_TRUE(end->failed);
    EXPECT_EQ(lookups, std::vector<std::string>{"dl.test"}) << "the first failure ends the run";
    EXPECT_EQ(clock.sleptMs, 1000u) << "the service is asked again after a pause";
    EXPECT_TRUE(launchRecords.empty());
    EXPECT_FALSE(FileExists(home / "config/game.reg"));
    EXPECT_TRUE(lockRequests.empty());
}

}  // namespace
