#include "engine/backup/StoredFileListing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <system_error>
#include <utility>

namespace fq {
namespace {

constexpr size_t kIdLength = 40;

// 0-9 and a-f as 0 to 15; -1 for anything else (capitals included).
int LowerDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return 10 + (c - 'a');
  return -1;
}

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

StoredFileListing::StoredFileListing(std::filesystem::path folder, StorageLayout layout)
    : m_folder(std::move(folder)), m_layout(layout) {}

StoredFileListing::Folder& StoredFileListing::folderOf(std::string_view fileId) {
  if (m_layout == StorageLayout::Flat) return m_folders[0];
  return m_folders[static_cast<size_t>(LowerDigit(fileId[0])) * 16 +
                   static_cast<size_t>(LowerDigit(fileId[1]))];
}

StoredFileListing::Name StoredFileListing::NameOf(std::string_view lowercaseId) {
  // Eight digits at a time: '0'-'9' and 'a'-'f' to 0-15 in each byte, then the
  // bytes' low halves packed into 32 bits, the first digit highest.
  const auto eightDigits = [&](size_t from) {
    uint64_t w = 0;
    std::memcpy(&w, lowercaseId.data() + from, 8);
    w = __builtin_bswap64((w & 0x0F0F0F0F0F0F0F0Full) + 9 * ((w >> 6) & 0x0101010101010101ull));
    w = (w | (w >> 4)) & 0x00FF00FF00FF00FFull;
    w = (w | (w >> 8)) & 0x0000FFFF0000FFFFull;
    return (w | (w >> 16)) & 0xFFFFFFFFull;
  };
  return {eightDigits(0) << 32 | eightDigits(8), eightDigits(16) << 32 | eightDigits(24),
          static_cast<uint32_t>(eightDigits(32))};
}

// Keeps the regular files (links followed) named by lowercase file ids that
// would be looked for in this folder; no other name is ever asked about.
void StoredFileListing::list(Folder& folder, std::string_view fileId) {
  const bool flat = m_layout == StorageLayout::Flat;
  const std::filesystem::path path = flat ? m_folder : m_folder / std::string(fileId.substr(0, 2));
  const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    // No such folder (or not a folder): no stat inside it could succeed either.
    folder.state = errno == ENOENT || errno == ENOTDIR ? State::Listed : State::AskEach;
    return;
  }
  const std::unique_ptr<DIR, DirCloser> dir(fdopendir(fd));
  if (!dir) close(fd);
  struct stat st {};
  // A folder that can be read but not searched answers no stat of its files.
  if (!dir || fstatat(fd, ".", &st, 0) != 0) {
    folder.state = State::AskEach;
    return;
  }
  bool readAll = false;
  bool capitals = false;
  for (;;) {
    errno = 0;
    const dirent* item = readdir(dir.get());
    if (item == nullptr) {
      readAll = errno == 0;
      break;
    }
    const std::string_view name(item->d_name);
    if (name.size() != kIdLength || (!flat && name.substr(0, 2) != fileId.substr(0, 2))) continue;
    const FileIdForm form = FileIdFormOf(name);
    if (form == FileIdForm::None) continue;
    if (form == FileIdForm::WithCapitals) {
      capitals = true;
      break;
    }
    bool regular = item->d_type == DT_REG;
    if (item->d_type == DT_LNK || item->d_type == DT_UNKNOWN) {
      regular = fstatat(fd, item->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
    }
    if (!regular) continue;
    folder.sorted.push_back(NameOf(name));
  }
  if (!readAll || capitals) {
    folder.sorted = {};
    folder.state = State::AskEach;
    return;
  }
  std::sort(folder.sorted.begin(), folder.sorted.end());
  folder.state = State::Listed;
}

bool StoredFileListing::isRegularFile(std::string_view fileId) {
  const FileIdForm form = FileIdFormOf(fileId);
  if (form == FileIdForm::None) return false;
  Folder* folder = form == FileIdForm::WithCapitals ? nullptr : &folderOf(fileId);
  if (folder != nullptr && folder->state == State::Unread) list(*folder, fileId);
  if (folder == nullptr || folder->state == State::AskEach) {
    std::error_code ec;
    return std::filesystem::is_regular_file(StoredFilePath(m_folder, fileId, m_layout), ec);
  }
  return std::binary_search(folder->sorted.begin(), folder->sorted.end(), NameOf(fileId));
}

}  // namespace fq
