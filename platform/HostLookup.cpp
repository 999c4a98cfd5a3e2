#include "platform/HostLookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

namespace platform {

std::optional<in_addr> LookUpIPv4(const std::string& name) {
    if (name.empty()) return std::nullopt;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* answer = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &answer) != 0) return std::nullopt;
    const in_addr address = reinterpret_cast<const sockaddr_in*>(answer->ai_addr)->sin_addr;
    freeaddrinfo(answer);
    return address;
}

std::string DottedIPv4(in_addr address) {
    char dotted[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, dotted, sizeof dotted);
    return dotted;
}

}  // namespace platform
