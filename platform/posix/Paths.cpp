#include "platform/Paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace platform {

namespace {

// A variable that holds an absolute path; the XDG rules ignore empty and
// relative values.
const char* AbsolutePathVariable(const char* name) {
    const char* value = getenv(name);
    return value && value[0] == '/' ? value : nullptr;
}

std::string HomeDir() {
    if (const char* home = AbsolutePathVariable("HOME")) return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/') {
        return found->pw_dir;
    }
    return "/tmp";
}

std::string XdgDir(const char* variable, const char* homeRelativeDefault) {
    if (const char* value = AbsolutePathVariable(variable)) return value;
    return HomeDir() + homeRelativeDefault;
}

std::string OperatorDataDir() {
    return UserDataDir() + "/Velmora";
}

}  // namespace

std::string ExecutablePath() {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

std::string ExecutableDir() {
    const std::string path = ExecutablePath();
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string UserConfigDir() {
    return XdgDir("XDG_CONFIG_HOME", "/.config");
}

std::string UserDataDir() {
    return XdgDir("XDG_DATA_HOME", "/.local/share");
}

std::string RuntimeDir() {
    if (const char* value = AbsolutePathVariable("XDG_RUNTIME_DIR")) return value;
    return OperatorDataDir();
}

std::string FallbackInstallRoot() {
    return OperatorDataDir();
}

}  // namespace platform
