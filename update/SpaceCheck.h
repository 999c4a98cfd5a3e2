// Whether the install volume has room for what a transfer is about to write.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Volumes.h"

// The message for the player when the volume holding installDir has fewer
// free bytes than bytesNeeded, naming the volume and the missing amount, e.g.
// "安装目录所在磁盘空间不足: /mnt/data 还需要 1.23 GB". Nothing when there is
// room, or when the free space cannot be told.
std::optional<std::string> SpaceShortageMessage(platform::IVolumes& volumes,
                                                const std::string& installDir, int64_t bytesNeeded);
