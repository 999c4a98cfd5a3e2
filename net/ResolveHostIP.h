// Turns the host of a server URL into an IPv4 address text once at start-up:
// the system resolver first, then the HTTP-DNS service. When both fail the
// player is told and the controller hands over with failure.
#pragma once

#include <functional>
#include <string>

#include "net/IHandOver.h"

struct ResolveOptions {
    // Returns the first IPv4 address of host in dotted form, or empty.
    std::function<std::string(const std::string& host)> systemLookup;
    // The HTTP-DNS service: "address" or "address:port" (port 80 by default).
    std::string endpoint;
    // Shows a modal message and returns once it has been dismissed.
    std::function<void(const std::string& text)> showMessage;
};

// The system resolver, the build's endpoint and the platform's message box.
ResolveOptions DefaultResolveOptions();

// Returns a dotted IPv4 address, or empty when the host is to be resolved by
// name when connecting (the service gave no usable address).
std::string ResolveHostIP(IHandOver& controller, const std::string& url,
                          const ResolveOptions& options = DefaultResolveOptions());
