#include "tests/support/TestServices.h"

std::optional<platform::IPv4Address> DottedAddressOnly(const std::string& name) {
    return platform::ParseDottedIPv4(name);
}

platform::Services TestServices() {
    platform::Services services = platform::SystemServices({});
    services.lookUpIPv4 = DottedAddressOnly;
    return services;
}
