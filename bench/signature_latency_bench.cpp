// The package check's cost after the download: the wall time from a signed
// package's last body byte to its verdict (the signature's request on the
// kept connection, the hash's end, the Ed25519 checks), and the peak memory of
// a download with its check, against the package's size. Each size runs in a
// child process of its own, from nginx on loopback; minisign signs.
//
//   signature_latency_bench [MiB ...]     (default: 64 1024)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "net/HttpSocket.h"
#include "tests/support/NginxServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/ToolRun.h"
#include "update/HashingSink.h"
#include "update/PackageCheck.h"
#include "update/TempFileSink.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int64_t kMiB = 1048576;
constexpr int kRuns = 5;

// Notes when the last body byte of the current answer has arrived.
class LastByteClock : public IDownLoadThread {
public:
    void OnRecvData(const void*, int32_t, int64_t received, int64_t contentLength) override {
        if (received == contentLength) lastByte = Clock::now();
    }
    void OnFileSize(int64_t) override {}
    Clock::time_point lastByte;
};

void WriteRandomFile(const std::string& path, int64_t size) {
    std::ofstream out(path, std::ios::binary);
    std::mt19937_64 random(1);
    std::vector<uint64_t> block(kMiB / sizeof(uint64_t));
    for (int64_t written = 0; written < size; written += kMiB) {
        for (uint64_t& word : block) word = random();
        out.write(reinterpret_cast<const char*>(block.data()), kMiB);
    }
}

// One download and check per run; prints the median latency and exits 0 when
// every run verified.
[[noreturn]] void MeasureInChild(const std::string& url, const PackageKey& key,
                                 const std::string& out) {
    const platform::Services services = platform::SystemServices({});
    std::vector<double> latencies;
    for (int run = 0; run < kRuns; ++run) {
        unlink(out.c_str());
        LastByteClock progress;
        CHttpSocket client(&progress, services);
        TempFileSink file(out);
        HashingSink hashing(file, file.File());
        if (client.RequestFile(url, "", 0, &hashing) != HttpResult::Ok) _exit(1);
        const SignatureVerdict verdict =
            FetchAndCheckSignature(client, url, "", key, hashing.Digest());
        const Clock::time_point verified = Clock::now();
        if (verdict.outcome != SignatureOutcome::Verified) _exit(2);
        latencies.push_back(
            std::chrono::duration<double, std::milli>(verified - progress.lastByte).count());
    }
    std::sort(latencies.begin(), latencies.end());
    printf("  last byte -> verified: median %.2f ms (min %.2f, max %.2f)\n",
           latencies[latencies.size() / 2], latencies.front(), latencies.back());
    fflush(stdout);
    _exit(0);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int64_t> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoll(argv[i]));
    if (sizes.empty()) sizes = {64, 1024};

    TempDir work;
    const ToolRun keys =
        RunTool({"minisign", "-G", "-W", "-p", work / "minisign.pub", "-s", work / "minisign.key"});
    if (keys.exitCode != 0) {
        fprintf(stderr, "minisign -G failed: %s\n", keys.output.c_str());
        return 1;
    }
    std::ifstream pub(work / "minisign.pub");
    std::string line;
    std::getline(pub, line);
    std::getline(pub, line);
    const std::optional<PackageKey> key = ParsePackageKey(line);
    if (!key) return 1;

    for (const int64_t mib : sizes) {
        const std::string package = work / "package.bin";
        WriteRandomFile(package, mib * kMiB);
        const ToolRun sign =
            RunTool({"minisign", "-S", "-s", work / "minisign.key", "-m", package});
        if (sign.exitCode != 0) {
            fprintf(stderr, "minisign -S failed: %s\n", sign.output.c_str());
            return 1;
        }
        NginxServer server(work.Path());
        printf("%lld MiB package, %d runs:\n", static_cast<long long>(mib), kRuns);
        fflush(stdout);
        const pid_t child = fork();
        if (child == 0) MeasureInChild(server.Url("/package.bin"), *key, work / "out");
        int status = 0;
        struct rusage usage {};
        wait4(child, &status, 0, &usage);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            fprintf(stderr, "the download or its check failed (status %d)\n", status);
            return 1;
        }
        printf("  peak resident memory: %.1f MiB\n", usage.ru_maxrss / 1024.0);
    }
    return 0;
}
