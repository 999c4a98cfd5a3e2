// The per-user settings key of the game: the registry's key on Windows, a
// text file on Linux (platform/posix/SettingsFile.h). Text (REG_SZ) and 32-bit
// (REG_DWORD) values are kept apart: reading a value as the other type finds
// nothing. A key that cannot be read reads as an empty key.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace platform {

inline constexpr const char* kGameKeyPath = "SOFTWARE\\Velmora\\Quorvane3D";

class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;
    // True when the key exists (the counterpart of opening it).
    virtual bool KeyExists() = 0;
    // Creates the key, empty, when it is missing; true when it exists afterwards.
    virtual bool CreateKey() = 0;
    virtual std::optional<std::string> ReadString(const std::string& name) = 0;
    virtual std::optional<uint32_t> ReadDword(const std::string& name) = 0;
    // Writes one value, creating the key when it is missing. Atomic, and
    // serialised with other processes so that none loses another's values.
    // False when it could not be stored, or for a name or text longer than
    // 64 KiB or holding control characters other than tab and line breaks.
    virtual bool WriteString(const std::string& name, const std::string& value) = 0;
    virtual bool WriteDword(const std::string& name, uint32_t value) = 0;
};

std::unique_ptr<ISettingsStore> OpenUserSettings(const std::string& keyPath = kGameKeyPath);
}  // namespace platform
