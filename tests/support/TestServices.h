// Services for tests: the system's, except a resolver that knows only dotted
// addresses, so that no test ever asks the machine's own name server.
#pragma once

#include <netinet/in.h>

#include <optional>
#include <string>

#include "platform/Services.h"

// The address of a dotted IPv4 text; nothing for any name.
std::optional<in_addr> DottedAddressOnly(const std::string& name);

platform::Services TestServices();
