// The machine's network interfaces with their hardware addresses, in the
// system's enumeration order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

inline constexpr unsigned kHardwareTypeEthernet = 1;  // ARPHRD_ETHER

struct NetworkInterface {
    std::string name;
    unsigned hardwareType = 0;  // ARPHRD_* of the interface
    bool isWireless = false;
    bool isLoopback = false;
    std::vector<uint8_t> address;
};

// Every interface that has a link-layer address; empty when none can be listed.
std::vector<NetworkInterface> ListNetworkInterfaces();

}  // namespace platform
