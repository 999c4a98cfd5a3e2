// Fatal-signal handling. Before start-up hands over, a crash writes a text crash
// report named RivaVare_v1.0-YYYYMMDD-hhmmss.dmp in the current directory; after
// it, the crash opens the customer-service page instead (xdg-open from the
// PATH as it was at install time) and the process ends with exit code
// 128 + signal. With a debugger attached the signal takes its default course.
// Install from the main thread at start-up: the handlers run on an alternate
// stack of that thread, so that even its stack overflow is caught.
#pragma once

namespace platform {

void InstallCrashDumpHandler();
// url must stay valid for the life of the process.
void InstallSupportPageHandler(const char* url);
// Async-signal-safe.
bool DebuggerAttached();

}  // namespace platform
