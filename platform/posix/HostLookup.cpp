#include "platform/HostLookup.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

namespace platform {

std::optional<IPv4Address> LookUpIPv4(const std::string& name) {
    if (name.empty()) return std::nullopt;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* answer = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &answer) != 0) return std::nullopt;
    const in_addr found = reinterpret_cast<const sockaddr_in*>(answer->ai_addr)->sin_addr;
    freeaddrinfo(answer);
    IPv4Address address;
    static_assert(sizeof found.s_addr == sizeof address.octets);
    std::memcpy(address.octets.data(), &found.s_addr, sizeof found.s_addr);
    return address;
}

}  // namespace platform
