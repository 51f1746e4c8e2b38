#include "engine/backup/ManifestMbdb.h"

#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>

#include "engine/ResultCodes.h"
#include "engine/backup/FileId.h"

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
  std::optional<std::string> string() {
    const auto len = u16();
    if (!len) return std::nullopt;
    if (*len == 0xFFFF || *len == 0) return std::string();
    if (*len > m_bytes.size() - m_pos) return std::nullopt;
    std::string s(reinterpret_cast<const char*>(m_bytes.data() + m_pos), *len);
    m_pos += *len;
    return s;
  }

 private:
  std::span<const uint8_t> m_bytes;
  size_t m_pos = 0;
};

}  // namespace

int32_t ParseManifestMbdb(std::span<const uint8_t> bytes, std::vector<ManifestEntry>& entries) {
  if (bytes.size() < 4 || std::memcmp(bytes.data(), "mbdb", 4) != 0) return kInvalid;
  MbdbCursor cursor(bytes);
  if (!cursor.skip(6)) return kOk;  // magic and version only: no records
  while (!cursor.atEnd()) {
    auto domain = cursor.string();
    auto relativePath = cursor.string();
    if (!domain || !relativePath) break;
    if (!cursor.string() || !cursor.string() || !cursor.string()) break;  // link, hash, key
    const auto mode = cursor.u16();
    if (!mode) break;
    // inode (8), uid, gid, mtime, atime, ctime (4 each), size (8)
    if (!cursor.skip(8 + 4 * 5 + 8)) break;
    if (!cursor.u8()) break;  // protection class
    const auto propertyCount = cursor.u8();
    if (!propertyCount) break;
    bool complete = true;
    for (int p = 0; p < *propertyCount * 2 && complete; ++p) complete = cursor.string().has_value();
    if (!complete) break;
    if (domain->empty() || relativePath->empty() || (*mode & 0xE000) == 0x4000) continue;
    std::string key = *domain + "-" + *relativePath;
    std::string id = FileIdOf(key);
    entries.push_back({std::move(key), std::move(id)});
  }
  return kOk;
}

int32_t ReadManifestMbdb(const std::filesystem::path& path, std::vector<ManifestEntry>& entries) {
  if (path.empty()) return kInvalid;
  std::ifstream in(path, std::ios::binary);
  if (!in) return kMbdbUnopenable;
  // The index is read whole, with one read, and parsed in place.
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) return kMbdbUnopenable;
  std::vector<uint8_t> bytes;
  try {
    bytes.resize(static_cast<size_t>(size));
  } catch (const std::exception&) {
    return kInvalid;  // no memory for the file
  }
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return ParseManifestMbdb(bytes, entries);
}

}  // namespace fq
