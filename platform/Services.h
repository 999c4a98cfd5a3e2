// The outside world as the launcher's parts reach it: clocks, volumes, the
// settings key, the resolver, processes, the server addresses and the facts
// of this run. Built once at start-up and handed down by reference; tests
// build their own. Every member is set before any thread starts and only read
// afterwards; the objects behind the pointers may be used from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/EnvironmentHooks.h"
#include "platform/IPv4Address.h"
#include "platform/NamedLock.h"
#include "platform/Process.h"
#include "platform/SettingsStore.h"
#include "platform/Volumes.h"
#include "support/Clock.h"

namespace platform {

// Where the launcher's servers are: the build's constants in the launcher,
// loopback servers in tests.
struct Endpoints {
    std::string gamePackUrl;
    std::string gamePackUrlBak;
    std::string updateUrl;
    std::string updateUrlBak;
    std::string httpDnsEndpoint;  // "address" or "address:port"
    std::string statsUrl;         // scheme and host, optional port
    std::string servicePageUrl;
};

struct Services {
    const IClock* clock = nullptr;
    IVolumes* volumes = nullptr;
    Endpoints endpoints;
    // The publisher's minisign public key line (VORN_PACKAGE_PUBKEY); empty:
    // install packages are run without a signature check.
    std::string packagePublicKey;
    // The largest install package the launcher keeps (VORN_MAX_PACKAGE_BYTES);
    // negative: no cap.
    int64_t maxPackageBytes = -1;

    // The game's per-user settings key; null when it cannot be opened. A new
    // store object each time, so that threads that outlive their caller own
    // theirs.
    std::function<std::unique_ptr<ISettingsStore>()> openSettings;

    // The system resolver: the first IPv4 address of a name.
    std::function<std::optional<IPv4Address>(const std::string& name)> lookUpIPv4;
    // Processes, as Process.h describes them.
    std::function<std::optional<Process>(const std::string& program,
                                         const std::vector<std::string>& args,
                                         const std::string& workingDir)>
        spawn;
    std::function<std::optional<Process>(const std::string& file,
                                         const std::vector<std::string>& args,
                                         const std::string& workingDir)>
        runThroughAssociation;
    std::function<bool(const Process&)> waitProcess;
    // Ends the process with exit code 0; returns only in tests.
    std::function<void()> terminateSelf;
    std::function<void(const std::string& url)> openUrl;
    std::function<NamedLock(const std::string& name)> acquireLock;
    // The hardware address text that reports carry.
    std::function<std::string()> macText;
    // Tests only (VORN_HOLD_HANDOVER): keeps the worker that started the
    // install package inside its hand-over until released() holds, so that it
    // is still there when the package has ended. Empty in a normal run.
    std::function<void(const std::function<bool()>& released)> holdHandOver;

    // Facts of this run.
    int osClass = 0;
    std::string systemRoot = kSystemRoot;  // stands for the system drive
    std::string executablePath;
    std::string startDirectory;  // the current directory at start-up
    std::string fallbackInstallRoot;
};

// The system's services, with the test hooks applied. endpoints and macText
// are left to the launcher, which knows its build and its reports.
Services SystemServices(const EnvironmentHooks& hooks);

}  // namespace platform
