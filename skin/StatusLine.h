// The status line the window draws along its circle, composed from the three
// status texts. A "?" is drawn as a blank, so the separators are gaps.
#pragma once

#include <string>
#include <vector>

// Longest line drawn, in characters.
inline constexpr size_t kStatusLineMaxChars = 99;

// The line's characters (Unicode code points, each as UTF-8), at most
// kStatusLineMaxChars. Invalid UTF-8 in the texts is replaced, never passed on.
std::vector<std::string> ComposeStatusLine(const std::string& status, const std::string& detail,
                                           const std::string& size);

// Splits valid UTF-8 text into its code points.
std::vector<std::string> SplitCharacters(const std::string& utf8);
