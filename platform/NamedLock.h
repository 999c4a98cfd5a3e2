// A system-wide named lock in place of a named mutex: an flock on a file named
// after it in $XDG_RUNTIME_DIR (or the temporary directory), held while its
// holder lives, normally until the process ends. A second acquisition of the
// same name fails with AlreadyHeld, also within one process. Unavailable means
// the lock file could not be opened or locked at all (an unwritable runtime
// folder, a name with "/").
#pragma once

#include <string>

#include "platform/FileDescriptor.h"

namespace platform {

enum class NamedLockResult { Acquired, AlreadyHeld, Unavailable };

struct NamedLock {
    NamedLockResult result = NamedLockResult::Unavailable;
    // Holds the lock when it was acquired; closing it releases the lock.
    UniqueFd holder;
};

std::string NamedLockPath(const std::string& name);
NamedLock AcquireNamedLock(const std::string& name);

}  // namespace platform
