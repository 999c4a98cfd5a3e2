// One blocking HTTP exchange through libcurl, which stands in for the
// platform's own HTTP stack: the launcher's reports and its HTTP-DNS query.
// Proxies come from the environment as libcurl reads them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct CurlRequest {
    std::string url;
    std::optional<std::string> postBody;  // a form POST when set, else a GET
    std::vector<std::string> headers;     // whole lines without the line end
    long connectTimeoutMs = 10000;
    long totalTimeoutMs = 10000;
    // Answer bytes kept; the rest is received and dropped.
    size_t maxAnswerBytes = static_cast<size_t>(-1);
};

struct CurlAnswer {
    int curlCode = -1;  // libcurl's result (0: a completed transfer); -1: no handle
    long status = 0;    // the HTTP status, 0 when none arrived
    std::string body;
};

CurlAnswer PerformCurl(const CurlRequest& request);

}  // namespace platform
