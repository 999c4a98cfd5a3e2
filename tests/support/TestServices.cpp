#include "tests/support/TestServices.h"

#include <arpa/inet.h>

std::optional<in_addr> DottedAddressOnly(const std::string& name) {
    in_addr address{};
    if (inet_pton(AF_INET, name.c_str(), &address) != 1) return std::nullopt;
    return address;
}

platform::Services TestServices() {
    platform::Services services = platform::SystemServices({});
    services.lookUpIPv4 = DottedAddressOnly;
    return services;
}
