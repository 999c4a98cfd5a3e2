#include <string_view>

#include "platform/Volumes.h"

namespace platform {

namespace {

bool IsOctalDigit(char c) {
    return c >= '0' && c <= '7';
}

// mountinfo writes space, tab, line break and backslash as \ooo.
std::string DecodeEscapes(std::string_view field) {
    std::string decoded;
    decoded.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && IsOctalDigit(field[i + 1]) &&
            IsOctalDigit(field[i + 2]) && IsOctalDigit(field[i + 3])) {
            decoded += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                         (field[i + 3] - '0'));
            i += 3;
        } else {
            decoded += field[i];
        }
    }
    return decoded;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (start < line.size()) {
        size_t end = line.find(' ', start);
        if (end == std::string_view::npos) end = line.size();
        if (end > start) fields.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

}  // namespace

std::vector<Volume> ParseMountInfo(const std::string& text) {
    // id parent major:minor root mount-point options [optional...] - fstype source super-options
    constexpr size_t kMountPointField = 4;
    constexpr size_t kFirstOptionalField = 6;
    std::vector<Volume> volumes;
    std::string_view rest = text;
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);

        const std::vector<std::string_view> fields = SplitFields(line);
        size_t separator = kFirstOptionalField;
        while (separator < fields.size() && fields[separator] != "-") ++separator;
        if (separator + 2 >= fields.size()) continue;
        volumes.push_back(Volume{DecodeEscapes(fields[kMountPointField]),
                                 DecodeEscapes(fields[separator + 2]),
                                 DecodeEscapes(fields[separator + 1])});
    }
    return volumes;
}

}  // namespace platform
