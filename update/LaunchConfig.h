// The launcher's configuration, settled once at start-up by the controller and
// read by the worker. Text fields are UTF-8; each has the capacity (in
// characters, terminator included) that callers check before filling it.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

enum JobMode : int32_t {
    MODE_INSTALL = 522,
    MODE_LAUNCH = 525,
    MODE_INSTALLED = 526,
};

namespace capacity {
inline constexpr size_t kUrl = 512;
inline constexpr size_t kAddress = 128;
inline constexpr size_t kName = 128;
inline constexpr size_t kInstallDir = 128;
inline constexpr size_t kLocalVerFile = 512;
inline constexpr size_t kRunMarker = 256;

// True when text fits a field of the given capacity with its terminator.
inline bool Fits(const std::string& text, size_t fieldCapacity) {
    return text.size() < fieldCapacity;
}
}  // namespace capacity

// The job mode as a field that the installer watcher may change while other
// threads read it: every read and write is atomic, and a copy takes the value.
class JobModeField {
public:
    JobModeField() = default;
    JobModeField(const JobModeField& other) : m_mode(other.m_mode.load()) {}
    JobModeField& operator=(const JobModeField& other) {
        m_mode = other.m_mode.load();
        return *this;
    }
    JobModeField& operator=(int32_t mode) {
        m_mode = mode;
        return *this;
    }
    operator int32_t() const { return m_mode.load(); }

private:
    std::atomic<int32_t> m_mode{0};
};

struct LaunchConfig {
    std::string m_szGamePackUrl;
    std::string m_szGamePackAddr;
    std::string m_szGamePackUrlBak;
    std::string m_szGamePackAddrBak;
    std::string m_szUpdateUrl;
    std::string m_szUpdateAddr;
    std::string m_szUpdateUrlBak;
    std::string m_szUpdateAddrBak;
    std::string m_szPackName;
    std::string m_szGameDir;
    std::string m_szInstallDir;  // without a trailing "/"
    std::string m_szLocalVerFile;
    std::string m_szRunMarker;  // empty until the marker step
    // The only field that changes after construction: the installer watcher
    // sets MODE_INSTALLED while no worker runs.
    JobModeField m_nMode;
    int32_t m_nOsClass = 0;
    std::string m_strCmdLine;
};

// Paths derived from the configuration, one rule each.
std::string GameExecutablePath(const std::string& installDir, const std::string& gameDir);
std::string InstallPackagePath(const LaunchConfig& config);
