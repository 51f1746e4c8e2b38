#include "engine/platform/Volumes.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <array>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <system_error>

namespace fq {
namespace {

using namespace std::string_view_literals;

constexpr std::array kDiskFileSystems = {
    "ext2"sv,     "ext3"sv, "ext4"sv,    "xfs"sv,   "btrfs"sv,  "f2fs"sv,     "jfs"sv,
    "reiserfs"sv, "zfs"sv,  "vfat"sv,    "msdos"sv, "exfat"sv,  "ntfs"sv,     "ntfs3"sv,
    "fuseblk"sv,  "hfs"sv,  "hfsplus"sv, "apfs"sv,  "nilfs2"sv, "bcachefs"sv,
    "overlay"sv,  // the root of a container: an overlay over a local disk
};
constexpr std::array kRemoteFileSystems = {
    "nfs"sv, "nfs4"sv, "cifs"sv,      "smb3"sv,           "smbfs"sv, "fuse.sshfs"sv,  "sshfs"sv,
    "afs"sv, "ceph"sv, "glusterfs"sv, "fuse.glusterfs"sv, "davfs"sv, "fuse.davfs2"sv, "9p"sv,
};
constexpr std::array kCdFileSystems = {"iso9660"sv, "udf"sv};
constexpr std::array kRamFileSystems = {"tmpfs"sv, "ramfs"sv};

template <size_t N>
bool OneOf(const std::array<std::string_view, N>& list, std::string_view value) {
  for (auto item : list)
    if (item == value) return true;
  return false;
}

// Mount points in the table escape space, tab, newline and backslash as \ooo.
std::string DecodeMountField(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && field.size() - i > 3) {
      int value = 0;
      bool octal = true;
      for (size_t k = 1; k <= 3; ++k) {
        const char c = field[i + k];
        if (c < '0' || c > '7') {
          octal = false;
          break;
        }
        value = value * 8 + (c - '0');
      }
      if (octal && value < 256) {
        out.push_back(static_cast<char>(value));
        i += 3;
        continue;
      }
    }
    out.push_back(field[i]);
  }
  return out;
}

bool ReadsOne(const std::filesystem::path& file) {
  std::ifstream in(file);
  char c = 0;
  return in.get(c) && c == '1';
}

// /sys knows removability per disk; a partition's folder lies inside its disk's.
bool SysBlockRemovable(std::string_view device) {
  if (device.substr(0, 5) != "/dev/") return false;
  std::error_code ec;
  const auto resolved = std::filesystem::canonical(std::filesystem::path(std::string(device)), ec);
  if (ec) return false;
  const auto node = std::filesystem::path("/sys/class/block") / resolved.filename();
  const auto real = std::filesystem::canonical(node, ec);
  if (ec) return false;
  if (std::filesystem::exists(real / "removable", ec)) return ReadsOne(real / "removable");
  return ReadsOne(real.parent_path() / "removable");
}

}  // namespace

VolumeKind ClassifyMount(std::string_view fileSystemType, std::string_view device, bool removable) {
  if (OneOf(kRamFileSystems, fileSystemType)) return VolumeKind::RamDisk;
  if (OneOf(kCdFileSystems, fileSystemType)) return VolumeKind::CdRom;
  if (OneOf(kRemoteFileSystems, fileSystemType)) return VolumeKind::Remote;
  if (OneOf(kDiskFileSystems, fileSystemType)) {
    if (removable && device.substr(0, 5) == "/dev/") return VolumeKind::Removable;
    return VolumeKind::Fixed;
  }
  return VolumeKind::Other;
}

std::vector<Volume> ParseMountTable(std::string_view text,
                                    const std::function<bool(std::string_view device)>& isRemovable) {
  std::vector<Volume> volumes;
  std::map<std::string, size_t> indexOfRoot;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;

    std::array<std::string_view, 3> fields{};  // device, mount point, type
    size_t count = 0;
    size_t at = 0;
    while (count < fields.size() && at < line.size()) {
      while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
      const size_t start = at;
      while (at < line.size() && line[at] != ' ' && line[at] != '\t') ++at;
      if (at > start) fields[count++] = line.substr(start, at - start);
    }
    if (count < fields.size()) continue;

    const std::string device = DecodeMountField(fields[0]);
    const std::string root = DecodeMountField(fields[1]);
    if (root.empty() || root[0] != '/') continue;
    const bool removable = isRemovable ? isRemovable(device) : false;
    Volume volume{root, ClassifyMount(fields[2], device, removable), std::nullopt};
    if (auto found = indexOfRoot.find(root); found != indexOfRoot.end()) {
      volumes[found->second] = volume;  // the later mount hides the earlier one
    } else {
      indexOfRoot.emplace(root, volumes.size());
      volumes.push_back(std::move(volume));
    }
  }
  return volumes;
}

std::optional<std::vector<Volume>> ListVolumes() {
  std::ifstream in("/proc/self/mounts");
  if (!in) return std::nullopt;
  std::stringstream text;
  text << in.rdbuf();
  std::vector<Volume> volumes;
  for (auto& volume : ParseMountTable(text.str(), SysBlockRemovable)) {
    std::error_code ec;
    // Bind mounts of single files and read-only roots cannot hold a folder.
    if (!std::filesystem::is_directory(volume.root, ec)) continue;
    if (::access(volume.root.c_str(), W_OK) != 0) continue;
    volume.freeBytes = FreeBytesOf(volume.root);
    volumes.push_back(std::move(volume));
  }
  return volumes;
}

std::optional<uint64_t> FreeBytesOf(const std::filesystem::path& path) {
  struct statvfs st {};
  if (path.empty() || ::statvfs(path.c_str(), &st) != 0) return std::nullopt;
  // Blocks free to an unprivileged writer: the reserved ones cannot hold a backup.
  const uint64_t blocks = st.f_bavail;
  const uint64_t blockSize = st.f_frsize != 0 ? st.f_frsize : st.f_bsize;
  if (blockSize != 0 && blocks > UINT64_MAX / blockSize) return UINT64_MAX;
  return blocks * blockSize;
}

}  // namespace fq
