#include "app/LauncherConfiguration.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "net/ResolveHostIP.h"
#include "platform/Files.h"
#include "support/Log.h"

namespace {

constexpr const char* kInstallDirValue = "QuorvaneInstallDic";
constexpr const char* kLaunchLockName = "Launch";
constexpr const char* kRunMarkerName = "/load_vorn_temp";

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// A text that does not fit its field is unusable: an empty result, never a
// shorter, different path.
std::string Bounded(const std::string& text, size_t fieldCapacity) {
    return capacity::Fits(text, fieldCapacity) ? text : std::string();
}

// How the way from an install folder to its game stands. Every part of it
// that is there (the folder, the game's folders, the game) must belong to the
// player or the system, with nobody else allowed to write it: otherwise
// another user could have put a program there for the player to run.
enum class GameWay { Installed, Absent, Untrusted };

GameWay InspectGameWay(const std::string& installDir, const LaunchConfig& config) {
    const std::string game = GameExecutablePath(installDir, config.m_szGameDir);
    std::vector<std::string> way{installDir};
    for (size_t slash = game.find('/', installDir.size() + 1); slash != std::string::npos;
         slash = game.find('/', slash + 1)) {
        way.push_back(game.substr(0, slash));
    }
    way.push_back(game);
    for (const std::string& part : way) {
        // Nothing further down can be there either.
        if (!platform::IdentityAt(part)) return GameWay::Absent;
        if (!platform::OnlyUserOrSystemMayWrite(part)) return GameWay::Untrusted;
    }
    return platform::FileReadable(game) ? GameWay::Installed : GameWay::Absent;
}

void LogUntrusted(const std::string& installDir) {
    log_write(LOG_WARN, "CUpdateDlg",
              "install folder %s not used: it or the way to its game is open to other users",
              installDir.c_str());
}

// True when the game can be started from installDir.
bool GameInstalledIn(const std::string& installDir, const LaunchConfig& config) {
    const GameWay way = InspectGameWay(installDir, config);
    if (way == GameWay::Untrusted) LogUntrusted(installDir);
    return way == GameWay::Installed;
}

// The first install-directory candidate: the parent of a launcher folder named
// like the game folder, else the volume the launcher lies on (the system root
// standing for the system drive).
std::string CandidateFromCurrentDir(const LaunchConfig& config,
                                    const platform::Services& services) {
    const std::string& cwd = services.startDirectory;
    const std::string& gameDir = config.m_szGameDir;
    if (EndsWith(cwd, gameDir)) {
        return cwd.substr(0, cwd.size() - gameDir.size() - (cwd.size() > gameDir.size() ? 1 : 0));
    }
    const std::string volume = services.volumes->VolumeOf(cwd);
    return volume == services.systemRoot ? services.fallbackInstallRoot : volume;
}

// Creates every missing directory up to the last "/" of path and opens the
// file for appending, never through a symbolic link. The file stays open for
// the life of the process, as the probe is meant to hold the volume.
bool ProbeWritable(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0) platform::CreateDirectories(path.substr(0, slash));
    platform::File probe = platform::File::OpenForAppending(path);
    if (!probe) return false;
    static auto* const heldProbes = new std::vector<platform::File>();
    heldProbes->push_back(std::move(probe));
    return true;
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

std::string ScanInstallDrive(const LaunchConfig& config, const platform::Services& services) {
    const bool oldSystem = config.m_nOsClass == 1;
    std::string chosen;
    // Old systems look for "<volume>/vorn_dir/", which is never a volume
    // root, so they always take the fallback.
    if (!oldSystem) {
        // The first fixed volume in mount-table order, other than the system
        // root, with enough room, no way to the game that others may have
        // laid, and a probe file that can be written.
        for (const platform::Volume& volume : services.volumes->FixedVolumes()) {
            const std::string root = WithoutTrailingSlash(volume.mountPoint);
            if (root == services.systemRoot || !capacity::Fits(root, capacity::kInstallDir)) {
                continue;
            }
            const auto freeBytes = services.volumes->FreeBytes(volume.mountPoint);
            if (!freeBytes || *freeBytes < kMinimumFreeBytes) continue;
            if (InspectGameWay(root, config) == GameWay::Untrusted) {
                LogUntrusted(root);
                continue;
            }
            if (ProbeWritable(root + "/vornTemp")) {
                chosen = root;
                break;
            }
        }
    }
    if (chosen.empty()) chosen = services.fallbackInstallRoot;

    const std::string installDir = oldSystem ? chosen + "/vorn_dir" : chosen;
    // The fallback folder may not exist yet; the run marker goes into it. One
    // too long to be used is left alone.
    if (capacity::Fits(installDir, capacity::kInstallDir)) {
        platform::CreatePrivateDirectories(installDir);
    }
    return installDir;
}

namespace {

constexpr const char* kResolveFailedMessage = "d+ get ip error";
const std::string kFolderTooLongMessage = "安装目录的路径太长,无法安装游戏: ";
const std::string kFolderOpenToOthersMessage = "安装目录可被其他用户修改,无法安装游戏: ";

// The address of the URL's host, or nothing when the lookup failed for good.
std::optional<std::string> ServerAddress(const std::string& url,
                                         const platform::Services& services) {
    const HostResolution resolution = ResolveHostIP(url, services);
    if (resolution.kind == HostResolution::Kind::Failed) return std::nullopt;
    return Bounded(resolution.address, capacity::kAddress);
}

// The install directory and the mode: a stored directory that holds the
// game, the launcher's own candidate, or a scan of the volumes. Ends the run
// when the folder the scan came to cannot be used: too long, or one that
// others may write.
std::optional<EarlyEnd> ChooseInstallDirAndMode(SettledLaunch& settled,
                                                const platform::Services& services) {
    LaunchConfig& config = settled.config;
    config.m_szInstallDir =
        Bounded(CandidateFromCurrentDir(config, services), capacity::kInstallDir);

    bool found = false;
    const std::unique_ptr<platform::ISettingsStore> settings = services.openSettings();
    if (settings && settings->KeyExists()) {
        const auto stored = settings->ReadString(kInstallDirValue);
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
        return std::nullopt;
    }
    const std::string scanned = ScanInstallDrive(config, services);
    if (!capacity::Fits(scanned, capacity::kInstallDir)) {
        return EarlyEnd{kFolderTooLongMessage + scanned, false};
    }
    config.m_szInstallDir = scanned;
    switch (InspectGameWay(config.m_szInstallDir, config)) {
        case GameWay::Installed:
            config.m_nMode = MODE_LAUNCH;
            break;
        case GameWay::Absent:
            settled.installStartTick = services.clock->TickMs();
            config.m_nMode = MODE_INSTALL;
            break;
        case GameWay::Untrusted:
            // The scan passes such volumes over: this is the fallback, and
            // nothing comes after it.
            LogUntrusted(scanned);
            return EarlyEnd{kFolderOpenToOthersMessage + scanned, false};
    }
    return std::nullopt;
}

void RememberInstallDir(const std::string& installDir, const platform::Services& services) {
    const std::unique_ptr<platform::ISettingsStore> settings = services.openSettings();
    if (settings && (settings->KeyExists() || settings->CreateKey())) {
        settings->WriteString(kInstallDirValue, installDir);
    }
}

// The addresses of both download servers; false when one cannot be had.
bool ResolveDownloadHosts(LaunchConfig& config, const platform::Services& services) {
    for (auto [url, address] :
         {std::pair{&config.m_szGamePackUrl, &config.m_szGamePackAddr},
          std::pair{&config.m_szGamePackUrlBak, &config.m_szGamePackAddrBak}}) {
        std::optional<std::string> resolved = ServerAddress(*url, services);
        if (!resolved) return false;
        *address = std::move(*resolved);
    }
    return true;
}

// Takes the single-launcher lock; false when another launcher holds it. A
// lock that cannot be made at all must not keep the player from the game: the
// run goes on unguarded, and the log says so.
bool TakeLaunchLock(SettledLaunch& settled, const platform::Services& services) {
    settled.launchLock = services.acquireLock(kLaunchLockName);
    if (settled.launchLock.Result() == platform::NamedLockResult::Unavailable) {
        log_write(LOG_ERROR, "CUpdateDlg", "named lock %s unavailable: no single-launcher guard",
                  kLaunchLockName);
    }
    return settled.launchLock.Result() != platform::NamedLockResult::AlreadyHeld;
}

}  // namespace

ConfigOutcome SettleLaunchConfig(const std::string& commandLine, const platform::Services& services,
                                 const std::function<void(int osClass)>& sendLaunchRecord) {
    SettledLaunch settled;
    LaunchConfig& config = settled.config;
    config.m_strCmdLine = commandLine;
    config.m_nOsClass = services.osClass;

    if (config.m_strCmdLine.find("/regserver") != std::string::npos) return EarlyEnd{};

    config.m_szGamePackUrl = Bounded(services.endpoints.gamePackUrl, capacity::kUrl);
    config.m_szGamePackUrlBak = Bounded(services.endpoints.gamePackUrlBak, capacity::kUrl);
    config.m_szUpdateUrl = Bounded(services.endpoints.updateUrl, capacity::kUrl);
    config.m_szUpdateUrlBak = Bounded(services.endpoints.updateUrlBak, capacity::kUrl);

    config.m_szPackName = "vorn_ad2.exe";
    config.m_szGameDir = "vorn";
    config.m_szLocalVerFile = "localVer.dat";
    // Without a usable folder every file would land at the file system's root.
    if (std::optional<EarlyEnd> unusable = ChooseInstallDirAndMode(settled, services)) {
        return *std::move(unusable);
    }

    // Only the hosts the chosen job talks to are looked up: an installed game
    // starts without any lookup, also offline. The update servers are never
    // asked for anything, so their addresses stay empty.
    if (config.m_nMode == MODE_INSTALL && !ResolveDownloadHosts(config, services)) {
        return EarlyEnd{kResolveFailedMessage, true};
    }

    RememberInstallDir(config.m_szInstallDir, services);
    sendLaunchRecord(config.m_nOsClass);

    if (config.m_nMode == MODE_INSTALL && !TakeLaunchLock(settled, services)) {
        return EarlyEnd{"游戏正在下载安装中！", false};
    }

    // An install directory that fits its field always leaves room for the
    // marker's name, so every run has its marker and its second-launcher check.
    static_assert(capacity::kInstallDir + std::char_traits<char>::length(kRunMarkerName) <=
                  capacity::kRunMarker);
    config.m_szRunMarker = config.m_szInstallDir + kRunMarkerName;
    if (!platform::PathExists(config.m_szRunMarker)) {
        platform::CreateFileIfMissing(config.m_szRunMarker);
    } else if (config.m_nMode != MODE_INSTALL && !TakeLaunchLock(settled, services)) {
        return EarlyEnd{"游戏正在下载更新中！", false};
    }
    return settled;
}
