// The URL that one download attempt asks for.
#pragma once

#include <string>

// text with every pair of consecutive backslashes turned into "/".
std::string SlashForDoubleBackslash(const std::string& text);

// baseUrl, "/" and name, with every pair of backslashes turned into "/". When
// attemptCounter is even and disguise is on, the extension of the last
// segment (the text from its last ".") becomes ".vorn123"; a last segment
// without "." stays as it is.
std::string AttemptUrl(const std::string& baseUrl, const std::string& name, int attemptCounter,
                       bool disguise);
