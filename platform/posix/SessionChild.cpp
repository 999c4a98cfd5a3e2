#include "platform/posix/SessionChild.h"

#include <unistd.h>

#include <csignal>

extern char** environ;

namespace platform {

void ExecInOwnSession(const char* const programs[], char* const argv[]) {
    setsid();
    sigset_t noSignals;
    sigemptyset(&noSignals);
    sigprocmask(SIG_SETMASK, &noSignals, nullptr);
    signal(SIGPIPE, SIG_DFL);
    for (const char* const* program = programs; *program; ++program) {
        execve(*program, argv, environ);
    }
    _exit(127);
}

}  // namespace platform
