#include "platform/posix/SearchPath.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace platform {

namespace {
constexpr const char* kDefaultSearchPath = "/usr/local/bin:/usr/bin:/bin";
}  // namespace

std::vector<std::string> SearchPathDirectories() {
    const char* value = getenv("PATH");
    const std::string searchPath = value ? value : kDefaultSearchPath;
    std::vector<std::string> directories;
    size_t start = 0;
    while (true) {
        const size_t end = searchPath.find(':', start);
        const std::string entry =
            searchPath.substr(start, end == std::string::npos ? std::string::npos : end - start);
        directories.push_back(entry.empty() ? "." : entry);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return directories;
}

std::string FindExecutableOnPath(const std::string& name) {
    for (const std::string& directory : SearchPathDirectories()) {
        const std::string candidate = directory + "/" + name;
        struct stat info {};
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return std::string();
}

}  // namespace platform
