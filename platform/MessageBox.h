// Modal message boxes. Every text is also written to standard error as one
// line. Once the window's main loop runs, boxes are shown by the main thread;
// a caller on another thread waits until the box is dismissed.
#pragma once

#include <string>

namespace platform {

enum class MessageIcon { None, Information };

void ShowMessageBox(const std::string& text, MessageIcon icon = MessageIcon::None);

// Called on the main thread once GTK is initialised: from then on boxes are
// real dialogs. VORN_MESSAGE_TIMEOUT_MS, when set, dismisses each dialog by
// itself after that many milliseconds (unattended runs and tests).
void EnableMessageDialogs();

}  // namespace platform
