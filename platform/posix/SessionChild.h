// The last step of starting a program from a forked child: a session of its
// own and none of the signal state the launcher set up for itself (ignored
// SIGPIPE, blocked signals), then exec. Only async-signal-safe calls, so it
// may run in the child of a multi-threaded process and of a crash handler.
#pragma once

namespace platform {

// Tries each path of programs (ended by a null pointer) in turn with argv and
// the launcher's environment; ends the child with 127 when none starts.
[[noreturn]] void ExecInOwnSession(const char* const programs[], char* const argv[]);

}  // namespace platform
