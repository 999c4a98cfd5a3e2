// The system's version class 0..5 from the running kernel, by the table in
// docs/linux-platform.md. Class 1 means an old system that needs the
// "vorn_dir" install layout and the fonts chosen for it.
#pragma once

#include <string>

namespace platform {

int OsClassFromRelease(const std::string& kernelRelease);
int CurrentOsClass();

}  // namespace platform
