#include "net/HttpDnsAnswer.h"

#include <arpa/inet.h>

namespace {

std::string_view TrimBlanks(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n";
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// inet_pton reads up to the first zero byte, so one inside the text would let
// what follows it through.
bool IsDottedIPv4(const std::string& text) {
    in_addr ignored{};
    return text.find('\0') == std::string::npos && inet_pton(AF_INET, text.c_str(), &ignored) == 1;
}

}  // namespace

std::string FirstAddressOfAnswer(std::string_view answer) {
    const size_t comma = answer.find(',');
    if (comma == std::string_view::npos) return {};
    const std::string_view list = answer.substr(0, comma);
    const std::string first(TrimBlanks(list.substr(0, list.find(';'))));
    return IsDottedIPv4(first) ? first : std::string();
}
