#include "update/TempFile.h"

#include <optional>

#include "platform/Files.h"
#include "support/LocalTime.h"

namespace {

bool SameLocalDay(int64_t a, int64_t b) {
    const std::tm dayA = LocalCalendar(a);
    const std::tm dayB = LocalCalendar(b);
    if (dayA.tm_mday == 0 || dayB.tm_mday == 0) return false;
    return dayA.tm_year == dayB.tm_year && dayA.tm_mon == dayB.tm_mon &&
           dayA.tm_mday == dayB.tm_mday;
}

}  // namespace

void DiscardStaleTemp(const std::string& path, time_t now) {
    if (platform::IsSymbolicLink(path)) {
        platform::RemoveFile(path);  // the link goes, what it points to stays
        return;
    }
    std::optional<int64_t> created;
    if (const platform::File file = platform::File::OpenForReading(path)) {
        created = file.CreationTime();
    }
    if (created && !SameLocalDay(*created, now)) platform::RemoveFile(path);
}

void EnsureDirectories(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) return;
    platform::CreateDirectories(path.substr(0, slash));
}
