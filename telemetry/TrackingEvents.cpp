#include "telemetry/TrackingEvents.h"

#include <string>

#include "telemetry/HttpPost.h"

namespace telemetry {

namespace {

// A channel text as long as this in UTF-16 units did not fit the value's
// buffer on the launcher's original platform and was replaced by the default.
constexpr size_t kChannelCapacityUtf16 = 100;

size_t Utf16Length(const std::string& utf8) {
    size_t units = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) != 0x80) ++units;  // a character begins here
        if ((byte & 0xF8) == 0xF0) ++units;  // beyond the BMP: a surrogate pair
    }
    return units;
}

std::string ReadChannel(const platform::Services& services) {
    const std::unique_ptr<platform::ISettingsStore> store = services.openSettings();
    if (!store || !store->KeyExists()) return kDefaultChannel;
    const std::optional<std::string> channel = store->ReadString(kChannelValue);
    if (!channel || Utf16Length(*channel) >= kChannelCapacityUtf16) return kDefaultChannel;
    return *channel;
}

// The channel is free text: anything but unreserved characters is
// percent-encoded so that it cannot add or break form fields. Digits, the
// usual channel, pass unchanged.
std::string FormEncode(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool unreserved = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                                (c >= 'a' && c <= 'z') || c == '-' || c == '.' || c == '_' ||
                                c == '~';
        if (unreserved) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        }
    }
    return encoded;
}

void PostEvent(const platform::Services& services, int logType, const std::string& pid) {
    const std::string body =
        "logType=" + std::to_string(logType) + "&mac=" + services.macText() + "&pid=" + pid;
    std::string response;
    HttpPost(response, services.endpoints.statsUrl + kTrackingEventPath, body);
}

}  // namespace

void SendTrackingEvents(uint32_t installStartTick, const platform::Services& services) {
    const std::string channel = ReadChannel(services);
    // Unsigned 32-bit difference: correct across one wrap of the tick counter.
    const uint32_t elapsedMs = services.clock->TickMs() - installStartTick;
    const uint64_t elapsedSeconds = elapsedMs / 1000;
    PostEvent(services, 201, std::to_string(elapsedSeconds));
    PostEvent(services, 202, FormEncode(channel));
}

}  // namespace telemetry
