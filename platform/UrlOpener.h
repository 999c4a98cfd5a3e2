#pragma once

#include <string>

namespace platform {

// Opens url with the desktop's opener (xdg-open), not waited for.
void OpenUrl(const std::string& url);

}  // namespace platform
