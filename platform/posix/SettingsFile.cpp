#include "platform/posix/SettingsFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <functional>
#include <system_error>

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/SettingsText.h"
#include "platform/posix/FileDescriptor.h"

namespace platform {

namespace {

// Longer names or texts are refused: nothing the launcher stores comes near.
constexpr size_t kMaxTextBytes = 64 * 1024;
// A larger file is not a settings file of ours.
constexpr off_t kMaxFileBytes = 8 * 1024 * 1024;

enum class FileState { Missing, Parsed, Unusable };

struct FileContent {
    FileState state = FileState::Missing;
    SettingsValues values;
};

FileContent ReadSettingsFile(const std::string& path, const std::string& keyPath) {
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd) {
        const bool missing = errno == ENOENT || errno == ENOTDIR;
        return {missing ? FileState::Missing : FileState::Unusable, {}};
    }
    struct stat info {};
    if (fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kMaxFileBytes) {
        return {FileState::Unusable, {}};
    }
    std::string text;
    char chunk[16384];
    while (true) {
        const ssize_t got = ReadAll(fd.Get(), chunk, sizeof chunk);
        if (got < 0) return {FileState::Unusable, {}};
        text.append(chunk, static_cast<size_t>(got));
        if (text.size() > static_cast<size_t>(kMaxFileBytes)) return {FileState::Unusable, {}};
        if (static_cast<size_t>(got) < sizeof chunk) break;
    }
    std::optional<SettingsValues> values = ParseSettingsText(text, keyPath);
    if (!values) return {FileState::Unusable, {}};
    return {FileState::Parsed, std::move(*values)};
}

std::string LocalTimestamp() {
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    char text[32];
    strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

std::string ErrorText(int error) {
    return std::error_code(error, std::system_category()).message();
}

// An exclusive flock on the sibling lock file, held for the object's life.
// The lock file is never removed: removing it would let two writers lock two
// different files.
class WriterLock {
public:
    explicit WriterLock(const std::string& lockPath)
        : m_fd(open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600)) {
        if (!m_fd) return;
        int result;
        do {
            result = flock(m_fd.Get(), LOCK_EX);
        } while (result != 0 && errno == EINTR);
        m_held = result == 0;
    }

    bool Held() const { return m_held; }

private:
    UniqueFd m_fd;
    bool m_held = false;
};

// The store keeps no state between calls: every read looks at the file and
// every write re-reads it under the writer lock, so one object may be used by
// several threads and several processes may share the file.
class FileSettingsStore final : public ISettingsStore {
public:
    FileSettingsStore(std::string keyPath, std::string path)
        : m_keyPath(std::move(keyPath)),
          m_path(std::move(path)),
          m_directory(m_path.substr(0, m_path.rfind('/'))),
          m_lockPath(m_path + ".lock"),
          m_tempPath(m_path + ".tmp") {}

    bool KeyExists() override {
        struct stat info {};
        return stat(m_path.c_str(), &info) == 0;
    }

    bool CreateKey() override { return KeyExists() || Update(nullptr); }

    std::optional<std::string> ReadString(const std::string& name) override {
        const SettingsValues values = CurrentValues();
        const SettingsValue* value = FindSettingsValue(values, name);
        if (!value) return std::nullopt;
        if (const std::string* text = std::get_if<std::string>(&value->data)) return *text;
        return std::nullopt;
    }

    std::optional<uint32_t> ReadDword(const std::string& name) override {
        const SettingsValues values = CurrentValues();
        const SettingsValue* value = FindSettingsValue(values, name);
        if (!value) return std::nullopt;
        if (const uint32_t* number = std::get_if<uint32_t>(&value->data)) return *number;
        return std::nullopt;
    }

    bool WriteString(const std::string& name, const std::string& value) override {
        if (!Storable(name) || !Storable(value)) return false;
        return Update([&](SettingsValues& values) { SetSettingsValue(values, name, value); });
    }

