// The version class of a Linux kernel, by the table in docs/linux-platform.md.
#pragma once

#include <string>

namespace platform {

int OsClassFromRelease(const std::string& kernelRelease);

}  // namespace platform
