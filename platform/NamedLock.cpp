#include "platform/NamedLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Paths.h"

namespace platform {

std::string NamedLockPath(const std::string& name) {
    return RuntimeDir() + "/" + name + ".lock";
}

NamedLockResult AcquireNamedLock(const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos) return NamedLockResult::Unavailable;
    // $XDG_RUNTIME_DIR may name a folder that nobody has made yet.
    if (!CreateDirectories(RuntimeDir())) return NamedLockResult::Unavailable;
    // Close-on-exec, so that a started game or installer does not go on
    // holding the lock after the launcher has ended.
    const int fd = open(NamedLockPath(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) return NamedLockResult::Unavailable;
    int result;
    do {
        result = flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        // The descriptor stays open, and so the lock held, until the process ends.
        return NamedLockResult::Acquired;
    }
    const int error = errno;
    close(fd);
    return error == EWOULDBLOCK ? NamedLockResult::AlreadyHeld : NamedLockResult::Unavailable;
}

}  // namespace platform
