// Local fixed volumes in place of drive letters.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct Volume {
    std::string mountPoint;
    std::string device;
    std::string fsType;
};

class IVolumes {
public:
    virtual ~IVolumes() = default;
    // Local, non-removable, block-device file systems whose mount point the user
    // can write and nobody else can (it belongs to the user or the system, with
    // no group or other write bit), in mount-table order (the system root
    // included).
    virtual std::vector<Volume> FixedVolumes() = 0;
    // Bytes free for the calling user on the volume holding path.
    virtual std::optional<uint64_t> FreeBytes(const std::string& path) = 0;
    // Mount point of the volume that holds path (longest matching mount point).
    virtual std::string VolumeOf(const std::string& path) = 0;
};

// The system root: it stands for the system drive and is never a candidate.
inline constexpr const char* kSystemRoot = "/";

// The system's fixed volumes, read anew at every call. volumeTable: on Linux
// a mount table read in place of /proc/self/mountinfo (tests); see
// platform/posix/MountTableVolumes.h.
std::unique_ptr<IVolumes> SystemVolumes(const std::string& volumeTable = "");

// Parses mountinfo text: mount point, source and file system type of every
// entry, octal escapes decoded; malformed lines are skipped.
std::vector<Volume> ParseMountInfo(const std::string& text);

}  // namespace platform
