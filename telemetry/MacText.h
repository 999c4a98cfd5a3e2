// The MAC text that reports carry: the hardware address of the first wired
// Ethernet interface as upper-case hex digits without separators.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/NetworkInterfaces.h"
#include "support/Mutex.h"

namespace telemetry {

// The text of the first Ethernet interface that is neither loopback nor
// wireless; empty when there is none.
std::string FirstEthernetMacText(const std::vector<platform::NetworkInterface>& interfaces);

// Looks the text up once it has been found; while none has been found, every
// call looks again. Safe to call from any thread.
class MacTextCache {
public:
    using InterfaceLister = std::function<std::vector<platform::NetworkInterface>()>;
    explicit MacTextCache(InterfaceLister listInterfaces);
    std::string Get();

private:
    const InterfaceLister m_listInterfaces;
    Mutex m_mutex;  // taken by every caller; guards m_text and serialises look-ups
    std::string m_text GUARDED_BY(m_mutex);  // empty until an Ethernet interface has been found
};

// The process-wide cache over the system's interfaces.
std::string GetMacText();

}  // namespace telemetry
