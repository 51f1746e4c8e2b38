#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "engine/platform/Volumes.h"

namespace fq {
namespace {

TEST(ClassifyMount, SortsFileSystemsIntoDriveKinds) {
  const struct {
    const char* type;
    const char* device;
    bool removable;
    VolumeKind kind;
  } cases[] = {
      {"ext4", "/dev/sda1", false, VolumeKind::Fixed},
      {"xfs", "/dev/nvme0n1p2", false, VolumeKind::Fixed},
      {"overlay", "overlay", false, VolumeKind::Fixed},
      {"vfat", "/dev/sdb1", true, VolumeKind::Removable},
      {"exfat", "/dev/mmcblk0p1", true, VolumeKind::Removable},
      {"overlay", "overlay", true, VolumeKind::Fixed},  // no block device behind it
      {"nfs4", "server:/export", false, VolumeKind::Remote},
      {"cifs", "//server/share", false, VolumeKind::Remote},
      {"fuse.sshfs", "user@host:", false, VolumeKind::Remote},
      {"iso9660", "/dev/sr0", true, VolumeKind::CdRom},
      {"udf", "/dev/sr0", true, VolumeKind::CdRom},
      {"tmpfs", "tmpfs", false, VolumeKind::RamDisk},
      {"ramfs", "ramfs", false, VolumeKind::RamDisk},
      {"devtmpfs", "devtmpfs", false, VolumeKind::Other},
      {"proc", "proc", false, VolumeKind::Other},
      {"sysfs", "sysfs", false, VolumeKind::Other},
      {"cgroup2", "cgroup2", false, VolumeKind::Other},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClassifyMount(c.type, c.device, c.removable), c.kind) << c.type << " on " << c.device;
  }
}

TEST(ParseMountTable, ReadsMountPointsAndKinds) {
  const std::string table =
      "/dev/sda1 / ext4 rw,relatime 0 0\n"
      "proc /proc proc rw 0 0\n"
      "/dev/sdb1 /media/usb\\040stick vfat rw 0 0\n"
      "server:/x /mnt/nfs nfs4 rw 0 0\n"
      "broken-line-without-fields\n"
      "tmpfs /mnt/data tmpfs rw 0 0\n"
      "/dev/sdc1 /mnt/data ext4 rw 0 0\n"  // mounted over the tmpfs: the later one counts
      "relative notapath ext4 rw 0 0";
  const auto removable = [](std::string_view device) { return device == "/dev/sdb1"; };
  const auto volumes = ParseMountTable(table, removable);
  ASSERT_EQ(volumes.size(), 5u);
  EXPECT_EQ(volumes[0], (Volume{"/", VolumeKind::Fixed, std::nullopt}));
  EXPECT_EQ(volumes[1], (Volume{"/proc", VolumeKind::Other, std::nullopt}));
  EXPECT_EQ(volumes[2], (Volume{"/media/usb stick", VolumeKind::Removable, std::nullopt}));
  EXPECT_EQ(volumes[3], (Volume{"/mnt/nfs", VolumeKind::Remote, std::nullopt}));
  EXPECT_EQ(volumes[4], (Volume{"/mnt/data", VolumeKind::Fixed, std::nullopt}));
}

TEST(ParseMountTable, SurvivesHostileText) {
  EXPECT_TRUE(ParseMountTable("", nullptr).empty());
  EXPECT_TRUE(ParseMountTable("\n\n   \n", nullptr).empty());
  const auto volumes = ParseMountTable("/dev/x /a\\ ext4\n/dev/y /b\\77 ext4\n/dev/z /c\\999x ext4", nullptr);
  ASSERT_EQ(volumes.size(), 3u);
  EXPECT_EQ(volumes[0].root, "/a\\");
  EXPECT_EQ(volumes[1].root, "/b\\77");
  EXPECT_EQ(volumes[2].root, "/c\\999x");
}

TEST(ListVolumes, FindsTheRootOfThisMachine) {
  const auto volumes = ListVolumes();
  ASSERT_TRUE(volumes.has_value());
  for (const auto& v : *volumes) EXPECT_FALSE(v.root.empty());
  EXPECT_TRUE(FreeBytesOf("/").has_value());
  EXPECT_FALSE(FreeBytesOf("/no/such/folder/anywhere").has_value());
}

}  // namespace
}  // namespace fq
