// Reads the HTTP-DNS service's answer: "address[;address...],ttl".
#pragma once

#include <string>
#include <string_view>

// The first address of the list, when it is a dotted IPv4 address; else empty.
std::string FirstAddressOfAnswer(std::string_view answer);
