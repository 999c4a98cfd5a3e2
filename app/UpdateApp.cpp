#include "app/UpdateApp.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "BuildConstants.h"
#include "app/UpdateDlg.h"
#include "platform/CrashHandler.h"
#include "platform/EnvironmentHooks.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "support/Log.h"
#include "telemetry/MacText.h"

namespace {

// The services of this run: the system's, the build's servers and the
// reports' hardware address. Built once, after the working directory is the
// launcher's own, and never destroyed: threads may still use them while the
// process ends.
const platform::Services& LauncherServices(const platform::EnvironmentHooks& hooks) {
    static const auto* services = [&hooks] {
        auto* system = new platform::Services(platform::SystemServices(hooks));
        system->endpoints = platform::Endpoints{
            build::kGamePackUrl,    build::kGamePackUrlBak,  build::kUpdateUrl,
            build::kUpdateUrlBak,   build::kHttpDnsEndpoint, build::kStatsUrl,
            build::kServicePageUrl,
        };
        system->packagePublicKey = build::kPackagePublicKey;
        system->maxPackageBytes = build::kMaxPackageBytes;
        system->macText = telemetry::GetMacText;
        return system;
    }();
    return *services;
}

}  // namespace

CUpdateApp::CUpdateApp() {
    platform::InstallCrashDumpHandler();
}

int CUpdateApp::InitInstance(int argc, char** argv) {
    // The game is started only from folders no other user may write: what the
    // launcher and the installer it runs make must stay that way.
    platform::DenyOthersWriteToNewFiles();
    // From here on a crash sends the player to the customer-service page.
    platform::InstallSupportPageHandler(build::kServicePageUrl);

    // Relative paths (the log, the host library, crash reports) resolve
    // against the launcher's own folder.
    const std::string ownDir = platform::ExecutableDir();
    if (!ownDir.empty()) {
        if (const int error = platform::ChangeDirectory(ownDir); error != 0) {
            fprintf(stderr, "chdir: %s\n", platform::SystemErrorText(error).c_str());
        }
    }

    log_use_thread_ids(platform::CurrentThreadId);
    LogConfig logConfig{};
    logConfig.outputs = LOG_OUT_CONSOLE | LOG_OUT_FILE | LOG_ROTATE_DAILY;
    logConfig.minLevel = 0;
    logConfig.fileMode = 0;
    logConfig.lineFormat = 0x77;
    snprintf(logConfig.baseName, sizeof logConfig.baseName, "%s", "./updatelog.log");
    log_init(logConfig);

    const platform::EnvironmentHooks hooks = platform::ReadEnvironmentHooks();
    const std::string commandLine = platform::JoinCommandLine(argc, argv);
    const bool hasDisplay = gtk_init_check(&argc, &argv);
    if (hasDisplay) platform::EnableMessageDialogs(hooks.messageTimeoutMs);

    // Lives until the process ends: worker and watcher threads use it.
    const platform::Services& services = LauncherServices(hooks);
    auto* dialog = new CUpdateDlg(commandLine, hasDisplay, services);
    dialog->DoModal();
    // The main loop ends for a restart while a worker may still download and
    // draw: the process ends without unwinding, as every other end does, so
    // no library's static data goes away under a running thread.
    services.terminateSelf();
    return 0;
}
