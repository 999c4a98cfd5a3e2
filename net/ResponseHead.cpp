#include "net/ResponseHead.h"

#include <limits>

#include "net/HttpCharacters.h"

namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// A non-negative decimal count that fits in int64_t, digits only.
std::optional<int64_t> ParseCount(std::string_view text, size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) return std::nullopt;
    int64_t value = 0;
    for (char c : text) {
        if (!IsDigit(c)) return std::nullopt;
        const int digit = c - '0';
        if (value > (std::numeric_limits<int64_t>::max() - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

// "HTTP/1.1 200 OK", "HTTP/1.0 404", ...: the code is the second token, 100 to 999.
int ParseStatusLine(std::string_view line) {
    if (!line.starts_with("HTTP/")) return 0;
    const size_t firstSpace = line.find(' ');
    if (firstSpace == std::string_view::npos) return 0;
    std::string_view code = line.substr(firstSpace + 1);
    code = code.substr(0, code.find(' '));
    if (code.size() != 3 || code[0] < '1' || code[0] > '9' || !IsDigit(code[1]) ||
        !IsDigit(code[2])) {
        return 0;
    }
    return (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0');
}

// "bytes first-last/complete" or "bytes first-last/*".
std::optional<int64_t> ParseContentRangeFirst(std::string_view value) {
    constexpr std::string_view kUnit = "bytes ";
    if (value.size() < kUnit.size() || !EqualsIgnoreCase(value.substr(0, kUnit.size()), kUnit)) {
        return std::nullopt;
    }
    value = TrimBlanks(value.substr(kUnit.size()));
    const size_t dash = value.find('-');
    const size_t slash = value.find('/');
    if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash) {
        return std::nullopt;
    }
    constexpr size_t kMaxDigits = 19;
    const std::optional<int64_t> first = ParseCount(value.substr(0, dash), kMaxDigits);
    const std::optional<int64_t> last =
        ParseCount(value.substr(dash + 1, slash - dash - 1), kMaxDigits);
    const std::string_view complete = value.substr(slash + 1);
    if (!first || !last || *last < *first) return std::nullopt;
    if (complete != "*") {
        const std::optional<int64_t> total = ParseCount(complete, kMaxDigits);
        if (!total || *total <= *last) return std::nullopt;
    }
    return first;
}

bool HasCloseToken(std::string_view value) {
    while (!value.empty()) {
        const size_t comma = value.find(',');
        if (EqualsIgnoreCase(TrimBlanks(value.substr(0, comma)), "close")) return true;
        if (comma == std::string_view::npos) break;
        value.remove_prefix(comma + 1);
    }
    return false;
}

class HeaderReader {
public:
    explicit HeaderReader(ResponseHead& head) : m_head(head) {}

    void Read(std::string_view name, std::string_view value) {
        if (EqualsIgnoreCase(name, "Content-Length")) {
            ReadContentLength(value);
        } else if (EqualsIgnoreCase(name, "Transfer-Encoding")) {
            ++m_transferEncodings;
            m_head.chunked = EqualsIgnoreCase(value, "chunked");
        } else if (EqualsIgnoreCase(name, "Location")) {
            if (!m_head.location && !value.empty() && value.size() <= kMaxLocationChars) {
                m_head.location = std::string(value);
            }
        } else if (EqualsIgnoreCase(name, "Content-Range")) {
            if (!m_head.rangeFirst) m_head.rangeFirst = ParseContentRangeFirst(value);
        } else if (EqualsIgnoreCase(name, "Connection")) {
            m_head.connectionClose = m_head.connectionClose || HasCloseToken(value);
        }
    }

    void Finish() {
        if (m_transferEncodings > 1 || (m_transferEncodings == 1 && !m_head.chunked)) {
            m_head.chunked = false;
            Fail(HeadProblem::UnsupportedTransferCoding);
        }
        // The chunked framing says where the body ends; a length beside it is void.
        if (m_head.chunked) m_head.contentLength = -1;
    }

private:
    void ReadContentLength(std::string_view value) {
        const std::optional<int64_t> length = ParseCount(value, kMaxContentLengthDigits);
        if (!length || (m_head.contentLength >= 0 && *length != m_head.contentLength)) {
            Fail(HeadProblem::BadContentLength);
            return;
        }
        m_head.contentLength = *length;
    }

    void Fail(HeadProblem problem) {
        if (m_head.problem == HeadProblem::None) m_head.problem = problem;
    }

    ResponseHead& m_head;
    int m_transferEncodings = 0;
};

}  // namespace

ResponseHead ParseResponseHead(std::string_view head) {
    ResponseHead parsed;
    if (head.size() > kMaxHeadBytes) {
        parsed.problem = HeadProblem::TooLong;
        return parsed;
    }
    size_t lineEnd = head.find("\r\n");
    parsed.status = ParseStatusLine(head.substr(0, lineEnd));
    if (parsed.status == 0) {
        parsed.problem = HeadProblem::BadStatusLine;
        return parsed;
    }

    HeaderReader reader(parsed);
    while (lineEnd != std::string_view::npos) {
        const size_t lineStart = lineEnd + 2;
        lineEnd = head.find("\r\n", lineStart);
        const std::string_view line = head.substr(lineStart, lineEnd - lineStart);
        const size_t colon = line.find(':');
        // Folded continuation lines and lines without a name carry nothing we use.
        if (line.empty() || IsBlank(line.front()) || colon == std::string_view::npos) continue;
        reader.Read(line.substr(0, colon), TrimBlanks(line.substr(colon + 1)));
    }
    reader.Finish();
    return parsed;
}
