#include "app/Handover.h"

#include "hostlink/HostLink.h"
#include "platform/Files.h"
#include "platform/Process.h"

namespace {

// True while path still names the file that was checked, unchanged in size.
bool StillInPlace(const PlacedPackage& package) {
    const platform::File file = platform::File::OpenForReading(package.path);
    return file && file.Identity() == package.identity && file.Size() == package.size;
}

}  // namespace

std::string GameParameters(const std::string& commandLine, int64_t launcherPid) {
    const std::string marker = hostlink::kHostParameterMarker;
    const size_t at = commandLine.find(marker);
    std::string parameters;
    if (at != std::string::npos) {
        // The host's own value is replaced by the launcher's process id.
        parameters = commandLine.substr(0, at + marker.size());
    } else {
        parameters = commandLine + "," + marker;
    }
    return parameters + std::to_string(launcherPid);
}

Handover::Handover(IHandoverHost& host, const platform::Services& services)
    : m_host(host), m_services(services) {}

Handover::~Handover() {
    if (m_watcher.joinable()) m_watcher.join();
}

void Handover::Finish(bool failed) {
    Action action;
    std::optional<PlacedPackage> package;
    {
        vnAutoLock lock(&m_host.WindowLock());
        action = Decide(failed);
        if (action == Action::RunPackage) package = m_placedPackage;
    }
    switch (action) {
        case Action::GiveUp:
            GiveUp();
            break;
        case Action::LaunchGame:
            LaunchGame();
            break;
        case Action::RunPackage:
            RunPackage(package);
            break;
        case Action::Nothing:
            break;
    }
}

Handover::Action Handover::Decide(bool failed) {
    if (m_bEnding) return Action::Nothing;
    if (!failed && m_host.Config().m_nMode == MODE_INSTALL) {
        m_bInstallerRunning = true;
        return Action::RunPackage;
    }
    m_bEnding = true;
    return failed ? Action::GiveUp : Action::LaunchGame;
}

void Handover::PackagePlaced(const PlacedPackage& package) {
    vnAutoLock lock(&m_host.WindowLock());
    m_placedPackage = package;
}

void Handover::RunPackage(const std::optional<PlacedPackage>& package) {
    // Only the package this run checked and moved into place is run, and only
    // while its path still names that file.
    std::optional<platform::Process> started;
    if (package && StillInPlace(*package)) {
        started = m_services.runThroughAssociation(package->path, {}, "");
    }
    if (!started) {
        m_bInstallerRunning = false;
        Finish(true);
        return;
    }
    if (m_host.InstallStartTick() != 0) m_host.StartTrackingEvents();
    m_hPackProcess = *started;
    if (m_watcher.joinable()) m_watcher.join();
    m_watcher = std::thread(&Handover::WatchInstaller, this);
    m_host.PostHideWindow();
    if (m_services.holdHandOver) {
        m_services.holdHandOver([this] { return m_host.Config().m_nMode != MODE_INSTALL; });
    }
}

void Handover::LaunchGame() {
    const LaunchConfig& config = m_host.Config();
    const std::string parameters =
        GameParameters(config.m_strCmdLine, platform::CurrentProcessId());
    if (config.m_nMode == MODE_LAUNCH) {
        // Started by its content, as the package is: a Windows game through
        // wine. The game's path goes whole; only the parameters are split
        // into arguments.
        const std::optional<platform::Process> game = m_services.runThroughAssociation(
            GameExecutablePath(config.m_szInstallDir, config.m_szGameDir),
            platform::SplitCommandLine(parameters),
            config.m_szInstallDir + "/" + config.m_szGameDir);
        DeleteRunMarker();
        if (!game) m_services.openUrl(m_services.endpoints.servicePageUrl);
    }
    // After an install the game is not started; the marker stays.
    m_services.terminateSelf();
}

void Handover::WatchInstaller() {
    if (!m_services.waitProcess(m_hPackProcess)) return;
    LaunchConfig& config = m_host.Config();
    platform::RemoveFile(InstallPackagePath(config));
    m_host.PostShowWindow();
    config.m_nMode = MODE_INSTALLED;
    m_bInstallerRunning = false;
    m_host.StartUpdate();
}

void Handover::GiveUp() {
    DeleteRunMarker();
    m_services.openUrl(m_services.endpoints.servicePageUrl);
    m_services.terminateSelf();
}

void Handover::DeleteRunMarker() {
    const std::string& marker = m_host.Config().m_szRunMarker;
    if (!marker.empty()) platform::RemoveFile(marker);
}
