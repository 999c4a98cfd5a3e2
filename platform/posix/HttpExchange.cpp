#include "platform/HttpExchange.h"

#include <curl/curl.h>

#include <algorithm>
#include <mutex>

namespace platform {

namespace {

// Transfers run on threads of their own; libcurl's global set-up is not
// thread-safe, so it is done once before the first handle.
void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct AnswerSink {
    std::string* body;
    size_t maxBytes;
};

size_t KeepAnswerStart(char* data, size_t size, size_t count, void* sinkPointer) {
    auto* sink = static_cast<AnswerSink*>(sinkPointer);
    const size_t bytes = size * count;
    const size_t room = sink->maxBytes - std::min(sink->body->size(), sink->maxBytes);
    sink->body->append(data, std::min(bytes, room));
    return bytes;
}

}  // namespace

HttpExchangeAnswer PerformHttpExchange(const HttpExchangeRequest& request) {
    HttpExchangeAnswer answer;
    InitCurlOnce();
    CURL* curl = curl_easy_init();
    if (!curl) return answer;
    curl_slist* headers = nullptr;
    for (const std::string& header : request.headers) {
        headers = curl_slist_append(headers, header.c_str());
    }
    AnswerSink sink{&answer.body, request.maxAnswerBytes};
    curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, request.connectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, request.totalTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, KeepAnswerStart);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    if (request.postBody) {
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.postBody->c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(request.postBody->size()));
    }
    const CURLcode result = curl_easy_perform(curl);
    answer.result = static_cast<int>(result);
    if (result != CURLE_OK) answer.failure = curl_easy_strerror(result);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return answer;
}

}  // namespace platform
