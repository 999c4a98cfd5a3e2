#include "platform/Volumes.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <unordered_map>

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

bool IsOctalDigit(char c) {
    return c >= '0' && c <= '7';
}

// mountinfo writes space, tab, line break and backslash as \ooo.
std::string DecodeEscapes(std::string_view field) {
    std::string decoded;
    decoded.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && IsOctalDigit(field[i + 1]) &&
            IsOctalDigit(field[i + 2]) && IsOctalDigit(field[i + 3])) {
            decoded += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                         (field[i + 3] - '0'));
            i += 3;
        } else {
            decoded += field[i];
        }
    }
    return decoded;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (start < line.size()) {
        size_t end = line.find(' ', start);
        if (end == std::string_view::npos) end = line.size();
        if (end > start) fields.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return fields;
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

// A root that other users may write (a shared disk, mode 1777 like /tmp) is no
// place to install a program this player will run: anyone could plant files
// there, or links where the launcher writes.
bool OthersMayWrite(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) != 0 || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

bool IsPathPrefix(const std::string& mountPoint, const std::string& path) {
    if (mountPoint == "/") return true;
    return path.starts_with(mountPoint) &&
           (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

class MountTableVolumes final : public IVolumes {
public:
    MountTableVolumes(std::string mountInfoPath, std::string sysClassBlock)
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
        return access(entry.mountPoint.c_str(), W_OK) == 0 && !OthersMayWrite(entry.mountPoint);
    }

    const std::string m_mountInfoPath;
    const std::string m_sysClassBlock;
};

}  // namespace

std::vector<Volume> ParseMountInfo(const std::string& text) {
    // id parent major:minor root mount-point options [optional...] - fstype source super-options
    constexpr size_t kMountPointField = 4;
    constexpr size_t kFirstOptionalField = 6;
    std::vector<Volume> volumes;
    std::string_view rest = text;
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);

        const std::vector<std::string_view> fields = SplitFields(line);
        size_t separator = kFirstOptionalField;
        while (separator < fields.size() && fields[separator] != "-") ++separator;
        if (separator + 2 >= fields.size()) continue;
        volumes.push_back(Volume{DecodeEscapes(fields[kMountPointField]),
                                 DecodeEscapes(fields[separator + 2]),
                                 DecodeEscapes(fields[separator + 1])});
    }
    return volumes;
}

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

std::unique_ptr<IVolumes> SystemVolumes(const std::string& mountInfoPath,
                                        const std::string& sysClassBlock) {
    return std::make_unique<MountTableVolumes>(
        mountInfoPath.empty() ? kSystemMountInfo : mountInfoPath, sysClassBlock);
}

}  // namespace platform
