#include "platform/NamedLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/posix/FileDescriptor.h"

namespace platform {

NamedLock::~NamedLock() {
    Release();
}

NamedLock::NamedLock(NamedLock&& other) noexcept
    : m_result(other.m_result), m_native(other.m_native) {
    other.m_native = kNone;
}

NamedLock& NamedLock::operator=(NamedLock&& other) noexcept {
    if (this != &other) {
        Release();
        m_result = other.m_result;
        m_native = other.m_native;
        other.m_native = kNone;
    }
    return *this;
}

void NamedLock::Release() {
    if (m_native == kNone) return;
    close(static_cast<int>(m_native));
    m_native = kNone;
}

std::string NamedLockPath(const std::string& name) {
    return RuntimeDir() + "/" + name + ".lock";
}

NamedLock AcquireNamedLock(const std::string& name) {
    NamedLock lock;
    if (name.empty() || name.find('/') != std::string::npos) return lock;
    // $XDG_RUNTIME_DIR may name a folder that nobody has made yet, and the
    // data folder's may be new.
    if (!CreatePrivateDirectories(RuntimeDir())) return lock;
    // Close-on-exec, so that a started game or installer does not go on
    // holding the lock after the launcher has ended. Never through a link,
    // and only a file of the user's own: another user's file would let them
    // turn this user's launchers away.
    UniqueFd fd(open(NamedLockPath(name).c_str(),
                     O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, 0600));
    struct stat info {};
    if (!fd || fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != getuid()) {
        return lock;
    }
    int result;
    do {
        result = flock(fd.Get(), LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        lock.m_result = NamedLockResult::Acquired;
        lock.m_native = fd.Release();
    } else if (errno == EWOULDBLOCK) {
        lock.m_result = NamedLockResult::AlreadyHeld;
    }
    return lock;
}

}  // namespace platform
