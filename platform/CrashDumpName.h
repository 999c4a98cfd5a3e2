// The name of a crash dump. Async-signal-safe: no allocation, no locks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// "RivaVare_v1.0-YYYYMMDD-hhmmss.dmp" and its terminating NUL.
inline constexpr size_t kCrashDumpNameSize = 34;

// The dump file name for a moment given as seconds since the epoch, already
// shifted to local time. Years outside 0..9999 are clamped to that range.
void FormatCrashDumpName(int64_t localSeconds, char (&name)[kCrashDumpNameSize]);

}  // namespace platform
