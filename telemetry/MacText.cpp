#include "telemetry/MacText.h"

#include <cstdio>

namespace telemetry {

std::string FirstEthernetMacText(const std::vector<platform::NetworkInterface>& interfaces) {
    for (const platform::NetworkInterface& interface : interfaces) {
        if (interface.hardwareType != platform::kHardwareTypeEthernet || interface.isLoopback ||
            interface.isWireless) {
            continue;
        }
        std::string text;
        for (const uint8_t byte : interface.address) {
            char digits[3];
            std::snprintf(digits, sizeof digits, "%02X", byte);
            text += digits;
        }
        return text;
    }
    return std::string();
}

MacTextCache::MacTextCache(InterfaceLister listInterfaces)
    : m_listInterfaces(std::move(listInterfaces)) {}

std::string MacTextCache::Get() {
    MutexLock lock(m_mutex);
    if (m_text.empty()) m_text = FirstEthernetMacText(m_listInterfaces());
    return m_text;
}

std::string GetMacText() {
    // Never destroyed: a report thread may still ask while the process exits.
    static auto* cache = new MacTextCache(platform::ListNetworkInterfaces);
    return cache->Get();
}

}  // namespace telemetry
