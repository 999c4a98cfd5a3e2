#pragma once

#include <cstdint>

namespace platform {

// Milliseconds of a monotonic clock, wrapping at 2^32 like a tick counter.
uint32_t TickCountMs();
void SleepMs(unsigned milliseconds);

}  // namespace platform
