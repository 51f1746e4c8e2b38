#include "engine/backup/ManifestMbdb.h"

#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "engine/ResultCodes.h"
#include "engine/backup/FileId.h"
#include "engine/platform/File.h"

namespace fq {
namespace {

// A bounds-checked cursor over the index; every read fails instead of leaving
// the buffer.
class MbdbCursor {
 public:
  explicit MbdbCursor(std::span<const uint8_t> bytes) : m_bytes(bytes) {}

  bool atEnd() const { return m_pos >= m_bytes.size(); }

  bool skip(size_t n) {
    if (n > m_bytes.size() - m_pos) return false;
    m_pos += n;
    return true;
  }

  std::optional<uint16_t> u16() {
    if (2 > m_bytes.size() - m_pos) return std::nullopt;
    const uint16_t v = static_cast<uint16_t>((m_bytes[m_pos] << 8) | m_bytes[m_pos + 1]);
    m_pos += 2;
    return v;
  }

  std::optional<uint8_t> u8() {
    if (atEnd()) return std::nullopt;
    return m_bytes[m_pos++];
  }

  // A uint16 length and that many bytes; 0xFFFF is an absent string (empty).
  // The text lies in the cursor's bytes.
  std::optional<std::string_view> string() {
    const auto len = u16();
    if (!len) return std::nullopt;
    if (*len == 0xFFFF || *len == 0) return std::string_view();
    if (*len > m_bytes.size() - m_pos) return std::nullopt;
    const std::string_view s(reinterpret_cast<const char*>(m_bytes.data() + m_pos), *len);
    m_pos += *len;
    return s;
  }

  size_t position() const { return m_pos; }

 private:
  std::span<const uint8_t> m_bytes;
  size_t m_pos = 0;
};

constexpr size_t kHeaderSize = 6;  // "mbdb" and a two-byte version

// Reads the record at the cursor into `entry`, handing it to `onEntry` when it
// is kept. False when the bytes end inside the record (nothing is handed then).
template <class OnEntry>
bool ReadRecord(MbdbCursor& cursor, ManifestEntry& entry, OnEntry& onEntry) {
  auto domain = cursor.string();
  auto relativePath = cursor.string();
  if (!domain || !relativePath) return false;
  if (!cursor.string() || !cursor.string() || !cursor.string()) return false;  // link, hash, key
  const auto mode = cursor.u16();
  if (!mode) return false;
  // inode (8), uid, gid, mtime, atime, ctime (4 each), size (8)
  if (!cursor.skip(8 + 4 * 5 + 8)) return false;
  if (!cursor.u8()) return false;  // protection class
  const auto propertyCount = cursor.u8();
  if (!propertyCount) return false;
  for (int p = 0; p < *propertyCount * 2; ++p) {
    if (!cursor.string()) return false;
  }
  if (domain->empty() || relativePath->empty() || (*mode & 0xE000) == 0x4000) return true;
  entry.key.clear();
  entry.key.reserve(domain->size() + 1 + relativePath->size());
  entry.key += *domain;
  entry.key.push_back('-');
  entry.key += *relativePath;
  entry.fileId = FileIdOf(entry.key);
  entry.kind = (*mode & 0xF000) == 0xA000 ? ManifestEntryKind::Link : ManifestEntryKind::File;
  onEntry(entry);
  return true;
}

// Every whole record of `bytes`; returns how many bytes they took.
template <class OnEntry>
size_t ReadRecords(std::span<const uint8_t> bytes, ManifestEntry& entry, OnEntry& onEntry) {
  MbdbCursor cursor(bytes);
  size_t complete = 0;
  while (!cursor.atEnd() && ReadRecord(cursor, entry, onEntry)) complete = cursor.position();
  return complete;
}

auto AppendTo(std::vector<ManifestEntry>& entries) {
  return [&entries](ManifestEntry& entry) { entries.push_back(std::move(entry)); };
}

}  // namespace

int32_t ParseManifestMbdb(std::span<const uint8_t> bytes, std::vector<ManifestEntry>& entries) {
  if (bytes.size() < 4 || std::memcmp(bytes.data(), "mbdb", 4) != 0) return kInvalid;
  if (bytes.size() <= kHeaderSize) return kOk;  // magic and version only: no records
  ManifestEntry entry;
  auto append = AppendTo(entries);
  ReadRecords(bytes.subspan(kHeaderSize), entry, append);
  return kOk;
}

int32_t ReadManifestMbdb(const std::filesystem::path& path, std::vector<ManifestEntry>& entries) {
  return ReadManifestMbdb(path, ManifestEntrySink(AppendTo(entries)));
}

int32_t ReadManifestMbdb(const std::filesystem::path& path, const ManifestEntrySink& sink) {
  if (path.empty()) return kInvalid;
  File file = File::OpenRead(path);
  if (!file.ok()) return kMbdbUnopenable;
  // An old phone's index runs to tens of megabytes: it is read through a
  // window of whole records rather than whole. A record that does not fit
  // the window grows it (a record is at most a few hundred strings).
  std::vector<uint8_t> window(size_t{1} << 20);
  size_t held = 0;
  uint64_t offset = 0;
  bool atEnd = false;
  bool headerChecked = false;
  ManifestEntry entry;
  while (true) {
    if (!atEnd) {
      size_t got = 0;
      // A read that fails part way ends the index there, like a cut-short file.
      const int32_t readError = file.readAt(offset, std::span<uint8_t>(window).subspan(held), got);
      atEnd = readError != 0 || got < window.size() - held;
      held += got;
      offset += got;
    }
    std::span<const uint8_t> bytes(window.data(), held);
    if (!headerChecked) {
      if (bytes.size() < 4 || std::memcmp(bytes.data(), "mbdb", 4) != 0) return kInvalid;
      if (bytes.size() <= kHeaderSize) return kOk;
      bytes = bytes.subspan(kHeaderSize);
      headerChecked = true;
    }
    const size_t used = ReadRecords(bytes, entry, sink);
    const size_t left = bytes.size() - used;
    // At the end of the file a record cut short ends the index, as in memory.
    if (atEnd) return kOk;
    std::memmove(window.data(), bytes.data() + used, left);
    held = left;
    if (held == window.size()) window.resize(window.size() * 2);
  }
}

}  // namespace fq
