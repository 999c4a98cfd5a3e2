// One blocking HTTP exchange through the system's HTTP stack (libcurl on
// Linux): the launcher's reports and its HTTP-DNS query. Proxies come from the
// system's settings (on Linux the environment, as libcurl reads it).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct HttpExchangeRequest {
    std::string url;
    std::optional<std::string> postBody;  // a form POST when set, else a GET
    std::vector<std::string> headers;     // whole lines without the line end
    long connectTimeoutMs = 10000;
    long totalTimeoutMs = 10000;
    // Answer bytes kept; the rest is received and dropped.
    size_t maxAnswerBytes = static_cast<size_t>(-1);
};

struct HttpExchangeAnswer {
    // The stack's result: 0 for a completed exchange, whatever its status;
    // -1 when none could be started.
    int result = -1;
    std::string failure;  // the stack's words for a result other than 0
    long status = 0;      // the HTTP status, 0 when none arrived
    std::string body;
};

HttpExchangeAnswer PerformHttpExchange(const HttpExchangeRequest& request);

}  // namespace platform
