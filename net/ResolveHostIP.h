// Turns the host of a server URL into an IPv4 address text once at start-up:
// the system resolver first, then the HTTP-DNS service. What a failure means
// for the run is the caller's business.
#pragma once

#include <string>

#include "platform/Services.h"

struct HostResolution {
    enum class Kind {
        Address,  // address holds a dotted IPv4 address
        ByName,   // the host is to be resolved by name when connecting
        Failed,   // neither the system nor the service answered; see reason
    };
    Kind kind = Kind::ByName;
    std::string address;
    std::string reason;
};

// Uses the system resolver of services, then the HTTP-DNS service at
// services.endpoints.httpDnsEndpoint ("address" or "address:port").
HostResolution ResolveHostIP(const std::string& url, const platform::Services& services);
