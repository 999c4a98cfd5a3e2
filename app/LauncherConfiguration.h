// Settles the launcher's configuration at start-up: server addresses, install
// directory, job mode, version class and command line; remembers the install
// directory, reports the launch, refuses a second launcher and leaves the run
// marker. The outside world comes from the services, so tests run the steps
// in a temporary home.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <variant>

#include "platform/NamedLock.h"
#include "platform/Services.h"
#include "update/LaunchConfig.h"

inline constexpr uint64_t kMinimumFreeBytes = 2147483648ull;  // 2 GiB

// A configuration to run with.
struct SettledLaunch {
    LaunchConfig config;
    // The tick of the install decision; 0 unless the install mode was chosen.
    uint32_t installStartTick = 0;
    // The single-launcher lock when it was taken; held while it lives.
    platform::NamedLock launchLock;
};

// A run that ends during the configuration.
struct EarlyEnd {
    std::string message;  // shown to the player first; empty for none
    bool failed = false;  // hand over with failure: the service page opens
};

using ConfigOutcome = std::variant<SettledLaunch, EarlyEnd>;

// Runs the configuration steps in order. sendLaunchRecord is called with the
// version class once the install directory has been remembered.
ConfigOutcome SettleLaunchConfig(const std::string& commandLine, const platform::Services& services,
                                 const std::function<void(int osClass)>& sendLaunchRecord);

// The install directory chosen by the volume scan, with the probe file left
// open in it (exposed for tests). config gives the version class and the
// game's folder.
std::string ScanInstallDrive(const LaunchConfig& config, const platform::Services& services);
