// Services for tests: the system's, except a resolver that knows only dotted
// addresses, so that no test ever asks the machine's own name server.
#pragma once

#include <optional>
#include <string>

#include "platform/Services.h"

// The address of a dotted IPv4 text; nothing for any name.
std::optional<platform::IPv4Address> DottedAddressOnly(const std::string& name);

platform::Services TestServices();
