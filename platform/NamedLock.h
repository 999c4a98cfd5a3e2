// A system-wide named lock in place of a named mutex: an flock on a file named
// after it in $XDG_RUNTIME_DIR (or the temporary directory), held until the
// process ends. A second acquisition of the same name fails with AlreadyHeld,
// also within one process. Unavailable means the lock file could not be
// opened or locked at all (an unwritable runtime folder, a name with "/").
#pragma once

#include <string>

namespace platform {

enum class NamedLockResult { Acquired, AlreadyHeld, Unavailable };

std::string NamedLockPath(const std::string& name);
NamedLockResult AcquireNamedLock(const std::string& name);

}  // namespace platform
