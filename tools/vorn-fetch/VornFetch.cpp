// vorn-fetch: one download with the launcher's own HTTP client, for operators
// checking a download server and for the transfer benchmark.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "net/HttpSocket.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// The client insists on a sink; the tool only prints the totals at the end.
class QuietSink : public IDownLoadThread {
public:
    void OnRecvData(const void*, int32_t, int64_t, int64_t) override {}
    void OnFileSize(int64_t) override {}
};

struct Arguments {
    std::string url;
    std::string address;
    int64_t offset = 0;
    std::string out;
};

int Usage() {
    fprintf(stderr, "usage: vorn-fetch URL [--address A] [--offset N] --out FILE\n");
    return kExitUsage;
}

bool ParseOffset(const char* text, int64_t* offset) {
    char* end = nullptr;
    errno = 0;
    const long long value = strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 0) return false;
    *offset = value;
    return true;
}

bool ParseArguments(int argc, char** argv, Arguments* args) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--address" && hasValue) {
            args->address = argv[++i];
        } else if (arg == "--offset" && hasValue) {
            if (!ParseOffset(argv[++i], &args->offset)) return false;
        } else if (arg == "--out" && hasValue) {
            args->out = argv[++i];
        } else if (arg.starts_with("--") || !args->url.empty()) {
            return false;
        } else {
            args->url = arg;
        }
    }
    return !args->url.empty() && !args->out.empty();
}

}  // namespace

int main(int argc, char** argv) {
    Arguments args;
    if (!ParseArguments(argc, argv, &args)) return Usage();

    // Appending, as the launcher does with its temporary file.
    FILE* out = fopen(args.out.c_str(), "ab+");
    if (!out) {
        fprintf(stderr, "vorn-fetch: cannot open %s\n", args.out.c_str());
        return kExitFailed;
    }
    QuietSink sink;
    CHttpSocket client(&sink);
    const int result = client.RequestFile(args.url, args.address, args.offset, out);
    const bool closed = fclose(out) == 0;
    printf("result %d, received %lld bytes\n", result, static_cast<long long>(client.TotalRecv()));
    if (result == HTTP_REDIRECT) printf("location %s\n", client.Location().c_str());
    return result == HTTP_OK && closed ? kExitOk : kExitFailed;
}
