#include "telemetry/HttpPost.h"

#include "platform/CurlTransfer.h"

namespace telemetry {

namespace {
constexpr long kConnectTimeoutMs = 10000;
constexpr long kTotalTimeoutMs = 10000;
}  // namespace

int HttpPost(std::string& response, const std::string& url, const std::string& body) {
    platform::CurlRequest request;
    request.url = url;
    request.postBody = body;
    request.connectTimeoutMs = kConnectTimeoutMs;
    request.totalTimeoutMs = kTotalTimeoutMs;
    platform::CurlAnswer answer = platform::PerformCurl(request);
    response = std::move(answer.body);
    return answer.curlCode;
}

}  // namespace telemetry
