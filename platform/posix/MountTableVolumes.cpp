#include "platform/posix/MountTableVolumes.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <unordered_map>

#include "platform/Files.h"

namespace platform {

namespace {

constexpr const char* kSystemMountInfo = "/proc/self/mountinfo";

// File systems that live on a local disk. zfs names a pool dataset as its
// source instead of a device, so it counts without one.
constexpr std::array<std::string_view, 15> kLocalDiskFileSystems = {
    "ext2", "ext3",  "ext4", "xfs",   "btrfs",   "f2fs", "jfs",   "reiserfs",
    "vfat", "exfat", "ntfs", "ntfs3", "fuseblk", "zfs",  "nilfs2"};
constexpr std::string_view kPoolFileSystem = "zfs";

bool IsLocalDiskFileSystem(std::string_view fsType) {
    for (std::string_view known : kLocalDiskFileSystems) {
        if (fsType == known) return true;
    }
    return false;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool ReadsOne(const std::string& path) {
    return ReadWholeFile(path).starts_with("1");
}

std::string MakeAbsolute(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return (error ? std::filesystem::path(path) : absolute).lexically_normal().string();
}

bool IsPathPrefix(const std::string& mountPoint, const std::string& path) {
    if (mountPoint == "/") return true;
    return path.starts_with(mountPoint) &&
           (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

class MountTableVolumesImpl final : public IVolumes {
public:
    MountTableVolumesImpl(std::string mountInfoPath, std::string sysClassBlock)
        : m_mountInfoPath(std::move(mountInfoPath)), m_sysClassBlock(std::move(sysClassBlock)) {}

    std::vector<Volume> FixedVolumes() override {
        const std::vector<Volume> entries = Entries();
        std::unordered_map<std::string, size_t> topmost;
        for (size_t i = 0; i < entries.size(); ++i) topmost[entries[i].mountPoint] = i;

        std::vector<Volume> fixed;
        for (size_t i = 0; i < entries.size(); ++i) {
            if (topmost[entries[i].mountPoint] == i && IsFixed(entries[i])) {
                fixed.push_back(entries[i]);
            }
        }
        return fixed;
    }

    std::optional<uint64_t> FreeBytes(const std::string& path) override {
        struct statvfs info {};
        if (statvfs(path.c_str(), &info) != 0) return std::nullopt;
        return static_cast<uint64_t>(info.f_bavail) * static_cast<uint64_t>(info.f_frsize);
    }

    std::string VolumeOf(const std::string& path) override {
        const std::string absolute = MakeAbsolute(path);
        std::string best = kSystemRoot;
        for (const Volume& entry : Entries()) {
            if (entry.mountPoint.size() > best.size() && IsPathPrefix(entry.mountPoint, absolute)) {
                best = entry.mountPoint;
            }
        }
        return best;
    }

private:
    std::vector<Volume> Entries() const { return ParseMountInfo(ReadWholeFile(m_mountInfoPath)); }

    bool IsFixed(const Volume& entry) const {
        if (!IsLocalDiskFileSystem(entry.fsType)) return false;
        if (entry.fsType != kPoolFileSystem) {
            if (!entry.device.starts_with("/dev/")) return false;
            if (IsRemovableBlockDevice(entry.device, m_sysClassBlock)) return false;
        }
        // A root that another user owns or may write (a shared disk, mode 1777
        // like /tmp) is no place to install a program this player will run:
        // anyone could plant files there, or links where the launcher writes.
        return access(entry.mountPoint.c_str(), W_OK) == 0 &&
               OnlyUserOrSystemMayWrite(entry.mountPoint);
    }

    const std::string m_mountInfoPath;
    const std::string m_sysClassBlock;
};

}  // namespace

bool IsRemovableBlockDevice(const std::string& device, const std::string& sysClassBlock) {
    // /dev/mapper/x and /dev/disk/by-uuid/y are links to the kernel's name.
    std::error_code error;
    std::filesystem::path resolved = std::filesystem::canonical(device, error);
    if (error) resolved = device;
    const std::string entry = sysClassBlock + "/" + resolved.filename().string();
    if (ReadsOne(entry + "/removable")) return true;
    struct stat info {};
    if (stat((entry + "/partition").c_str(), &info) != 0) return false;
    // A partition's folder sits inside its disk's folder.
    const std::filesystem::path partition = std::filesystem::canonical(entry, error);
    if (error) return false;
    return ReadsOne(partition.parent_path().string() + "/removable");
}

std::unique_ptr<IVolumes> MountTableVolumes(const std::string& mountInfoPath,
                                            const std::string& sysClassBlock) {
    return std::make_unique<MountTableVolumesImpl>(
        mountInfoPath.empty() ? kSystemMountInfo : mountInfoPath, sysClassBlock);
}

std::unique_ptr<IVolumes> SystemVolumes(const std::string& volumeTable) {
    return MountTableVolumes(volumeTable);
}

}  // namespace platform
