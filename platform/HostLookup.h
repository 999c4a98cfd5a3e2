// The system resolver, IPv4 only.
#pragma once

#include <optional>
#include <string>

#include "platform/IPv4Address.h"

namespace platform {

// The first IPv4 address the system gives for name.
std::optional<IPv4Address> LookUpIPv4(const std::string& name);

}  // namespace platform
