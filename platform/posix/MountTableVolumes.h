// Fixed volumes as the Linux side finds them: the mount table and sysfs.
#pragma once

#include <memory>
#include <string>

#include "platform/Volumes.h"

namespace platform {

// Reads /proc/self/mountinfo, or the table at mountInfoPath when it is not
// empty, at every call, and asks the folder that stands for /sys/class/block
// which devices are removable. When several entries share a mount point, the
// last one (the one mounted on top) counts.
std::unique_ptr<IVolumes> MountTableVolumes(const std::string& mountInfoPath = "",
                                            const std::string& sysClassBlock = "/sys/class/block");

// True when sysfs marks the block device (or, for a partition, its disk) as
// removable; false when it does not or cannot tell. sysClassBlock is the
// folder that stands for /sys/class/block.
bool IsRemovableBlockDevice(const std::string& device,
                            const std::string& sysClassBlock = "/sys/class/block");

}  // namespace platform
