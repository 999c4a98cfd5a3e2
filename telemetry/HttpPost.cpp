#include "telemetry/HttpPost.h"

#include "platform/HttpExchange.h"

namespace telemetry {

namespace {
constexpr long kConnectTimeoutMs = 10000;
constexpr long kTotalTimeoutMs = 10000;
}  // namespace

int HttpPost(std::string& response, const std::string& url, const std::string& body) {
    platform::HttpExchangeRequest request;
    request.url = url;
    request.postBody = body;
    request.connectTimeoutMs = kConnectTimeoutMs;
    request.totalTimeoutMs = kTotalTimeoutMs;
    platform::HttpExchangeAnswer answer = platform::PerformHttpExchange(request);
    response = std::move(answer.body);
    return answer.result;
}

}  // namespace telemetry
