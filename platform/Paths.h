// Where the launcher finds itself and the user's folders.
#pragma once

#include <string>

namespace platform {

// The running executable (/proc/self/exe), and its directory with a trailing "/".
std::string ExecutablePath();
std::string ExecutableDir();
// $XDG_CONFIG_HOME, $XDG_DATA_HOME with their defaults.
std::string UserConfigDir();
std::string UserDataDir();
// $XDG_RUNTIME_DIR, else the operator's folder in the user's data directory:
// a folder of the user's own, never one that other users share.
std::string RuntimeDir();
// The install folder used when no volume qualifies: the operator's folder in
// the user's data directory.
std::string FallbackInstallRoot();

}  // namespace platform
