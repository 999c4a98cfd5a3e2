// Text from outside the launcher (a server's answer, a URL it named) made safe
// for a log line: it can neither start a line of its own nor send terminal
// escapes.
#pragma once

#include <string>
#include <string_view>

// text with every control byte written as an escape: "\n", "\r", "\t", or
// "\xNN" for the others (0x00-0x1f and 0x7f). Other bytes stay as they are.
std::string EscapeControlBytes(std::string_view text);
