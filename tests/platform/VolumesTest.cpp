#include <gtest/gtest.h>
#include <mntent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Volumes.h"
#include "platform/posix/MountTableVolumes.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/TempDir.h"

namespace platform {

bool operator==(const Volume& a, const Volume& b) {
    return a.mountPoint == b.mountPoint && a.device == b.device && a.fsType == b.fsType;
}

void PrintTo(const Volume& volume, std::ostream* out) {
    *out << "{" << volume.mountPoint << ", " << volume.device << ", " << volume.fsType << "}";
}

namespace {

TEST(ParseMountInfoTest, ReadsEachEntry) {
    struct Case {
        const char* line;
        Volume expected;
    };
    const Case cases[] = {
        {"22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw,errors=remount-ro",
         {"/", "/dev/sda1", "ext4"}},
        {"35 22 8:17 / /media/My\\040Disk rw,nosuid - vfat /dev/sdb1 rw",
         {"/media/My Disk", "/dev/sdb1", "vfat"}},
        {"36 22 8:18 / /mnt/back\\134slash\\011tab\\012line rw - ext4 /dev/sdb2 rw",
         {"/mnt/back\\slash\ttab\nline", "/dev/sdb2", "ext4"}},
        {"37 22 253:1 / /data rw shared:5 master:2 propagate_from:1 unbindable - xfs "
         "/dev/mapper/vg-data rw",
         {"/data", "/dev/mapper/vg-data", "xfs"}},
        {"38 22 0:5 / /proc rw,nosuid - proc proc rw", {"/proc", "proc", "proc"}},
        {"39 22 0:40 / /srv/share rw - nfs4 server:/export\\040one rw",
         {"/srv/share", "server:/export one", "nfs4"}},
        {"40 22 0:41 /sub /bind rw - ext4 /dev/sda1 rw", {"/bind", "/dev/sda1", "ext4"}},
        // An escape cut short stays as it is.
        {"41 22 8:3 / /odd\\04 rw - ext4 /dev/sda3 rw", {"/odd\\04", "/dev/sda3", "ext4"}},
    };
    for (const Case& c : cases) {
        const std::vector<Volume> parsed = ParseMountInfo(c.line);
        ASSERT_EQ(parsed.size(), 1u) << c.line;
        EXPECT_EQ(parsed[0], c.expected) << c.line;
    }
}

TEST(ParseMountInfoTest, SkipsMalformedLinesAndKeepsTheOrder) {
    const std::string text =
        "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "\n"
        "garbage line\n"
        "23 22 8:2 / /no-separator rw ext4 /dev/sda2 rw\n"
        "24 22 8:3 / /no-source rw - ext4\n"
        "25 22 8:4 / /home rw - ext4 /dev/sda4 rw";
    const std::vector<Volume> expected = {{"/", "/dev/sda1", "ext4"},
                                          {"/home", "/dev/sda4", "ext4"}};
    EXPECT_EQ(ParseMountInfo(text), expected);
}

// A stand-in for /sys/class/block: each disk has one partition, NAME1, and
// the class folder links to both, as the kernel lays them out.
class FakeBlockClass {
public:
    void AddDisk(const std::string& disk, bool removable) {
        const std::string diskDir = m_sys / ("devices/pci0/block/" + disk);
        const std::string partDir = diskDir + "/" + disk + "1";
        ASSERT_TRUE(CreateDirectories(partDir));
        ASSERT_TRUE(CreateDirectories(Path()));
        WriteFile(diskDir + "/removable", removable ? "1\n" : "0\n");
        WriteFile(partDir + "/partition", "1\n");
        ASSERT_EQ(symlink(diskDir.c_str(), (Path() + "/" + disk).c_str()), 0);
        ASSERT_EQ(symlink(partDir.c_str(), (Path() + "/" + disk + "1").c_str()), 0);
    }
    std::string Path() const { return m_sys / "class/block"; }

private:
    TempDir m_sys;
};

// Mount tables whose mount points are temporary folders, on disks of which
// sdg is removable.
class VolumesTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_blocks.AddDisk("sda", false);
        m_blocks.AddDisk("sdg", true);
        for (const char* name : {"a", "b", "with space", "tmp", "usb", "over", "a/inner", "zpool",
                                 "shared", "stick"}) {
            ASSERT_TRUE(CreateDirectories(m_dir / name));
            chmod((m_dir / name).c_str(), 0755);
        }
        // Every user may write it, as /tmp.
        chmod((m_dir / "shared").c_str(), 01777);
    }

    std::unique_ptr<IVolumes> VolumesOf(const std::string& table) {
        WriteFile(m_dir / "mountinfo", table);
        return MountTableVolumes(m_dir / "mountinfo", m_blocks.Path());
    }

    std::string Entry(int id, const std::string& mountPoint, const std::string& fsType,
                      const std::string& source) {
        return std::to_string(id) + " 1 8:" + std::to_string(id) + " / " + mountPoint +
               " rw,relatime shared:1 - " + fsType + " " + source + " rw\n";
    }

    TempDir m_dir;
    FakeBlockClass m_blocks;
};

