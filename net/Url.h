// Splits an absolute URL into what an HTTP request needs: the host to connect
// to, the port and the request target.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct HttpUrl {
    bool secure = false;  // https: the request goes over TLS
    std::string host;     // without port and user name
    uint16_t port = 0;    // the explicit port, else the scheme's default
    std::string target;   // path and query, canonical; never empty, no fragment
};

// Accepts "scheme://[user@]host[:port][/path][?query][#fragment]" for http and
// https. The path is canonicalised the way browsers do: characters not allowed
// in a URL are percent-encoded and "." and ".." segments are resolved. The
// query is kept as written except that blanks, control and non-ASCII bytes are
// percent-encoded, so the request line can never be split. Returns nothing for
// a URL without scheme, with an unknown scheme, a bad port, or a host that is
// empty or holds blanks or control bytes.
std::optional<HttpUrl> ParseHttpUrl(std::string_view url);
