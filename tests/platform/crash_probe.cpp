// Crashes on purpose, for the crash handler tests:
//   platform_crash_probe segv|bus|ill|fpe|abort|fault|overflow
//   platform_crash_probe support <url>
// "fault" writes the address it is about to touch to the file fault-address.
#include <sys/mman.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/CrashHandler.h"

namespace {

constexpr int kUnknownRequest = 3;
constexpr int kNotEnded = 4;

void TouchForbiddenPage() {
    void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED) return;
    FILE* out = fopen("fault-address", "w");
    if (!out) return;
    fprintf(out, "%p", page);
    fclose(out);
    *static_cast<volatile char*>(page) = 1;
}

// Deep enough to overflow any stack; the depth test keeps the compiler from
// turning it into a loop.
long Recurse(long depth) {
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    if (depth == -1) return frame[0];
    return Recurse(depth + 1) + frame[0];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return kUnknownRequest;
    // No core files in the test's folder.
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);

    platform::InstallCrashDumpHandler();
    const char* request = argv[1];
    if (strcmp(request, "support") == 0 && argc >= 3) {
        platform::InstallSupportPageHandler(argv[2]);
        raise(SIGSEGV);
    } else if (strcmp(request, "segv") == 0) {
        raise(SIGSEGV);
    } else if (strcmp(request, "bus") == 0) {
        raise(SIGBUS);
    } else if (strcmp(request, "ill") == 0) {
        raise(SIGILL);
    } else if (strcmp(request, "fpe") == 0) {
        raise(SIGFPE);
    } else if (strcmp(request, "abort") == 0) {
        abort();
    } else if (strcmp(request, "fault") == 0) {
        TouchForbiddenPage();
    } else if (strcmp(request, "overflow") == 0) {
        return static_cast<int>(Recurse(0));
    } else {
        return kUnknownRequest;
    }
    return kNotEnded;
}
