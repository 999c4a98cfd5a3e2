// Modal message boxes. Every text is also written to standard error as one
// line. Before EnableMessageDialogs that line is all, and the call returns at
// once. After it, boxes are GTK dialogs shown by the main thread; a caller on
// another thread waits until the main loop has shown the box and it has been
// dismissed. So never call it from another thread while holding a lock that
// the main thread may wait for, nor while the main loop is not running.
#pragma once

#include <string>

#include "platform/MessageIcon.h"

namespace platform {

void ShowMessageBox(const std::string& text, MessageIcon icon = MessageIcon::None);

// Called on the main thread once GTK is initialised: from then on boxes are
// real dialogs, and this thread is the main thread. A timeoutMs above 0
// dismisses each dialog by itself after that many milliseconds (unattended
// runs and tests).
void EnableMessageDialogs(unsigned timeoutMs = 0);

}  // namespace platform
