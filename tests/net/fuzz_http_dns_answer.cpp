// Fuzz target: the HTTP-DNS service's answer body.
#include <arpa/inet.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/HttpDnsAnswer.h"
#include "tests/support/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string address = FirstAddressOfAnswer(input);
    if (address.empty()) return 0;
    // Only a dotted IPv4 address that stands in the list before the comma is
    // ever handed to the connect step.
    in_addr parsed{};
    FUZZ_CHECK(inet_pton(AF_INET, address.c_str(), &parsed) == 1);
    FUZZ_CHECK(address.find_first_not_of("0123456789.") == std::string::npos);
    const size_t found = input.find(address);
    FUZZ_CHECK(found != std::string_view::npos && found < input.find(','));
    return 0;
}
