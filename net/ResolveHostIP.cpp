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

struct QueryOutcome {
    bool reached = false;               // the service answered at all
    std::optional<std::string> answer;  // its text, when the status was 200
};

QueryOutcome QueryOnce(const std::string& queryUrl) {
    QueryOutcome outcome;
    CURL* curl = curl_easy_init();
    if (!curl) return outcome;
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
    outcome.reached = code == CURLE_OK;
    if (outcome.reached && status == 200) outcome.answer = std::move(answer);
    return outcome;
}

// A service that cannot be reached is tried once more after a pause, as the
// platform's HTTP stack retried its connect; an answer other than 200 is final.
std::optional<std::string> QueryHttpDns(const std::string& endpoint, const std::string& host) {
    const std::string queryUrl = "http://" + endpoint + "/d?dn=" + host + ".&ttl=1";
    QueryOutcome outcome = QueryOnce(queryUrl);
    if (!outcome.reached) {
        sleep(kRetryPauseSeconds);
        outcome = QueryOnce(queryUrl);
    }
    return outcome.answer;
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
