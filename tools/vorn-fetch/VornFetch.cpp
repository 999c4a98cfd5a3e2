// vorn-fetch: one download with the launcher's own HTTP client, for operators
// checking a download server and for the transfer benchmark.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "net/HttpSocket.h"
#include "platform/Services.h"
#include "update/ErrorHeadDump.h"
#include "update/TempFileSink.h"

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
    TempFileSink out(args.out);
    if (!out.Opened()) {
        fprintf(stderr, "vorn-fetch: cannot open %s\n", args.out.c_str());
        return kExitFailed;
    }
    const platform::Services services = platform::SystemServices({});
    QuietSink sink;
    CHttpSocket client(&sink, services);
    const HttpResult result = client.RequestFile(args.url, args.address, args.offset, &out);
    if (result == HttpResult::Refused || result == HttpResult::Redirect) {
        ErrorHeadDump().Write(client.RequestTarget(), client.LastHead());
    }
    printf("result %d, received %lld bytes\n", ResultNumber(result),
           static_cast<long long>(client.TotalRecv()));
    if (result == HttpResult::Redirect) printf("location %s\n", client.Location().c_str());
    return result == HttpResult::Ok ? kExitOk : kExitFailed;
}
