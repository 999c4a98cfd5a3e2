#include "update/SpaceCheck.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "update/ByteUnits.h"

namespace {

// Rounded up, so that even a few missing bytes never read as 0.00.
std::string AmountText(int64_t bytes) {
    const auto [unit, name] = bytes >= kGigabyte  ? std::pair{kGigabyte, "GB"}
                              : bytes > kMegabyte ? std::pair{kMegabyte, "MB"}
                                                  : std::pair{kKilobyte, "KB"};
    char text[64];
    snprintf(text, sizeof text, "%.2f %s",
             std::ceil(static_cast<double>(bytes) * 100 / static_cast<double>(unit)) / 100, name);
    return text;
}

}  // namespace

std::optional<std::string> SpaceShortageMessage(platform::IVolumes& volumes,
                                                const std::string& installDir,
                                                int64_t bytesNeeded) {
    if (bytesNeeded <= 0) return std::nullopt;
    const std::optional<uint64_t> freeBytes = volumes.FreeBytes(installDir);
    const int64_t withReserve = bytesNeeded + kFreeSpaceReserve;
    if (!freeBytes || *freeBytes >= static_cast<uint64_t>(withReserve)) return std::nullopt;
    const int64_t missing = withReserve - static_cast<int64_t>(*freeBytes);
    std::string volume = volumes.VolumeOf(installDir);
    if (volume.empty()) volume = installDir;
    return "安装目录所在磁盘空间不足: " + volume + " 还需要 " + AmountText(missing);
}
