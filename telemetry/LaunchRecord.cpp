#include "telemetry/LaunchRecord.h"

#include <system_error>
#include <thread>

#include "telemetry/HttpPost.h"

namespace telemetry {

namespace {

bool RecordDeliveredBefore(const platform::Services& services) {
    const std::unique_ptr<platform::ISettingsStore> store = services.openSettings();
    if (!store) return false;
    if (!store->KeyExists()) {
        store->CreateKey();
        return false;
    }
    return store->ReadDword(kReportSignValue).value_or(0) != 0;
}

// A store that cannot be written only loses the flag: the next start reports again.
void MarkRecordDelivered(const platform::Services& services) {
    const std::unique_ptr<platform::ISettingsStore> store = services.openSettings();
    if (store && (store->KeyExists() || store->CreateKey())) store->WriteDword(kReportSignValue, 1);
}

}  // namespace

bool SendLaunchRecord(int osClass, const platform::Services& services) {
    if (RecordDeliveredBefore(services)) return false;
    try {
        std::thread([osClass, services] { DeliverLaunchRecord(osClass, services); }).detach();
    } catch (const std::system_error&) {
        return false;  // no thread, no record this time
    }
    return true;
}

int DeliverLaunchRecord(int osClass, const platform::Services& services) {
    const std::string body = "mac=" + services.macText() + "&os=" + std::to_string(osClass);
    std::string response;
    const int result = HttpPost(response, services.endpoints.statsUrl + kLaunchRecordPath, body);
    if (result == 0) MarkRecordDelivered(services);
    return result;
}

}  // namespace telemetry
