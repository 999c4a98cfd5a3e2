// Programs found through $PATH, as a shell finds them.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The directories of $PATH in order (a default list when it is unset); an
// empty entry stands for the current directory.
std::vector<std::string> SearchPathDirectories();
// The first executable regular file called name in those directories; empty
// when there is none.
std::string FindExecutableOnPath(const std::string& name);

}  // namespace platform
