#include "platform/IPv4Address.h"

namespace platform {

std::optional<IPv4Address> ParseDottedIPv4(std::string_view text) {
    IPv4Address address;
    size_t octet = 0;
    size_t at = 0;
    while (true) {
        const size_t start = at;
        unsigned value = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 3) {
            value = value * 10 + static_cast<unsigned>(text[at] - '0');
            ++at;
        }
        const size_t digits = at - start;
        if (digits == 0 || value > 255 || (digits > 1 && text[start] == '0')) return std::nullopt;
        address.octets[octet++] = static_cast<uint8_t>(value);
        if (octet == address.octets.size()) break;
        if (at >= text.size() || text[at] != '.') return std::nullopt;
        ++at;
    }
    return at == text.size() ? std::optional(address) : std::nullopt;
}

std::string DottedIPv4(const IPv4Address& address) {
    std::string text;
    for (size_t i = 0; i < address.octets.size(); ++i) {
        if (i > 0) text += '.';
        text += std::to_string(address.octets[i]);
    }
    return text;
}

}  // namespace platform
