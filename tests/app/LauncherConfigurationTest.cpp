#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <map>
#include <vector>

#include "app/LauncherConfiguration.h"
#include "platform/Paths.h"
#include "tests/support/TempDir.h"

namespace {

struct Terminated {};

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
        setenv("HOME", home.Path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (home / "run").c_str(), 1);
        platform::CreateDirectories(home / "run");
        launcherDir = home / "apps/launcher";
        platform::CreateDirectories(launcherDir);
        WriteMountTable({});
    }

    // Each folder becomes an ext4 volume on its own /dev device.
    void WriteMountTable(const std::vector<std::string>& mountPoints) {
        std::string table = "22 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw\n";
        int id = 30;
        for (const std::string& mountPoint : mountPoints) {
            platform::CreateDirectories(mountPoint);
            table += std::to_string(id) + " 22 8:" + std::to_string(id) + " / " + mountPoint +
                     " rw,relatime - ext4 /dev/sdb" + std::to_string(id) + " rw\n";
            ++id;
        }
        WriteFile(home / "mountinfo", table);
        setenv("VORN_MOUNTINFO", (home / "mountinfo").c_str(), 1);
    }

    void InstallGameIn(const std::string& installDir) {
        platform::CreateDirectories(installDir + "/vorn/ADPackage");
        WriteFile(installDir + "/vorn/ADPackage/Ostrel.exe", "#!/bin/sh\n");
    }

    // Runs the steps with real settings and volumes and recording stand-ins
    // for the network, the lock and the dialogs.
    void Settle(const std::string& commandLine = "DEBUG=TRUE") {
        settings = platform::OpenUserSettings();
        volumes = std::make_unique<VolumesWithFreeSpace>(platform::SystemVolumes());
        volumes->freeBytes = freeBytes;
        ConfigServices services;
        services.osClass = [this] { return osClass; };
        services.settings = settings.get();
        services.volumes = volumes.get();
        services.resolveHost = [this](const std::string& url) {
            resolved.push_back(url);
            return std::string("127.0.0.1");
        };
        services.sendLaunchRecord = [this](int os) { launchRecords.push_back(os); };
        services.acquireLock = [this](const std::string& name) {
            lockRequests.push_back(name);
            return lockResult;
        };
        services.showMessage = [this](const std::string& text) { messages.push_back(text); };
        services.terminate = [] { throw Terminated{}; };
        services.tickCount = [] { return 4242u; };
        services.currentDir = launcherDir;
        services.executablePath = launcherDir + "/vorn-launcher";
        services.fallbackRoot = home / "data/Velmora";
        config.m_strCmdLine = commandLine;
        SettleLaunchConfig(config, services, &installStartTick);
    }

    std::optional<std::string> StoredInstallDir() {
        return platform::OpenUserSettings()->ReadString("QuorvaneInstallDic");
    }

    TempDir home;
    std::string launcherDir;
    int osClass = 5;
    std::map<std::string, uint64_t> freeBytes;
    platform::NamedLockResult lockResult = platform::NamedLockResult::Acquired;

    std::unique_ptr<platform::ISettingsStore> settings;
    std::unique_ptr<VolumesWithFreeSpace> volumes;
    LaunchConfig config;
    uint32_t installStartTick = 0;
    std::vector<std::string> resolved, messages, lockRequests;
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

TEST_F(LauncherConfigurationTest, FixedNamesServerAddressesAndReport) {
    Settle("PROCPARA=abc");
    EXPECT_EQ(config.m_szPackName, "vorn_ad2.exe");
    EXPECT_EQ(config.m_szGameDir, "vorn");
    EXPECT_EQ(config.m_szExeName, "vorn-launcher");
    EXPECT_EQ(config.m_szLocalVerFile, "localVer.dat");
    ASSERT_EQ(resolved.size(), 4u);
    EXPECT_EQ(resolved[0], config.m_szGamePackUrl);
    EXPECT_EQ(resolved[1], config.m_szGamePackUrlBak);
    EXPECT_EQ(resolved[2], config.m_szUpdateUrl);
    EXPECT_EQ(resolved[3], config.m_szUpdateUrlBak);
    EXPECT_EQ(config.m_szGamePackAddr, "127.0.0.1");
    EXPECT_EQ(launchRecords, std::vector<int>{5});
    EXPECT_EQ(config.m_strCmdLine, "PROCPARA=abc");
}

TEST_F(LauncherConfigurationTest, StoredDirectoryIsUsedOnlyWhenItHoldsTheGame) {
    const std::string stored = home / "stored";
    platform::OpenUserSettings()->CreateKey();
    platform::OpenUserSettings()->WriteString("QuorvaneInstallDic", stored);
    platform::CreateDirectories(stored);

    Settle();  // no game there: the next candidates decide, and are remembered
    EXPECT_EQ(config.m_nMode, MODE_INSTALL);
    EXPECT_NE(config.m_szInstallDir, stored);
    EXPECT_EQ(StoredInstallDir(), config.m_szInstallDir);

    InstallGameIn(stored);
    platform::OpenUserSettings()->WriteString("QuorvaneInstallDic", stored);
    Settle();
    EXPECT_EQ(config.m_nMode, MODE_LAUNCH);
    EXPECT_EQ(config.m_szInstallDir, stored);
}

TEST_F(LauncherConfigurationTest, StoredDirectoryTooLongForItsFieldIsPassedOver) {
    std::string stored = home.Path();
    while (stored.size() < 140) stored += "/deeper";
    InstallGameIn(stored);
    platform::OpenUserSettings()->CreateKey();
    platform::OpenUserSettings()->WriteString("QuorvaneInstallDic", stored);
    Settle();
    EXPECT_EQ(config.m_nMode, MODE_INSTALL);
    EXPECT_EQ(config.m_szInstallDir, home / "data/Velmora");
    EXPECT_EQ(StoredInstallDir(), home / "data/Velmora");
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
    EXPECT_TRUE(messages.empty());
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
        messages.clear();
        bool terminated = false;
        try {
            Settle();
        } catch (const Terminated&) {
            terminated = true;
        }
        SCOPED_TRACE(std::string("installed=") + (c.installed ? "1" : "0") +
                     " marker=" + (c.markerPresent ? "1" : "0"));
        if (c.message) {
            EXPECT_TRUE(terminated);
            EXPECT_EQ(messages, std::vector<std::string>{c.message});
        } else {
            EXPECT_FALSE(terminated);
            EXPECT_TRUE(messages.empty());
            EXPECT_TRUE(FileExists(marker));
        }
    }
}

TEST_F(LauncherConfigurationTest, RegserverEndsBeforeAnythingIsTouched) {
    EXPECT_THROW(Settle("PROCPARA=1 /regserver"), Terminated);
    EXPECT_TRUE(resolved.empty());
    EXPECT_TRUE(launchRecords.empty());
    EXPECT_FALSE(FileExists(platform::SettingsFilePath()));
    EXPECT_FALSE(FileExists(home / "data"));
}

}  // namespace
