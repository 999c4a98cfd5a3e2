// Fatal-signal handling. Before start-up hands over, a crash writes a text crash
// report named RivaVare_v1.0-YYYYMMDD-hhmmss.dmp in the current directory; after
// it, the crash opens the customer-service page instead. With a debugger
// attached the signal takes its default course.
#pragma once

namespace platform {

void InstallCrashDumpHandler();
// url must stay valid for the life of the process.
void InstallSupportPageHandler(const char* url);
bool DebuggerAttached();

}  // namespace platform
