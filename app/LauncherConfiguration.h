// Settles the launcher's configuration at start-up: server addresses, install
// directory, job mode, version class and command line; remembers the install
// directory, reports the launch, refuses a second launcher and leaves the run
// marker. Every outside effect goes through ConfigServices so that tests can
// run the steps in a temporary home.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/NamedLock.h"
#include "platform/SettingsStore.h"
#include "platform/Volumes.h"
#include "update/LaunchConfig.h"

inline constexpr uint64_t kMinimumFreeBytes = 2147483648ull;  // 2 GiB

struct ConfigServices {
    std::function<int()> osClass;
    platform::ISettingsStore* settings = nullptr;
    platform::IVolumes* volumes = nullptr;
    // The address of a URL's host, or empty; may end the process.
    std::function<std::string(const std::string& url)> resolveHost;
    std::function<void(int osClass)> sendLaunchRecord;
    std::function<platform::NamedLockResult(const std::string& name)> acquireLock;
    std::function<void(const std::string& text)> showMessage;
    // Ends the process with exit code 0; does not return in the launcher.
    std::function<void()> terminate;
    std::function<uint32_t()> tickCount;
    std::string currentDir;  // the launcher's own directory
    std::string executablePath;
    std::string fallbackRoot;  // stands for the system drive
};

// The production services: real settings, volumes, lock, dialogs and clock.
// resolveHost and sendLaunchRecord are left for the controller to bind.
ConfigServices SystemConfigServices();

// Runs the configuration steps in order. Sets *installStartTick when the
// install mode is chosen.
void SettleLaunchConfig(LaunchConfig& config, ConfigServices& services, uint32_t* installStartTick);

// The install directory chosen by the volume scan, with the probe file left
// open in it (exposed for tests).
std::string ScanInstallDrive(const LaunchConfig& config, ConfigServices& services);
