#include "platform/SettingsText.h"

#include <cstdio>
#include <string_view>

namespace platform {

namespace {

constexpr std::string_view kDwordPrefix = "dword:";
constexpr size_t kDwordDigits = 8;

void AppendQuoted(std::string& out, const std::string& text) {
    out += '"';
    for (const char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    out += '"';
}

// Reads a quoted text at line[pos]; pos ends after the closing quote. Control
// characters other than tab are refused: they only appear in damaged files.
std::optional<std::string> ReadQuoted(const std::string& line, size_t& pos) {
    if (pos >= line.size() || line[pos] != '"') return std::nullopt;
    std::string text;
    for (++pos; pos < line.size(); ++pos) {
        const char c = line[pos];
        if (c == '"') {
            ++pos;
            return text;
        }
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t') return std::nullopt;
        if (c != '\\') {
            text += c;
            continue;
        }
        if (++pos >= line.size()) return std::nullopt;
        switch (line[pos]) {
            case '\\':
                text += '\\';
                break;
            case '"':
                text += '"';
                break;
            case 'n':
                text += '\n';
                break;
            case 'r':
                text += '\r';
                break;
            default:
                return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<uint32_t> ReadDwordDigits(std::string_view digits) {
    if (digits.size() != kDwordDigits) return std::nullopt;
    uint32_t value = 0;
    for (const char c : digits) {
        uint32_t digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<uint32_t>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        value = value << 4 | digit;
    }
    return value;
}

std::optional<SettingsValue> ParseValueLine(const std::string& line) {
    size_t pos = 0;
    std::optional<std::string> name = ReadQuoted(line, pos);
    if (!name || pos >= line.size() || line[pos] != '=') return std::nullopt;
    ++pos;
    const std::string_view rest = std::string_view(line).substr(pos);
    if (rest.starts_with(kDwordPrefix)) {
        std::optional<uint32_t> number = ReadDwordDigits(rest.substr(kDwordPrefix.size()));
        if (!number) return std::nullopt;
        return SettingsValue{std::move(*name), *number};
    }
    std::optional<std::string> text = ReadQuoted(line, pos);
    if (!text || pos != line.size()) return std::nullopt;
    return SettingsValue{std::move(*name), std::move(*text)};
}

}  // namespace

bool IsStorableSettingsText(const std::string& text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            return false;
        }
    }
    return true;
}

std::optional<SettingsValues> ParseSettingsText(const std::string& text,
                                                const std::string& keyPath) {
    const std::string header = "[" + keyPath + "]";
    SettingsValues values;
    bool headerSeen = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (!headerSeen) {
            if (line != header) return std::nullopt;
            headerSeen = true;
            continue;
        }
        std::optional<SettingsValue> value = ParseValueLine(line);
        if (!value) return std::nullopt;
        SetSettingsValue(values, value->name, std::move(value->data));
    }
    return values;
}

std::string FormatSettingsText(const SettingsValues& values, const std::string& keyPath) {
    std::string out = "[" + keyPath + "]\n";
    for (const SettingsValue& value : values) {
        AppendQuoted(out, value.name);
        out += '=';
        if (const uint32_t* number = std::get_if<uint32_t>(&value.data)) {
            char digits[kDwordDigits + 1];
            snprintf(digits, sizeof digits, "%08x", *number);
            out += kDwordPrefix;
            out += digits;
        } else {
            AppendQuoted(out, std::get<std::string>(value.data));
        }
        out += '\n';
    }
    return out;
}

void SetSettingsValue(SettingsValues& values, const std::string& name,
                      std::variant<std::string, uint32_t> data) {
    for (SettingsValue& value : values) {
        if (value.name == name) {
            value.data = std::move(data);
            return;
        }
    }
    values.push_back(SettingsValue{name, std::move(data)});
}

const SettingsValue* FindSettingsValue(const SettingsValues& values, const std::string& name) {
    for (const SettingsValue& value : values) {
        if (value.name == name) return &value;
    }
    return nullptr;
}

}  // namespace platform
