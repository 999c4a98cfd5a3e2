// Reads what the HTTP client needs from a complete response head: the bytes
// from the status line up to and including the blank line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A longer head is refused before it is parsed.
inline constexpr size_t kMaxHeadBytes = 1024;
// Longest Content-Length value and Location taken from a server.
inline constexpr size_t kMaxContentLengthDigits = 29;
inline constexpr size_t kMaxLocationChars = 255;

enum class HeadProblem {
    None,
    TooLong,                    // more than kMaxHeadBytes
    BadStatusLine,              // no "HTTP/x.y NNN" first line
    BadContentLength,           // not a plain decimal count, too long, or two that differ
    UnsupportedTransferCoding,  // a Transfer-Encoding other than a single "chunked"
};

struct ResponseHead {
    HeadProblem problem = HeadProblem::None;
    int status = 0;                       // three-digit status code; 0 when unreadable
    int64_t contentLength = -1;           // -1 when the head gives none
    bool chunked = false;                 // body uses the chunked transfer coding
    bool connectionClose = false;         // the server closes the connection after this answer
    std::optional<std::string> location;  // present, not empty, at most kMaxLocationChars
    std::optional<int64_t> rangeFirst;    // first byte of a "bytes a-b/c" Content-Range
};

// Header names are matched without regard to case; blanks around values are
// not part of them. Unknown headers are ignored.
ResponseHead ParseResponseHead(std::string_view head);
