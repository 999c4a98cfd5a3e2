#include "net/ResolveHostIP.h"

#include "net/HttpDnsAnswer.h"
#include "net/Url.h"
#include "platform/HttpExchange.h"

namespace {

constexpr long kConnectTimeoutMs = 5000;
// Guards against a service that accepts the connection and then says nothing.
constexpr long kTransferTimeoutMs = 30000;
constexpr unsigned kRetryPauseMs = 1000;
constexpr size_t kMaxHostChars = 255;
constexpr size_t kMaxAnswerBytes = 3999;
constexpr const char* kAcceptHeader =
    "Accept: audio/x-aiff, audio/basic, audio/midi,\t\t\t\t\t\t\t"
    "audio/mpeg, audio/wav, image/jpeg, image/gif, image/jpg, image/png,\t\t\t\t\t\t\t"
    "image/mng, image/bmp, text/plain, text/html, text/htm";

platform::HttpExchangeAnswer QueryOnce(const std::string& queryUrl) {
    platform::HttpExchangeRequest request;
    request.url = queryUrl;
    request.headers = {kAcceptHeader};
    request.connectTimeoutMs = kConnectTimeoutMs;
    request.totalTimeoutMs = kTransferTimeoutMs;
    request.maxAnswerBytes = kMaxAnswerBytes;
    return platform::PerformHttpExchange(request);
}

// A service that cannot be reached is tried once more after a pause, as the
// platform's HTTP stack retried its connect; an answer other than 200 is final.
HostResolution QueryHttpDns(const std::string& host, const platform::Services& services) {
    const std::string queryUrl =
        "http://" + services.endpoints.httpDnsEndpoint + "/d?dn=" + host + ".&ttl=1";
    platform::HttpExchangeAnswer answer = QueryOnce(queryUrl);
    if (answer.result != 0) {
        services.clock->SleepMs(kRetryPauseMs);
        answer = QueryOnce(queryUrl);
    }
    HostResolution resolution;
    if (answer.result != 0) {
        resolution.kind = HostResolution::Kind::Failed;
        resolution.reason = "HTTP-DNS not reached: " + answer.failure;
    } else if (answer.status != 200) {
        resolution.kind = HostResolution::Kind::Failed;
        resolution.reason = "HTTP-DNS answered " + std::to_string(answer.status);
    } else if (std::string address = FirstAddressOfAnswer(answer.body); !address.empty()) {
        resolution.kind = HostResolution::Kind::Address;
        resolution.address = std::move(address);
    }
    return resolution;
}

}  // namespace

HostResolution ResolveHostIP(const std::string& url, const platform::Services& services) {
    const std::optional<HttpUrl> parsed = ParseHttpUrl(url);
    // Nothing to look up; the download reports the bad URL itself.
    if (!parsed || parsed->host.size() > kMaxHostChars) return {};

    if (const std::optional<platform::IPv4Address> found = services.lookUpIPv4(parsed->host)) {
        return HostResolution{HostResolution::Kind::Address, platform::DottedIPv4(*found), ""};
    }
    return QueryHttpDns(parsed->host, services);
}
