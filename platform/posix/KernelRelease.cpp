#include "platform/posix/KernelRelease.h"

#include <sys/utsname.h>

#include <cctype>

#include "platform/OsClass.h"

namespace platform {

int OsClassFromRelease(const std::string& kernelRelease) {
    // The kernel's major version, as in "6.1.0-18-amd64"; it must be followed by a dot.
    size_t digits = 0;
    int major = 0;
    while (digits < kernelRelease.size() &&
           isdigit(static_cast<unsigned char>(kernelRelease[digits]))) {
        if (major < 1000) major = major * 10 + (kernelRelease[digits] - '0');
        ++digits;
    }
    if (digits == 0 || digits >= kernelRelease.size() || kernelRelease[digits] != '.') return 0;
    if (major < 3) return 1;
    if (major == 3) return 2;
    if (major == 4) return 3;
    if (major == 5) return 4;
    return 5;
}

int CurrentOsClass() {
    utsname names{};
    if (uname(&names) != 0) return 0;
    return OsClassFromRelease(names.release);
}

}  // namespace platform
