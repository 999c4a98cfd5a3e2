// Where the launcher finds itself and the user's folders.
#pragma once

#include <string>

namespace platform {

// The running executable (/proc/self/exe), and its directory with a trailing "/".
std::string ExecutablePath();
std::string ExecutableDir();
// $XDG_CONFIG_HOME, $XDG_DATA_HOME, $XDG_RUNTIME_DIR with their defaults.
std::string UserConfigDir();
std::string UserDataDir();
std::string RuntimeDir();
// The install folder used when no volume qualifies: the user's data directory
// and the operator's folder.
std::string FallbackInstallRoot();

}  // namespace platform
