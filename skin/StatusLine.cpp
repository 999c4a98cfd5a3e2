#include "skin/StatusLine.h"

#include <glib.h>

#include <memory>

namespace {

constexpr size_t kLongStatusChars = 25;
constexpr size_t kCutStatusChars = 20;
constexpr size_t kShortLineChars = 4;
const std::string kShortSeparator = "?";
const std::string kLongGap = "??????????";

std::vector<std::string> ValidCharacters(const std::string& text) {
    std::unique_ptr<gchar, decltype(&g_free)> valid(
        g_utf8_make_valid(text.data(), static_cast<gssize>(text.size())), &g_free);
    return SplitCharacters(valid.get());
}

void Append(std::vector<std::string>& line, const std::vector<std::string>& chars) {
    line.insert(line.end(), chars.begin(), chars.end());
}

}  // namespace

std::vector<std::string> SplitCharacters(const std::string& utf8) {
    std::vector<std::string> chars;
    for (const char* p = utf8.c_str(); *p != '\0';) {
        const char* next = g_utf8_next_char(p);
        chars.emplace_back(p, next);
        p = next;
    }
    return chars;
}

std::vector<std::string> ComposeStatusLine(const std::string& status, const std::string& detail,
                                           const std::string& size) {
    std::vector<std::string> line = ValidCharacters(status);
    if (line.size() > kLongStatusChars) line.resize(kCutStatusChars);

    const std::string& tail = !detail.empty() ? detail : size;
    if (!tail.empty()) {
        Append(line, SplitCharacters(line.size() > kShortLineChars ? kShortSeparator : kLongGap));
        Append(line, ValidCharacters(tail));
    } else {
        std::vector<std::string> prefixed = SplitCharacters(kLongGap);
        Append(prefixed, line);
        line = std::move(prefixed);
    }
    if (line.size() > kStatusLineMaxChars) line.resize(kStatusLineMaxChars);
    return line;
}
