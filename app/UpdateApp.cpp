#include "app/UpdateApp.h"

#include <gtk/gtk.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "BuildConstants.h"
#include "app/UpdateDlg.h"
#include "platform/CrashHandler.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "support/Log.h"

CUpdateApp::CUpdateApp() {
    platform::InstallCrashDumpHandler();
}

int CUpdateApp::InitInstance(int argc, char** argv) {
    // From here on a crash sends the player to the customer-service page.
    platform::InstallSupportPageHandler(build::kServicePageUrl);

    // Relative paths (the log, the host library, crash reports) resolve
    // against the launcher's own folder.
    const std::string ownDir = platform::ExecutableDir();
    if (!ownDir.empty() && chdir(ownDir.c_str()) != 0) perror("chdir");

    LogConfig logConfig{};
    logConfig.outputs = LOG_OUT_CONSOLE | LOG_OUT_FILE | LOG_ROTATE_DAILY;
    logConfig.minLevel = 0;
    logConfig.fileMode = 0;
    logConfig.lineFormat = 0x77;
    snprintf(logConfig.baseName, sizeof logConfig.baseName, "%s", "./updatelog.log");
    log_init(logConfig);

    const std::string commandLine = platform::JoinCommandLine(argc, argv);
    const bool hasDisplay = gtk_init_check(&argc, &argv);
    if (hasDisplay) platform::EnableMessageDialogs();

    // Lives until the process ends: worker and watcher threads use it.
    auto* dialog = new CUpdateDlg(commandLine, hasDisplay);
    dialog->DoModal();
    return 0;
}