TEST_F(VolumesTest, FixedVolumesAreWritableLocalDisksInTableOrder) {
    const std::string d = m_dir.Path();
    auto volumes = VolumesOf(
        Entry(1, d + "/b", "xfs", "/dev/sdb1") + Entry(2, d + "/tmp", "tmpfs", "tmpfs") +
        Entry(3, d + "/a", "ext4", "/dev/sda1") +
        Entry(4, d + "/with\\040space", "btrfs", "/dev/nvme0n1p2") +
        Entry(5, d + "/missing", "ext4", "/dev/sdc1") + Entry(6, d + "/usb", "vfat", "UUID=1234") +
        Entry(7, "/proc", "proc", "proc") + Entry(8, d + "/share", "nfs4", "server:/export") +
        Entry(9, d + "/over", "ext4", "/dev/sdd1") + Entry(10, d + "/over", "tmpfs", "tmpfs") +
        Entry(11, d + "/a", "ext4", "/dev/sda1") + Entry(12, d + "/zpool", "zfs", "rpool/data") +
        Entry(13, d + "/a/inner", "fuseblk", "/dev/sde1") +
        Entry(14, d + "/shared", "ext4", "/dev/sdf1") +
        Entry(15, d + "/stick", "ext4", "/dev/sdg1"));
    const std::vector<Volume> expected = {
        {d + "/b", "/dev/sdb1", "xfs"},           {d + "/with space", "/dev/nvme0n1p2", "btrfs"},
        {d + "/a", "/dev/sda1", "ext4"},          {d + "/zpool", "rpool/data", "zfs"},
        {d + "/a/inner", "/dev/sde1", "fuseblk"},
    };
    EXPECT_EQ(volumes->FixedVolumes(), expected);
}

TEST_F(VolumesTest, AnEmptyOrMissingTableHasNoVolumes) {
    EXPECT_TRUE(VolumesOf("")->FixedVolumes().empty());
    auto volumes = SystemVolumes(m_dir / "no-such-file");
    EXPECT_TRUE(volumes->FixedVolumes().empty());
    EXPECT_EQ(volumes->VolumeOf(m_dir / "a"), "/");
}

TEST_F(VolumesTest, VolumeOfIsTheLongestMountPointHoldingThePath) {
    const std::string d = m_dir.Path();
    auto volumes = VolumesOf(
        Entry(1, "/", "ext4", "/dev/sda1") + Entry(2, d + "/a", "ext4", "/dev/sdb1") +
        Entry(3, d + "/a/inner", "ext4", "/dev/sdc1") + Entry(4, d + "/tmp", "tmpfs", "tmpfs") +
        Entry(5, d + "/with\\040space", "xfs", "/dev/sdd1"));
    struct Case {
        std::string path;
        std::string volume;
    };
    const Case cases[] = {
        {d + "/a", d + "/a"},
        {d + "/a/", d + "/a"},
        {d + "/a/x/y.txt", d + "/a"},
        {d + "/a/inner/game", d + "/a/inner"},
        {d + "/a/innermost", d + "/a"},
        {d + "/ab/file", "/"},
        {d + "/b/../a/file", d + "/a"},
        {d + "/tmp/file", d + "/tmp"},
        {d + "/with space/vorn", d + "/with space"},
        {"/usr/bin", "/"},
    };
    for (const Case& c : cases) EXPECT_EQ(volumes->VolumeOf(c.path), c.volume) << c.path;

    // A relative path is taken from the current folder.
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    ASSERT_EQ(chdir((d + "/a/inner").c_str()), 0);
    EXPECT_EQ(volumes->VolumeOf("game/x"), d + "/a/inner");
    EXPECT_EQ(volumes->VolumeOf("../x"), d + "/a");
    ASSERT_EQ(chdir(cwd), 0);
}

TEST_F(VolumesTest, FreeBytesAreThoseOfTheFileSystem) {
    auto volumes = SystemVolumes();
    const std::optional<uint64_t> free = volumes->FreeBytes(m_dir.Path());
    ASSERT_TRUE(free);
    EXPECT_GT(*free, 0u);
    EXPECT_FALSE(volumes->FreeBytes(m_dir / "no-such-folder"));
}

// The process's own table, read back through the C library's parser of
// /proc/mounts: every fixed volume is a mount the system reports as such.
TEST(SystemVolumesTest, ReadsTheProcessMountTable) {
    std::vector<Volume> mounts;
    FILE* table = setmntent("/proc/mounts", "r");
    ASSERT_NE(table, nullptr);
    while (const mntent* entry = getmntent(table)) {
        mounts.push_back(Volume{entry->mnt_dir, entry->mnt_fsname, entry->mnt_type});
    }
    endmntent(table);

    auto volumes = SystemVolumes();
    EXPECT_EQ(volumes->VolumeOf("/proc/self/status"), "/proc");
    for (const Volume& volume : volumes->FixedVolumes()) {
        EXPECT_NE(std::find(mounts.begin(), mounts.end(), volume), mounts.end())
            << volume.mountPoint << " " << volume.device << " " << volume.fsType;
    }
}

TEST(RemovableDeviceTest, APartitionIsRemovableWhenItsDiskIs) {
    FakeBlockClass blocks;
    blocks.AddDisk("sda", false);
    blocks.AddDisk("sdb", true);
    struct Case {
        const char* device;
        bool removable;
    };
    const Case cases[] = {
        {"/dev/sda", false}, {"/dev/sda1", false},     {"/dev/sdb", true},
        {"/dev/sdb1", true}, {"/dev/unknown9", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsRemovableBlockDevice(c.device, blocks.Path()), c.removable) << c.device;
    }
}

}  // namespace
}  // namespace platform
