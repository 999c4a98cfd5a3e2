// Fuzz target: a URL as the configuration or a server's Location gives it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "net/Url.h"
#include "tests/support/FuzzCheck.h"

namespace {

// Bytes that would split or bend the request line or the Host line.
bool IsLineBreaking(char c) {
    return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F;
}

void CheckParts(const HttpUrl& url) {
    FUZZ_CHECK(!url.host.empty() && url.port != 0);
    for (char c : url.host) {
        FUZZ_CHECK(!IsLineBreaking(c) && c != '/' && c != '?' && c != '#' && c != '@');
    }
    FUZZ_CHECK(url.target.starts_with('/'));
    for (char c : url.target) FUZZ_CHECK(!IsLineBreaking(c) && c != '#');
    // Dot segments are resolved in the path.
    const std::string_view path = std::string_view(url.target).substr(0, url.target.find('?'));
    for (std::string_view dot : {"/./", "/../"}) FUZZ_CHECK(path.find(dot) == std::string::npos);
    FUZZ_CHECK(!path.ends_with("/.") && !path.ends_with("/.."));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::optional<HttpUrl> url = ParseHttpUrl(input);
    if (!url) return 0;
    CheckParts(*url);
    // The parts printed back as a URL parse to the same parts.
    const std::string printed =
        "http://" + url->host + ":" + std::to_string(url->port) + url->target;
    const std::optional<HttpUrl> again = ParseHttpUrl(printed);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(again->host == url->host && again->port == url->port &&
               again->target == url->target);
    return 0;
}
