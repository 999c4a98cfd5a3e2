#include "platform/UrlOpener.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/FileDescriptor.h"
#include "platform/posix/SearchPath.h"
#include "platform/posix/SessionChild.h"

namespace platform {

void OpenUrl(const std::string& url) {
    const std::string opener = FindExecutableOnPath("xdg-open");
    if (opener.empty()) {
        WriteErrorLine("xdg-open was not found on the PATH; cannot open " + url);
        return;
    }
    char* const argv[] = {const_cast<char*>("xdg-open"), const_cast<char*>(url.c_str()), nullptr};

    // Double fork: the short-lived middle child is reaped here at once and the
    // opener, orphaned, is reaped by init. So no zombie stays behind and the
    // process-wide SIGCHLD disposition is left alone. Between fork and exec
    // only async-signal-safe calls, as other threads may hold locks.
    const pid_t middle = fork();
    if (middle < 0) {
        WriteErrorLine("Cannot start xdg-open for " + url);
        return;
    }
    if (middle == 0) {
        const char* const programs[] = {opener.c_str(), nullptr};
        if (fork() == 0) ExecInOwnSession(programs, argv);
        _exit(0);
    }
    while (waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace platform
