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

NamedLock AcquireNamedLock(const std::string& name) {
    NamedLock lock;
    if (name.empty() || name.find('/') != std::string::npos) return lock;
    // $XDG_RUNTIME_DIR may name a folder that nobody has made yet.
    if (!CreateDirectories(RuntimeDir())) return lock;
    // Close-on-exec, so that a started game or installer does not go on
    // holding the lock after the launcher has ended.
    UniqueFd fd(open(NamedLockPath(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600));
    if (!fd) return lock;
    int result;
    do {
        result = flock(fd.Get(), LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        lock.result = NamedLockResult::Acquired;
        lock.holder = std::move(fd);
    } else if (errno == EWOULDBLOCK) {
        lock.result = NamedLockResult::AlreadyHeld;
    }
    return lock;
}

}  // namespace platform
