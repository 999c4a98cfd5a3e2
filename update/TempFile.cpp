#include "update/TempFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include "platform/Paths.h"

namespace {

std::optional<time_t> CreationTime(int fd) {
    struct statx info {};
    if (statx(fd, "", AT_EMPTY_PATH, STATX_BTIME | STATX_CTIME, &info) != 0) return std::nullopt;
    if (info.stx_mask & STATX_BTIME) return static_cast<time_t>(info.stx_btime.tv_sec);
    if (info.stx_mask & STATX_CTIME) return static_cast<time_t>(info.stx_ctime.tv_sec);
    return std::nullopt;
}

bool SameLocalDay(time_t a, time_t b) {
    struct tm dayA {};
    struct tm dayB {};
    if (!localtime_r(&a, &dayA) || !localtime_r(&b, &dayB)) return false;
    return dayA.tm_year == dayB.tm_year && dayA.tm_mon == dayB.tm_mon &&
           dayA.tm_mday == dayB.tm_mday;
}

}  // namespace

void DiscardStaleTemp(const std::string& path, time_t now) {
    struct stat link {};
    if (lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        unlink(path.c_str());  // the link goes, what it points to stays
        return;
    }
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    const std::optional<time_t> created = CreationTime(fd);
    close(fd);
    if (created && !SameLocalDay(*created, now)) unlink(path.c_str());
}

void EnsureDirectories(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) return;
    platform::CreateDirectories(path.substr(0, slash));
}
