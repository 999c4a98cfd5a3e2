// vorn-fetch: one download with the launcher's own HTTP client, for operators
// checking a download server or a mirror's signature, and for the benchmarks.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "net/HttpSocket.h"
#include "platform/Services.h"
#include "update/ErrorHeadDump.h"
#include "update/HashingSink.h"
#include "update/PackageCheck.h"
#include "update/PackageKey.h"
#include "update/TempFileSink.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// With --pubkey, a failed check exits with a status of its own.
int SignatureExit(SignatureOutcome outcome) {
    switch (outcome) {
        case SignatureOutcome::Verified:
            return kExitOk;
        case SignatureOutcome::Missing:
            return 3;
        case SignatureOutcome::TooLarge:
            return 4;
        case SignatureOutcome::Malformed:
            return 5;
        case SignatureOutcome::Legacy:
            return 6;
        case SignatureOutcome::UnknownKey:
            return 7;
        case SignatureOutcome::BadSignature:
            return 8;
        case SignatureOutcome::BadGlobalSignature:
            return 9;
    }
    return kExitFailed;
}

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
    std::optional<PackageKey> key;  // --pubkey
    platform::TlsSettings tls;      // --cacert: whom an https server must chain to
};

int Usage() {
    fprintf(stderr,
            "usage: vorn-fetch URL [--address A] [--offset N] [--pubkey KEY] [--cacert FILE]\n"
            "                  --out FILE\n"
            "URL is http or https; https trusts the system's certificates, or with --cacert\n"
            "those in FILE alone.\n"
            "exit status: 0 fetched (and verified), 1 transfer failed, 2 usage; with --pubkey\n"
            "3 no signature, 4 signature too large, 5 malformed, 6 legacy, 7 unknown key,\n"
            "8 bad signature, 9 bad global signature\n");
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
        } else if (arg == "--cacert" && hasValue) {
            args->tls.caFile = argv[++i];
        } else if (arg == "--pubkey" && hasValue) {
            args->key = ParsePackageKey(argv[++i]);
            if (!args->key) return false;
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
    HashingSink hashing(out, out.File());
    const platform::Services services = platform::SystemServices({});
    QuietSink sink;
    CHttpSocket client(&sink, services, HttpTimeouts{}, args.tls);
    IBodySink* body = args.key ? static_cast<IBodySink*>(&hashing) : &out;
    const HttpResult result = client.RequestFile(args.url, args.address, args.offset, body);
    if (result == HttpResult::Refused || result == HttpResult::Redirect) {
        ErrorHeadDump().Write(client.RequestTarget(), client.LastHead());
    }
    printf("result %d, received %lld bytes\n", ResultNumber(result),
           static_cast<long long>(client.TotalRecv()));
    if (result == HttpResult::Redirect) printf("location %s\n", client.Location().c_str());
    if (result != HttpResult::Ok) return kExitFailed;
    if (!args.key) return kExitOk;

    const SignatureVerdict verdict =
        FetchAndCheckSignature(client, args.url, args.address, *args.key, hashing.Digest());
    printf("signature: %s\n", SignatureVerdictText(verdict).c_str());
    return SignatureExit(verdict.outcome);
}
