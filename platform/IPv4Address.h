// An IPv4 address as a value, and its dotted text.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

struct IPv4Address {
    // In network order: 192.0.2.7 is {192, 0, 2, 7}.
    std::array<uint8_t, 4> octets{};

    friend bool operator==(const IPv4Address&, const IPv4Address&) = default;
};

// What a text that names no address stands for: its connect fails.
inline constexpr IPv4Address kNoIPv4Address{{255, 255, 255, 255}};

// Four decimal numbers from 0 to 255 joined by dots, with no leading zeros,
// blanks or anything else; nothing for any other text.
std::optional<IPv4Address> ParseDottedIPv4(std::string_view text);

// "192.0.2.7".
std::string DottedIPv4(const IPv4Address& address);

}  // namespace platform
