#include "net/HttpDnsAnswer.h"

#include "platform/IPv4Address.h"

namespace {

std::string_view TrimBlanks(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n";
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace

std::string FirstAddressOfAnswer(std::string_view answer) {
    const size_t comma = answer.find(',');
    if (comma == std::string_view::npos) return {};
    const std::string_view list = answer.substr(0, comma);
    const std::string first(TrimBlanks(list.substr(0, list.find(';'))));
    return platform::ParseDottedIPv4(first) ? first : std::string();
}
