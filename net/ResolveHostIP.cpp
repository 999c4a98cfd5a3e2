#include "net/ResolveHostIP.h"

#include <curl/curl.h>
#include <unistd.h>

#include <algorithm>
#include <optional>

#include "net/HttpDnsAnswer.h"
#include "net/Url.h"

namespace {

constexpr const char* kFailureMessage = "d+ get ip error";
constexpr long kConnectTimeoutMs = 5000;
// Guards against a service that accepts the connection and then says nothing.
constexpr long kTransferTimeoutMs = 30000;
constexpr unsigned kRetryPauseSeconds = 1;
constexpr size_t kMaxHostChars = 255;
constexpr size_t kMaxAnswerBytes = 3999;
constexpr const char* kAcceptHeader =
    "Accept: audio/x-aiff, audio/basic, audio/midi,\t\t\t\t\t\t\t"
    "audio/mpeg, audio/wav, image/jpeg, image/gif, image/jpg, image/png,\t\t\t\t\t\t\t"
    "image/mng, image/bmp, text/plain, text/html, text/htm";

size_t KeepAnswerStart(char* data, size_t size, size_t count, void* answer) {
    auto* text = static_cast<std::string*>(answer);
    const size_t bytes = size * count;
    text->append(data, std::min(bytes, kMaxAnswerBytes - std::min(text->size(), kMaxAnswerBytes)));
    return bytes;
}

// The service's answer text, or nothing when the query failed.
std::optional<std::string> QueryOnce(const std::string& queryUrl) {
    CURL* curl = curl_easy_init();
    if (!curl) return std::nullopt;
    curl_slist* headers = curl_slist_append(nullptr, kAcceptHeader);
    std::string answer;
    curl_easy_setopt(curl, CURLOPT_URL, queryUrl.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, kTransferTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, KeepAnswerStart);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
    const CURLcode code = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    if (code != CURLE_OK || status != 200) return std::nullopt;
    return answer;
}

// One retry after a pause, as the platform's HTTP stack did for its connect.
std::optional<std::string> QueryHttpDns(const std::string& endpoint, const std::string& host) {
    const std::string queryUrl = "http://" + endpoint + "/d?dn=" + host + ".&ttl=1";
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt > 0) sleep(kRetryPauseSeconds);
        if (std::optional<std::string> answer = QueryOnce(queryUrl)) return answer;
    }
    return std::nullopt;
}

}  // namespace

std::string ResolveHostIP(IHandOver& controller, const std::string& url,
                          const ResolveOptions& options) {
    const std::optional<HttpUrl> parsed = ParseHttpUrl(url);
    // Nothing to look up; the download reports the bad URL itself.
    if (!parsed || parsed->host.size() > kMaxHostChars) return {};

    std::string address = options.systemLookup(parsed->host);
    if (!address.empty()) return address;

    const std::optional<std::string> answer = QueryHttpDns(options.endpoint, parsed->host);
    if (!answer) {
        options.showMessage(kFailureMessage);
        controller.Finish(true);
        return {};
    }
    return FirstAddressOfAnswer(*answer);
}
