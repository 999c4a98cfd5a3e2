// What a report needs from its surroundings. The defaults are the live ones;
// tests point them at stand-ins.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "BuildConstants.h"
#include "platform/Clock.h"
#include "platform/SettingsStore.h"
#include "telemetry/MacText.h"

namespace telemetry {

struct ReportContext {
    // Scheme and host of the statistics service, with an optional port.
    std::string statsUrl = build::kStatsUrl;
    // The game's per-user settings key; null when it cannot be opened.
    std::function<std::unique_ptr<platform::ISettingsStore>()> openSettings = [] {
        return platform::OpenUserSettings();
    };
    std::function<std::string()> macText = GetMacText;
    std::function<uint32_t()> tickCount = platform::TickCountMs;
};

}  // namespace telemetry
