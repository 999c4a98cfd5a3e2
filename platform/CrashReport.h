// The text crash report that the fatal-signal handler writes in place of a
// minidump. Everything here is async-signal-safe: no allocation, no stdio,
// no locks.
#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>

namespace platform {

// "RivaVare_v1.0-YYYYMMDD-hhmmss.dmp" and its terminating NUL.
inline constexpr size_t kCrashDumpNameSize = 34;

// The dump file name for a moment given as seconds since the epoch, already
// shifted to local time. Years outside 0..9999 are clamped to that range.
void FormatCrashDumpName(int64_t localSeconds, char (&name)[kCrashDumpNameSize]);

// Writes the report to fd: signal number and name, fault address, the
// registers of context (a ucontext_t, may be null), a backtrace and a copy of
// /proc/self/maps.
void WriteCrashReport(int fd, int signal, const siginfo_t* info, const void* context);

}  // namespace platform
