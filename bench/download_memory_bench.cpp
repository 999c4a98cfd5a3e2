// Peak memory of the update worker against the size of the package it fetches
// from nginx on loopback. Each download runs in a child process of its own, so
// that its peak resident size is its alone.
//
//   download_memory_bench [MiB ...]     (default: 1 64 256 1024)
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/NginxServer.h"
#include "tests/support/TempDir.h"
#include "update/DownLoadThread.h"

namespace {

constexpr int64_t kMiB = 1048576;

// A controller that only notes whether the job succeeded.
class QuietHost : public IUpdateHost {
public:
    LaunchConfig config;
    bool failed = true;

    LaunchConfig& Config() override { return config; }
    int32_t DebugLaunch() const override { return 1; }
    StatusChannel& Status() override { return m_status; }
    void Finish(bool hasFailed) override { failed = hasFailed; }
    void ShowMessage(const std::string& text, platform::MessageIcon) override {
        fprintf(stderr, "%s\n", text.c_str());
    }

private:
    StatusChannel m_status;
};

// Runs one install job into installDir; the exit status tells success.
[[noreturn]] void DownloadInChild(const std::string& url, const std::string& installDir) {
    QuietHost host;
    host.config.m_szGamePackUrl = url;
    host.config.m_szGamePackUrlBak = url;
    host.config.m_szInstallDir = installDir;
    host.config.m_szPackName = "vorn_ad2.exe";
    host.config.m_szLocalVerFile = installDir + "/localVer.dat";
    host.config.m_nMode = MODE_INSTALL;
    const platform::Services services = platform::SystemServices({});
    DownLoadThread worker(host, services);
    worker.PrepareJob();
    worker.Start();
    worker.Join();
    _exit(host.failed ? 1 : 0);
}

struct Measurement {
    bool ok = false;
    double seconds = 0;
    long peakKiB = 0;
};

Measurement Measure(const std::string& url, const std::string& installDir) {
    const auto started = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) DownloadInChild(url, installDir);
    int status = 0;
    struct rusage usage {};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) return {};
    Measurement result;
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    result.peakKiB = usage.ru_maxrss;
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int64_t> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(atoll(argv[i]));
    if (sizes.empty()) sizes = {1, 64, 256, 1024};

    TempDir work;
    const std::string root = work / "www";
    const std::string installDir = work / "install";
    mkdir(root.c_str(), 0755);
    mkdir(installDir.c_str(), 0755);
    NginxServer server(root);

    printf("%12s %14s %10s %10s\n", "package MiB", "peak RSS MiB", "seconds", "MiB/s");
    for (int64_t mib : sizes) {
        // A sparse package: nginx sends it in full, the disk holds little.
        const std::string package = root + "/vorn_ad2.exe";
        FILE* file = fopen(package.c_str(), "wb");
        if (!file || ftruncate(fileno(file), mib * kMiB) != 0) return 1;
        fclose(file);

        const Measurement result = Measure(server.Url(""), installDir);
        unlink((installDir + "/vorn_ad2.exe").c_str());
        if (!result.ok) {
            fprintf(stderr, "download of %lld MiB failed\n", static_cast<long long>(mib));
            return 1;
        }
        printf("%12lld %14.1f %10.2f %10.0f\n", static_cast<long long>(mib),
               result.peakKiB / 1024.0, result.seconds, mib / result.seconds);
    }
    return 0;
}
