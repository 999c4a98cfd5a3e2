// The settings key kept as a text file, as the Linux side keeps it. A damaged
// or unreadable file reads as an empty key; it is renamed to
// <file>.corrupt-<YYYYMMDD-hhmmss> (one line on standard error says so) and
// the next write starts a new file. The file format is described in
// docs/linux-platform.md.
#pragma once

#include <memory>
#include <string>

#include "platform/SettingsStore.h"

namespace platform {

// The file that holds a key: $XDG_CONFIG_HOME (default ~/.config) followed by
// the key path with "/" for "\" and the ending ".reg".
std::string SettingsFilePath(const std::string& keyPath = kGameKeyPath);

// The key kept in the file at path.
std::unique_ptr<ISettingsStore> OpenSettingsFile(const std::string& keyPath,
                                                 const std::string& path);

}  // namespace platform
