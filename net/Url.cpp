#include "net/Url.h"

#include <algorithm>
#include <vector>

namespace {

bool IsAsciiAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return lower;
}

std::optional<uint16_t> DefaultPort(std::string_view scheme) {
    const std::string lower = LowerAscii(scheme);
    if (lower == "http") return 80;
    if (lower == "https") return 443;
    return std::nullopt;
}

bool IsValidScheme(std::string_view scheme) {
    if (scheme.empty() || !IsAsciiAlpha(scheme.front())) return false;
    return std::all_of(scheme.begin(), scheme.end(), [](char c) {
        return IsAsciiAlpha(c) || IsAsciiDigit(c) || c == '+' || c == '-' || c == '.';
    });
}

// Bytes that would end or split a header line.
bool IsBlankOrControl(unsigned char c) {
    return c <= 0x20 || c == 0x7F;
}

// Bytes that can never stand in a request line.
bool IsUnsafeByte(unsigned char c) {
    return IsBlankOrControl(c) || c >= 0x80;
}

// Characters a browser escapes in a path besides the unsafe bytes.
bool IsPathDelimiter(char c) {
    switch (c) {
        case '"':
        case '<':
        case '>':
        case '\\':
        case '^':
        case '`':
        case '{':
        case '|':
        case '}':
            return true;
        default:
            return false;
    }
}

std::string PercentEncode(std::string_view text, bool (*mustEncode)(char)) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (mustEncode(c)) {
            const auto byte = static_cast<unsigned char>(c);
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

// Resolves "." and ".." segments; the path always starts with "/".
std::string RemoveDotSegments(std::string_view path) {
    std::vector<std::string_view> segments;
    size_t start = 1;
    bool endsInDirectory = false;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string_view::npos) slash = path.size();
        const std::string_view segment = path.substr(start, slash - start);
        const bool last = slash == path.size();
        if (segment == ".") {
            endsInDirectory = last;
        } else if (segment == "..") {
            if (!segments.empty()) segments.pop_back();
            endsInDirectory = last;
        } else {
            segments.push_back(segment);
            endsInDirectory = false;
        }
        start = slash + 1;
    }
    std::string out;
    for (std::string_view segment : segments) {
        out += '/';
        out += segment;
    }
    if (out.empty() || endsInDirectory) out += '/';
    return out;
}

std::string_view TrimControlAndBlanks(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 0x20) text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 0x20) text.remove_suffix(1);
    return text;
}

std::optional<uint16_t> ParsePort(std::string_view text) {
    if (text.empty() || text.size() > 5) return std::nullopt;
    unsigned value = 0;
    for (char c : text) {
        if (!IsAsciiDigit(c)) return std::nullopt;
        value = value * 10 + unsigned(c - '0');
    }
    if (value == 0 || value > 65535) return std::nullopt;
    return static_cast<uint16_t>(value);
}

}  // namespace

std::optional<HttpUrl> ParseHttpUrl(std::string_view url) {
    url = TrimControlAndBlanks(url);
    const size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string_view::npos) return std::nullopt;
    const std::string_view scheme = url.substr(0, schemeEnd);
    if (!IsValidScheme(scheme)) return std::nullopt;
    const std::optional<uint16_t> defaultPort = DefaultPort(scheme);
    if (!defaultPort) return std::nullopt;

    std::string_view rest = url.substr(schemeEnd + 3);
    const size_t authorityEnd = std::min(rest.find_first_of("/?#"), rest.size());
    std::string_view authority = rest.substr(0, authorityEnd);
    rest.remove_prefix(authorityEnd);
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
    }

    HttpUrl parsed;
    parsed.secure = LowerAscii(scheme) == "https";
    parsed.port = *defaultPort;
    // A bracketed IPv6 literal keeps its colons; the port follows the bracket.
    const size_t hostEnd = authority.starts_with('[') ? authority.find(']') : 0;
    const size_t colon = authority.find(':', hostEnd == std::string_view::npos ? 0 : hostEnd);
    if (colon != std::string_view::npos) {
        const std::string_view portText = authority.substr(colon + 1);
        if (!portText.empty()) {
            const std::optional<uint16_t> port = ParsePort(portText);
            if (!port) return std::nullopt;
            parsed.port = *port;
        }
        authority = authority.substr(0, colon);
    }
    // The host goes to the Host line as it is: a line break in it would let a
    // Location add header lines of its own.
    if (authority.empty() || std::any_of(authority.begin(), authority.end(), [](char c) {
            return IsBlankOrControl(static_cast<unsigned char>(c));
        })) {
        return std::nullopt;
    }
    parsed.host = std::string(authority);

    rest = rest.substr(0, std::min(rest.find('#'), rest.size()));
    const size_t queryStart = std::min(rest.find('?'), rest.size());
    std::string_view path = rest.substr(0, queryStart);
    const std::string_view query = rest.substr(queryStart);

    const std::string encodedPath = PercentEncode(path, [](char c) {
        return IsUnsafeByte(static_cast<unsigned char>(c)) || IsPathDelimiter(c);
    });
    parsed.target = RemoveDotSegments(encodedPath.empty() ? "/" : encodedPath);
    parsed.target +=
        PercentEncode(query, [](char c) { return IsUnsafeByte(static_cast<unsigned char>(c)); });
    return parsed;
}
