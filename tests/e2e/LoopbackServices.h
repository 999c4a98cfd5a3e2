// The services the launcher of a loopback build talks to, started by the
// end-to-end tests on the build's fixed ports: nginx as download server, the
// scripted misbehaving server, and the statistics stand-in.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/NginxServer.h"
#include "tests/support/PythonServer.h"
#include "tests/support/TempDir.h"

// The ports and paths of the build constants.
uint16_t PrimaryPort();
uint16_t BackupPort();
uint16_t StatsPort();
// The request target of the install package on either download server
// ("/download/vorn_ad2.exe"), and of its disguised name.
std::string PackageTarget();
std::string DisguisedPackageTarget();

// A folder that nginx serves, holding the sample package and its signature
// where the launcher asks for them (under the package's own name only).
class PackageFolder {
public:
    PackageFolder();
    const std::string& Path() const { return m_dir.Path(); }

private:
    TempDir m_dir;
};

// nginx on port serving root, at most limitRate bytes per second (0: no limit).
std::unique_ptr<NginxServer> StartDownloadServer(uint16_t port, const std::string& root,
                                                 int64_t limitRate = 0);
// The misbehaving server on port, answering the package target as behaviour
// answers (for example "/close-early?size=1000&send=400"); every request is
// logged to logFile as "<connection> <target> <range>".
std::unique_ptr<PythonServer> StartMisbehavingServer(uint16_t port, const std::string& behaviour,
                                                     const std::string& logFile);
// The same with a behaviour for each of several targets.
using ServerRoutes = std::vector<std::pair<std::string, std::string>>;  // target, behaviour
std::unique_ptr<PythonServer> StartRoutedServer(uint16_t port, const ServerRoutes& routes,
                                                const std::string& logFile);
// The statistics stand-in on the build's port, recording to recordFile.
std::unique_ptr<PythonServer> StartStatsStandin(const std::string& recordFile);

// Size in bytes of the sample package.
int64_t SamplePackageSize();
