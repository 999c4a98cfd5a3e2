// Whether the install volume has room for what a transfer is about to write.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Volumes.h"

// Free space the install volume keeps while a package is written, and that
// the check of an announced length asks for on top of it: the volume is never
// filled to its last byte.
inline constexpr int64_t kFreeSpaceReserve = 16 * 1024 * 1024;

// The message for the player when the volume holding installDir has fewer
// free bytes than bytesNeeded and the reserve, naming the volume and the
// missing amount, e.g.
// "安装目录所在磁盘空间不足: /mnt/data 还需要 1.23 GB". Nothing when there is
// room, or when the free space cannot be told.
std::optional<std::string> SpaceShortageMessage(platform::IVolumes& volumes,
                                                const std::string& installDir, int64_t bytesNeeded);
