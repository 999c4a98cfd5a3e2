#include "telemetry/HttpPost.h"

#include <curl/curl.h>

#include <mutex>
#include <string>

namespace telemetry {

namespace {

// Reports run on threads of their own; libcurl's global set-up is not
// thread-safe, so it is done once before the first handle.
void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

size_t AppendToResponse(char* data, size_t size, size_t count, void* response) {
    const size_t bytes = size * count;
    if (bytes != 0) static_cast<std::string*>(response)->append(data, bytes);
    return bytes;
}

}  // namespace

int HttpPost(std::string& response, const std::string& url, const std::string& body) {
    response.clear();
    InitCurlOnce();
    CURL* curl = curl_easy_init();
    if (!curl) return -1;
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 10L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendToResponse);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &response);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    const CURLcode result = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    return static_cast<int>(result);
}

}  // namespace telemetry
