#include "app/Handover.h"

#include <unistd.h>

#include "BuildConstants.h"
#include "platform/Process.h"
#include "platform/UrlOpener.h"

namespace {
constexpr const char* kProcParaMarker = "PROCPARA=";
}  // namespace

std::string GameParameters(const std::string& commandLine, pid_t launcherPid) {
    const size_t marker = commandLine.find(kProcParaMarker);
    std::string parameters;
    if (marker != std::string::npos) {
        // The host's own value is replaced by the launcher's process id.
        parameters =
            commandLine.substr(0, marker + std::char_traits<char>::length(kProcParaMarker));
    } else {
        parameters = commandLine + "," + kProcParaMarker;
    }
    return parameters + std::to_string(launcherPid);
}

Handover::Seams Handover::SystemSeams(std::function<void()> startTrackingEvents) {
    return Seams{platform::TerminateSelf, [] { platform::OpenUrl(build::kServicePageUrl); },
                 std::move(startTrackingEvents)};
}

Handover::Handover(IHandoverHost& host, Seams seams) : m_host(host), m_seams(std::move(seams)) {}

Handover::~Handover() {
    if (m_watcher.joinable()) m_watcher.join();
}

void Handover::Finish(bool failed) {
    vnAutoLock lock(&m_host.WindowLock());
    if (failed) {
        GiveUp();
        return;
    }
    LaunchConfig& config = m_host.Config();
    if (config.m_nMode != MODE_INSTALL) {
        LaunchGame();
        return;
    }
    // Only a package that arrived whole is in place; a missing one fails here.
    const pid_t package = platform::RunThroughAssociation(InstallPackagePath(config));
    if (package <= 0) {
        GiveUp();
        return;
    }
    if (m_host.InstallStartTick() != 0 && m_seams.startTrackingEvents) {
        m_seams.startTrackingEvents();
    }
    m_hPackProcess = package;
    // A package runs once per launcher run; a watcher left from an earlier one
    // has ended its wait, since the mode left MODE_INSTALL when it did.
    if (m_watcher.joinable()) m_watcher.join();
    m_watcher = std::thread(&Handover::WatchInstaller, this);
    m_host.PostHideWindow();
}

void Handover::LaunchGame() {
    const LaunchConfig& config = m_host.Config();
    const std::string parameters = GameParameters(config.m_strCmdLine, getpid());
    if (config.m_nMode == MODE_LAUNCH) {
        // The game's path goes whole as the program; only the parameters are
        // split into arguments.
        const pid_t game =
            platform::SpawnProcess(GameExecutablePath(config.m_szInstallDir, config.m_szGameDir),
                                   platform::SplitCommandLine(parameters),
                                   config.m_szInstallDir + "/" + config.m_szGameDir);
        DeleteRunMarker();
        if (game <= 0) m_seams.openServicePage();
    }
    // After an install the game is not started; the marker stays.
    m_seams.terminateSelf();
}

void Handover::WatchInstaller() {
    if (!platform::WaitProcess(m_hPackProcess)) return;
    LaunchConfig& config = m_host.Config();
    unlink(InstallPackagePath(config).c_str());
    m_host.PostShowWindow();
    config.m_nMode = MODE_INSTALLED;
    m_host.StartUpdate();
}

void Handover::GiveUp() {
    DeleteRunMarker();
    m_seams.openServicePage();
    m_seams.terminateSelf();
}

void Handover::DeleteRunMarker() {
    const std::string& marker = m_host.Config().m_szRunMarker;
    if (!marker.empty()) unlink(marker.c_str());
}
