#include "platform/Services.h"

#include <unistd.h>

#include <memory>

#include "platform/HostLookup.h"
#include "platform/OsClass.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/UrlOpener.h"

namespace platform {

namespace {

std::string CurrentDirectory() {
    char buffer[4096];
    return getcwd(buffer, sizeof buffer) ? buffer : "";
}

}  // namespace

Services SystemServices(const EnvironmentHooks& hooks) {
    // Live as long as the process: every part may hold on to them.
    static const std::unique_ptr<IVolumes> volumes = SystemVolumes(hooks.mountInfoPath);

    Services services;
    services.clock = &SystemClock();
    services.volumes = volumes.get();
    services.openSettings = [] { return OpenUserSettings(); };
    services.lookUpIPv4 = LookUpIPv4;
    services.spawn = [](const std::string& program, const std::vector<std::string>& args,
                        const std::string& workingDir) {
        return SpawnProcess(program, args, workingDir);
    };
    services.runThroughAssociation =
        [](const std::string& file, const std::vector<std::string>& args,
           const std::string& workingDir) { return RunThroughAssociation(file, args, workingDir); };
    services.waitProcess = WaitProcess;
    services.terminateSelf = [] { TerminateSelf(); };
    services.openUrl = OpenUrl;
    services.acquireLock = AcquireNamedLock;
    services.osClass = hooks.osClass.value_or(CurrentOsClass());
    services.executablePath = ExecutablePath();
    services.startDirectory = CurrentDirectory();
    services.fallbackInstallRoot = FallbackInstallRoot();
    return services;
}

}  // namespace platform
