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
  return m_folders[static_cast<size_t>(LowerDigit(fileId[0]) * 16 + LowerDigit(fileId[1]))];
}

const char* StoredFileListing::nameAt(uint32_t index) const {
  return m_names.data() + size_t{index} * kIdLength;
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
  const size_t firstName = m_names.size() / kIdLength;
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
    folder.sorted.push_back(static_cast<uint32_t>(m_names.size() / kIdLength));
    m_names += name;
  }
  if (!readAll || capitals) {
    folder.sorted.clear();
    m_names.resize(firstName * kIdLength);
    folder.state = State::AskEach;
    return;
  }
  std::sort(folder.sorted.begin(), folder.sorted.end(),
            [this](uint32_t a, uint32_t b) { return std::memcmp(nameAt(a), nameAt(b), kIdLength) < 0; });
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
  const auto at = std::lower_bound(folder->sorted.begin(), folder->sorted.end(), fileId,
                                   [this](uint32_t index, std::string_view id) {
                                     return std::memcmp(nameAt(index), id.data(), kIdLength) < 0;
                                   });
  return at != folder->sorted.end() && std::memcmp(nameAt(*at), fileId.data(), kIdLength) == 0;
}

}  // namespace fq