    bool WriteDword(const std::string& name, uint32_t value) override {
        if (!Storable(name)) return false;
        return Update([&](SettingsValues& values) { SetSettingsValue(values, name, value); });
    }

private:
    static bool Storable(const std::string& text) {
        return text.size() <= kMaxTextBytes && IsStorableSettingsText(text);
    }

    // The values on disk; a damaged or unreadable file counts as empty and
    // is kept aside.
    SettingsValues CurrentValues() {
        FileContent content = ReadSettingsFile(m_path, m_keyPath);
        if (content.state != FileState::Unusable) return std::move(content.values);
        // Look again under the lock: another process may have kept the file
        // aside and written a fresh one meanwhile.
        WriterLock lock(m_lockPath);
        if (!lock.Held()) return {};
        content = ReadSettingsFile(m_path, m_keyPath);
        if (content.state == FileState::Unusable) KeepAside();
        return std::move(content.values);
    }

    // Changes the file under the writer lock: read, change, write a temporary
    // file, flush it, rename it over the file. A writer killed at any moment
    // leaves the old file or the new one, whole.
    bool Update(const std::function<void(SettingsValues&)>& change) {
        if (!CreateDirectories(m_directory)) return false;
        WriterLock lock(m_lockPath);
        if (!lock.Held()) return false;
        FileContent content = ReadSettingsFile(m_path, m_keyPath);
        if (content.state == FileState::Unusable && !KeepAside()) return false;
        if (change) change(content.values);
        return ReplaceFile(FormatSettingsText(content.values, m_keyPath));
    }

    // Only called under the writer lock, so the temporary name is ours alone;
    // one left by a killed writer is simply overwritten.
    bool ReplaceFile(const std::string& text) {
        UniqueFd out(
            open(m_tempPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0600));
        if (!out) return false;
        if (!WriteAll(out.Get(), text) || fsync(out.Get()) != 0 || !out.Close() ||
            rename(m_tempPath.c_str(), m_path.c_str()) != 0) {
            unlink(m_tempPath.c_str());
            return false;
        }
        // Make the rename itself durable; the new file is in place either way.
        UniqueFd directory(open(m_directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (directory) fsync(directory.Get());
        return true;
    }

    // Renames a damaged file to <file>.corrupt-<local time>, so that nothing
    // of it is lost and the next write starts afresh. Called under the lock.
    bool KeepAside() {
        const std::string base = m_path + ".corrupt-" + LocalTimestamp();
        std::string aside = base;
        struct stat info {};
        for (int n = 2; lstat(aside.c_str(), &info) == 0 && n < 1000; ++n) {
            aside = base + "-" + std::to_string(n);
        }
        if (rename(m_path.c_str(), aside.c_str()) != 0) {
            WriteErrorLine("Settings file " + m_path +
                           " cannot be read and cannot be kept aside (" + ErrorText(errno) +
                           "); its values are ignored");
            return false;
        }
        WriteErrorLine("Settings file " + m_path + " cannot be read; kept aside as " + aside +
                       ", a fresh one is used");
        return true;
    }

    const std::string m_keyPath;
    const std::string m_path;
    const std::string m_directory;
    const std::string m_lockPath;
    const std::string m_tempPath;
};

std::string KeyFileRelativePath(const std::string& keyPath) {
    std::string path = keyPath;
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

}  // namespace

std::string SettingsFilePath(const std::string& keyPath) {
    return UserConfigDir() + "/" + KeyFileRelativePath(keyPath) + ".reg";
}

std::unique_ptr<ISettingsStore> OpenUserSettings(const std::string& keyPath) {
    return OpenSettingsFile(keyPath, SettingsFilePath(keyPath));
}

std::unique_ptr<ISettingsStore> OpenSettingsFile(const std::string& keyPath,
                                                 const std::string& path) {
    return std::make_unique<FileSettingsStore>(keyPath, path);
}

}  // namespace platform
