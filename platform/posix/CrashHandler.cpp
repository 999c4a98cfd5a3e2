#include "platform/CrashHandler.h"

#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

#include "platform/CrashDumpName.h"
#include "platform/posix/CrashReport.h"
#include "platform/posix/FileDescriptor.h"
#include "platform/posix/SearchPath.h"
#include "platform/posix/SessionChild.h"

namespace platform {

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
// Room for the report writer, also with sanitizer instrumentation.
constexpr size_t kAlternateStackSize = 256 * 1024;
constexpr size_t kOpenerCandidatesSize = 16384;
constexpr size_t kMaxOpenerCandidates = 256;
// How long a second crashing thread waits for the first to finish its report.
constexpr int kOtherCrashWaitSeconds = 10;

// The alternate stack of the thread that installs the handlers (the main
// thread), so that a stack overflow there can still be reported.
alignas(16) char g_alternateStack[kAlternateStackSize];

// Written by the Install functions on the main thread before sigaction
// installs a handler; only read by the handlers afterwards.
long g_utcOffsetSeconds = 0;
// "<dir>/xdg-open" for each PATH directory, and the list of them ended by a
// null pointer: the handler may not allocate, so the search is prepared here.
char g_openerCandidates[kOpenerCandidatesSize];
const char* g_openerPrograms[kMaxOpenerCandidates + 1] = {};
char* g_openerArgv[3] = {nullptr, nullptr, nullptr};

// Set by the first thread that enters a handler; a lock-free atomic is
// async-signal-safe.
std::atomic<bool> g_crashInProgress{false};

void PrepareOpenerCandidates() {
    size_t used = 0;
    size_t count = 0;
    for (const std::string& directory : SearchPathDirectories()) {
        const std::string candidate = directory + "/xdg-open";
        if (count == kMaxOpenerCandidates ||
            used + candidate.size() + 1 > sizeof g_openerCandidates) {
            break;
        }
        memcpy(g_openerCandidates + used, candidate.c_str(), candidate.size() + 1);
        g_openerPrograms[count++] = g_openerCandidates + used;
        used += candidate.size() + 1;
    }
    g_openerPrograms[count] = nullptr;
}

// Lets the signal take its default course (normally: the process ends). The
// signal stays blocked until the handler returns, so the raised one is
// delivered then; a fault would repeat by itself anyway.
void ResumeDefaultCourse(int signal) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    raise(signal);
}

// True for the first crash of the process. A later one, on another thread,
// gives the first time to finish before the process ends.
bool FirstCrash() {
    if (!g_crashInProgress.exchange(true)) return true;
    timespec pause{kOtherCrashWaitSeconds, 0};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
    return false;
}

void WriteDumpFile(int signal, siginfo_t* info, void* context) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    char name[kCrashDumpNameSize];
    FormatCrashDumpName(static_cast<int64_t>(now.tv_sec) + g_utcOffsetSeconds, name);
    const int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd < 0) return;
    WriteCrashReport(fd, signal, info, context);
    close(fd);
}

void DumpHandler(int signal, siginfo_t* info, void* context) {
    if (FirstCrash() && !DebuggerAttached()) WriteDumpFile(signal, info, context);
    ResumeDefaultCourse(signal);
}

// Starts xdg-open with the service page in a new session. _Fork, unlike fork,
// runs no atfork handlers, which could wait for a lock the crashed code holds.
void StartOpener() {
    if (_Fork() == 0) ExecInOwnSession(g_openerPrograms, g_openerArgv);
}

void SupportPageHandler(int signal, siginfo_t*, void*) {
    if (!FirstCrash() || DebuggerAttached()) {
        ResumeDefaultCourse(signal);
        return;
    }
    StartOpener();
    // The shell's code for "ended by this signal", without a core file.
    _exit(128 + signal);
}

void InstallFatalSignalHandler(void (*handler)(int, siginfo_t*, void*)) {
    stack_t stack{};
    stack.ss_sp = g_alternateStack;
    stack.ss_size = sizeof g_alternateStack;
    sigaltstack(&stack, nullptr);

    struct sigaction action {};
    action.sa_sigaction = handler;
    // While one fatal signal is handled the others stay blocked; one raised
    // by the handler's own code then ends the process at once.
    sigemptyset(&action.sa_mask);
    for (const int signal : kFatalSignals) sigaddset(&action.sa_mask, signal);
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    for (const int signal : kFatalSignals) sigaction(signal, &action, nullptr);
}

}  // namespace

void InstallCrashDumpHandler() {
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    g_utcOffsetSeconds = local.tm_gmtoff;
    // The first backtrace call loads libgcc, which a handler must not do.
    void* frame[1];
    backtrace(frame, 1);
    InstallFatalSignalHandler(DumpHandler);
}

void InstallSupportPageHandler(const char* url) {
    PrepareOpenerCandidates();
    g_openerArgv[0] = const_cast<char*>("xdg-open");
    g_openerArgv[1] = const_cast<char*>(url);
    InstallFatalSignalHandler(SupportPageHandler);
}

bool DebuggerAttached() {
    // Async-signal-safe: the handlers call it.
    const int fd = open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char status[4096];
    const ssize_t size = ReadAll(fd, status, sizeof status - 1);
    close(fd);
    status[size > 0 ? size : 0] = '\0';

    static constexpr char kField[] = "\nTracerPid:";
    const char* field = strstr(status, kField);
    if (!field) return false;
    const char* value = field + sizeof kField - 1;
    while (*value == ' ' || *value == '\t') ++value;
    return *value >= '1' && *value <= '9';
}

}  // namespace platform
