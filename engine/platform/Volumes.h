#pragma once
// The mounted volumes of the machine with their kind and free space: the
// platform's answer to "which drives are there and how full are they".
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace fq {

enum class VolumeKind {
  Removable,  // USB sticks, SD cards
  Fixed,      // local disks
  Remote,     // nfs, cifs, sshfs
  CdRom,      // iso9660, udf
  RamDisk,    // tmpfs, ramfs
  Other,      // proc, sysfs, cgroup and every other pseudo file system
};

struct Volume {
  std::filesystem::path root;  // the mount point
  VolumeKind kind = VolumeKind::Other;
  std::optional<uint64_t> freeBytes;  // empty when the query failed
  bool operator==(const Volume&) const = default;
};

// The kind of a mount by its file-system type; `removable` tells whether the
// block device behind it reports itself removable.
VolumeKind ClassifyMount(std::string_view fileSystemType, std::string_view device, bool removable);

// Parses the text of /proc/self/mounts (octal escapes in mount points decoded).
// One entry per mount point, the last mount of a point winning; free bytes are
// left empty. `isRemovable` answers for a device path such as /dev/sdb1.
std::vector<Volume> ParseMountTable(std::string_view text,
                                    const std::function<bool(std::string_view device)>& isRemovable);

// The volumes of this machine whose root is a folder this process may write
// into, with their free bytes.
std::optional<std::vector<Volume>> ListVolumes();

// Bytes free to this process on the volume of `path` (statvfs), or none.
std::optional<uint64_t> FreeBytesOf(const std::filesystem::path& path);

}  // namespace fq
