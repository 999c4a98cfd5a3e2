// The icon of a message box; apart from the boxes themselves so that code
// without a display can name it.
#pragma once

namespace platform {

enum class MessageIcon { None, Information };

}  // namespace platform
