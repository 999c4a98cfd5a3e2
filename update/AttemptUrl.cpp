#include "update/AttemptUrl.h"

std::string SlashForDoubleBackslash(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
            result += '/';
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

std::string AttemptUrl(const std::string& baseUrl, const std::string& name, int attemptCounter,
                       bool disguise) {
    std::string url = SlashForDoubleBackslash(baseUrl + "/" + name);
    if (!disguise || attemptCounter % 2 != 0) return url;
    const size_t lastSlash = url.rfind('/');
    const size_t segmentStart = lastSlash == std::string::npos ? 0 : lastSlash;
    const size_t lastDot = url.rfind('.');
    if (lastDot == std::string::npos || lastDot < segmentStart) return url;
    return url.substr(0, lastDot) + ".vorn123";
}
