#include "app/LauncherConfiguration.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "BuildConstants.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "platform/OsClass.h"
#include "platform/Paths.h"
#include "platform/Process.h"

namespace {

constexpr const char* kInstallDirValue = "QuorvaneInstallDic";
constexpr const char* kLaunchLockName = "Launch";

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// A text that does not fit its field is unusable: an empty result, never a
// shorter, different path.
std::string Bounded(const std::string& text, size_t fieldCapacity) {
    return capacity::Fits(text, fieldCapacity) ? text : std::string();
}

bool GameInstalledIn(const std::string& installDir, const LaunchConfig& config) {
    return platform::FileReadable(GameExecutablePath(installDir, config.m_szGameDir));
}

// The first install-directory candidate: the parent of a launcher folder named
// like the game folder, else the volume the launcher lies on (the system root
// standing for the system drive).
std::string CandidateFromCurrentDir(const LaunchConfig& config, ConfigServices& services) {
    const std::string& cwd = services.currentDir;
    const std::string& gameDir = config.m_szGameDir;
    if (EndsWith(cwd, gameDir)) {
        return cwd.substr(0, cwd.size() - gameDir.size() - (cwd.size() > gameDir.size() ? 1 : 0));
    }
    const std::string volume = services.volumes->VolumeOf(cwd);
    return volume == platform::kSystemRoot ? services.fallbackRoot : volume;
}

// Creates every missing directory up to the last "/" of path and opens the
// file for appending. The handle stays open for the life of the process, as
// the probe is meant to hold the volume.
bool ProbeWritable(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0) platform::CreateDirectories(path.substr(0, slash));
    FILE* probe = fopen(path.c_str(), "ab+");
    if (!probe) return false;
    fcntl(fileno(probe), F_SETFD, FD_CLOEXEC);
    return true;
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

ConfigServices SystemConfigServices() {
    static std::unique_ptr<platform::ISettingsStore> settings = platform::OpenUserSettings();
    static std::unique_ptr<platform::IVolumes> volumes = platform::SystemVolumes();
    ConfigServices services;
    services.osClass = [] { return platform::CurrentOsClass(); };
    services.settings = settings.get();
    services.volumes = volumes.get();
    services.acquireLock = [](const std::string& name) { return platform::AcquireNamedLock(name); };
    services.showMessage = [](const std::string& text) { platform::ShowMessageBox(text); };
    services.terminate = [] { platform::TerminateSelf(); };
    services.tickCount = [] { return platform::TickCountMs(); };
    char cwd[4096];
    services.currentDir = getcwd(cwd, sizeof cwd) ? cwd : "";
    services.executablePath = platform::ExecutablePath();
    services.fallbackRoot = platform::FallbackInstallRoot();
    return services;
}

std::string ScanInstallDrive(const LaunchConfig& config, ConfigServices& services) {
    const bool oldSystem = config.m_nOsClass == 1;
    std::string chosen;
    // Old systems look for "<volume>/vorn_dir/", which is never a volume
    // root, so they always take the fallback.
    if (!oldSystem) {
        // The first fixed volume in mount-table order, other than the system
        // root, with enough room and a probe file that can be written.
        for (const platform::Volume& volume : services.volumes->FixedVolumes()) {
            const std::string root = WithoutTrailingSlash(volume.mountPoint);
            if (root == platform::kSystemRoot) continue;
            const auto freeBytes = services.volumes->FreeBytes(volume.mountPoint);
            if (!freeBytes || *freeBytes < kMinimumFreeBytes) continue;
            if (ProbeWritable(root + "/vornTemp")) {
                chosen = root;
                break;
            }
        }
    }
    if (chosen.empty()) chosen = services.fallbackRoot;

    const std::string installDir = oldSystem ? chosen + "/vorn_dir" : chosen;
    // The fallback folder may not exist yet; the run marker goes into it.
    platform::CreateDirectories(installDir);
    return installDir;
}

void SettleLaunchConfig(LaunchConfig& config, ConfigServices& services,
                        uint32_t* installStartTick) {
    config.m_nOsClass = services.osClass();

    if (config.m_strCmdLine.find("/regserver") != std::string::npos) services.terminate();

    config.m_szGamePackUrl = Bounded(build::kGamePackUrl, capacity::kUrl);
    config.m_szGamePackUrlBak = Bounded(build::kGamePackUrlBak, capacity::kUrl);
    config.m_szUpdateUrl = Bounded(build::kUpdateUrl, capacity::kUrl);
    config.m_szUpdateUrlBak = Bounded(build::kUpdateUrlBak, capacity::kUrl);

    config.m_szGamePackAddr =
        Bounded(services.resolveHost(config.m_szGamePackUrl), capacity::kAddress);
    config.m_szGamePackAddrBak =
        Bounded(services.resolveHost(config.m_szGamePackUrlBak), capacity::kAddress);
    config.m_szUpdateAddr = Bounded(services.resolveHost(config.m_szUpdateUrl), capacity::kAddress);
    config.m_szUpdateAddrBak =
        Bounded(services.resolveHost(config.m_szUpdateUrlBak), capacity::kAddress);

    config.m_szPackName = "vorn_ad2.exe";
    config.m_szGameDir = "vorn";
    const size_t slash = services.executablePath.rfind('/');
    config.m_szExeName =
        Bounded(services.executablePath.substr(slash == std::string::npos ? 0 : slash + 1),
                capacity::kName);

    config.m_szInstallDir =
        Bounded(CandidateFromCurrentDir(config, services), capacity::kInstallDir);
    config.m_szLocalVerFile = "localVer.dat";

    bool found = false;
    if (services.settings->KeyExists()) {
        const auto stored = services.settings->ReadString(kInstallDirValue);
        // A stored directory too long for its field is passed over whole.
        if (stored && !stored->empty() && capacity::Fits(*stored, capacity::kInstallDir) &&
            GameInstalledIn(*stored, config)) {
            config.m_szInstallDir = *stored;
            found = true;
        }
    }
    if (!found && !config.m_szInstallDir.empty() &&
        GameInstalledIn(config.m_szInstallDir, config)) {
        found = true;
    }
    if (found) {
        config.m_nMode = MODE_LAUNCH;
    } else {
        config.m_szInstallDir = Bounded(ScanInstallDrive(config, services), capacity::kInstallDir);
        if (GameInstalledIn(config.m_szInstallDir, config)) {
            config.m_nMode = MODE_LAUNCH;
        } else {
            if (installStartTick) *installStartTick = services.tickCount();
            config.m_nMode = MODE_INSTALL;
        }
    }

    if (services.settings->KeyExists() || services.settings->CreateKey()) {
        services.settings->WriteString(kInstallDirValue, config.m_szInstallDir);
    }
    services.sendLaunchRecord(config.m_nOsClass);

    const auto refuseSecondLauncher = [&](const char* message) {
        if (services.acquireLock(kLaunchLockName) == platform::NamedLockResult::AlreadyHeld) {
            services.showMessage(message);
            services.terminate();
        }
    };
    if (config.m_nMode == MODE_INSTALL) refuseSecondLauncher("游戏正在下载安装中！");

    config.m_szRunMarker = Bounded(config.m_szInstallDir + "/load_vorn_temp", capacity::kRunMarker);
    if (config.m_szRunMarker.empty()) return;
    if (access(config.m_szRunMarker.c_str(), F_OK) != 0) {
        const int fd =
            open(config.m_szRunMarker.c_str(), O_CREAT | O_TRUNC | O_RDONLY | O_CLOEXEC, 0644);
        if (fd >= 0) close(fd);
    } else if (config.m_nMode != MODE_INSTALL) {
        refuseSecondLauncher("游戏正在下载更新中！");
    }
}
