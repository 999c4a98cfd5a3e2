#pragma once

#include <string>

// The system's text for an errno value, as the player sees it in a message.
std::string SystemErrorText(int error);
