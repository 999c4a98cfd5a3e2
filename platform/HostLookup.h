// The system resolver, IPv4 only.
#pragma once

#include <netinet/in.h>

#include <optional>
#include <string>

namespace platform {

// The first IPv4 address the system gives for name.
std::optional<in_addr> LookUpIPv4(const std::string& name);

// An address in dotted form, e.g. "192.0.2.7".
std::string DottedIPv4(in_addr address);

}  // namespace platform
