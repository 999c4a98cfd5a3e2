#pragma once

#include <string>

namespace platform {

// Opens url with the desktop's opener (xdg-open from the PATH), not waited for
// and leaving no zombie. Without xdg-open, one line on standard error says so.
void OpenUrl(const std::string& url);

}  // namespace platform
