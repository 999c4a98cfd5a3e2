// The text crash report that the fatal-signal handler writes in place of a
// minidump. Everything here is async-signal-safe: no allocation, no stdio,
// no locks.
#pragma once

#include <csignal>

namespace platform {

// Writes the report to fd: signal number and name, fault address, the
// registers of context (a ucontext_t, may be null), a backtrace and a copy of
// /proc/self/maps.
void WriteCrashReport(int fd, int signal, const siginfo_t* info, const void* context);

}  // namespace platform
