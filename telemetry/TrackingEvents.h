// The two tracking events of a run that installed the game: 201 with the
// seconds from the install decision to the package's start, 202 with the
// installation's distribution channel.
#pragma once

#include <cstdint>

#include "platform/Services.h"

namespace telemetry {

inline constexpr const char* kTrackingEventPath = "/data/doEventTrackAction.do";
// REG_SZ in the game's key.
inline constexpr const char* kChannelValue = "QuorvaneChannelNum";
inline constexpr const char* kDefaultChannel = "10000";

// The body of the reporting thread, which the caller starts detached right
// after the install package has started, and only when installStartTick (the
// tick of the install decision) is not 0. Sends both events once, each
// whatever became of the other; their results are not read.
void SendTrackingEvents(uint32_t installStartTick, const platform::Services& services);

}  // namespace telemetry
