#include "tests/e2e/LoopbackServices.h"

#include <filesystem>
#include <stdexcept>

#include "BuildConstants.h"
#include "tests/support/LoopbackPort.h"

namespace {

struct UrlParts {
    uint16_t port = 80;
    std::string path;
};

// "http://localhost:47180/download" → port 47180, path "/download".
UrlParts SplitUrl(const std::string& url) {
    const size_t authority = url.find("://");
    if (authority == std::string::npos) throw std::invalid_argument("not a URL: " + url);
    const size_t pathStart = url.find('/', authority + 3);
    const std::string hostPort = url.substr(authority + 3, pathStart - (authority + 3));
    UrlParts parts;
    if (const size_t colon = hostPort.find(':'); colon != std::string::npos) {
        parts.port = static_cast<uint16_t>(std::stoi(hostPort.substr(colon + 1)));
    }
    parts.path = pathStart == std::string::npos ? "" : url.substr(pathStart);
    return parts;
}

}  // namespace

uint16_t PrimaryPort() {
    return SplitUrl(build::kGamePackUrl).port;
}

uint16_t BackupPort() {
    return SplitUrl(build::kGamePackUrlBak).port;
}

uint16_t StatsPort() {
    return SplitUrl(build::kStatsUrl).port;
}

std::string PackageTarget() {
    return SplitUrl(build::kGamePackUrl).path + "/vorn_ad2.exe";
}

std::string DisguisedPackageTarget() {
    return SplitUrl(build::kGamePackUrl).path + "/vorn_ad2.vorn123";
}

PackageFolder::PackageFolder() {
    const std::filesystem::path link = m_dir.Path() + PackageTarget();
    std::filesystem::create_directories(link.parent_path());
    std::filesystem::create_symlink(VORN_E2E_SAMPLE_PACKAGE, link);
    std::filesystem::create_symlink(std::string(VORN_E2E_SAMPLE_PACKAGE) + ".minisig",
                                    link.string() + ".minisig");
}

std::unique_ptr<NginxServer> StartDownloadServer(uint16_t port, const std::string& root,
                                                 int64_t limitRate) {
    NginxOptions options;
    options.port = port;
    options.limitRateBytesPerSecond = limitRate;
    return std::make_unique<NginxServer>(root, options);
}

std::unique_ptr<PythonServer> StartMisbehavingServer(uint16_t port, const std::string& behaviour,
                                                     const std::string& logFile) {
    return StartRoutedServer(port, {{PackageTarget(), behaviour}}, logFile);
}

std::unique_ptr<PythonServer> StartRoutedServer(uint16_t port, const ServerRoutes& routes,
                                                const std::string& logFile) {
    RequireFreeLoopbackPort(port);
    std::vector<std::string> args{"--port", std::to_string(port), "--log", logFile};
    for (const auto& [target, behaviour] : routes) {
        args.insert(args.end(), {"--route", target + "=" + behaviour});
    }
    return std::make_unique<PythonServer>("routed_server.py", args);
}

std::unique_ptr<PythonServer> StartStatsStandin(const std::string& recordFile) {
    RequireFreeLoopbackPort(StatsPort());
    return std::make_unique<PythonServer>(
        "stats_standin.py",
        std::vector<std::string>{"--port", std::to_string(StatsPort()), "--record", recordFile});
}

int64_t SamplePackageSize() {
    return static_cast<int64_t>(std::filesystem::file_size(VORN_E2E_SAMPLE_PACKAGE));
}
