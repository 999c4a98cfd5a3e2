// The system resolver, IPv4 only.
#pragma once

#include <netinet/in.h>

#include <optional>
#include <string>

// The first IPv4 address the system gives for name.
std::optional<in_addr> LookUpIPv4(const std::string& name);

// The same in dotted form, or empty when the system knows no address.
std::string SystemLookupIPv4(const std::string& name);
