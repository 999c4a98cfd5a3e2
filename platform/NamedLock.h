// A system-wide named lock in place of a named mutex: an flock on a file named
// after it in the user's runtime folder (platform/Paths.h), held while its
// holder lives, normally until the process ends. A second acquisition of the
// same name fails with AlreadyHeld, also within one process. Unavailable means
// the lock file could not be opened or locked at all (an unwritable runtime
// folder, a name with "/", a link or another user's file in its place).
#pragma once

#include <cstdint>
#include <string>

namespace platform {

enum class NamedLockResult { Acquired, AlreadyHeld, Unavailable };

class NamedLock {
public:
    NamedLock() = default;
    // An outcome that holds nothing.
    explicit NamedLock(NamedLockResult result) : m_result(result) {}
    // Releases the lock when it holds it.
    ~NamedLock();
    NamedLock(NamedLock&& other) noexcept;
    NamedLock& operator=(NamedLock&& other) noexcept;
    NamedLock(const NamedLock&) = delete;
    NamedLock& operator=(const NamedLock&) = delete;

    NamedLockResult Result() const { return m_result; }
    // Lets another holder take the lock from now on.
    void Release();

private:
    friend NamedLock AcquireNamedLock(const std::string& name);
    static constexpr intptr_t kNone = -1;

    NamedLockResult m_result = NamedLockResult::Unavailable;
    intptr_t m_native = kNone;  // the system's hold on the lock while acquired; owned
};

std::string NamedLockPath(const std::string& name);
NamedLock AcquireNamedLock(const std::string& name);

}  // namespace platform
