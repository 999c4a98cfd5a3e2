// A loopback TCP port nobody listens on right now: for servers the tests
// start, and for addresses that must refuse connections.
#pragma once

#include <cstdint>

// Throws when the system hands out no port.
uint16_t UnusedLoopbackPort();
