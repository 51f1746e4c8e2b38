#include "tools/decrypt/MbdbFileKeys.h"

#include <cstring>

#include "engine/backup/FileId.h"

namespace fq::decrypt {
namespace {

class Cursor {
 public:
  explicit Cursor(std::span<const uint8_t> b) : m_bytes(b) {}
  bool atEnd() const { return m_off >= m_bytes.size(); }
  bool skip(size_t n) {
    if (n > m_bytes.size() - m_off) return false;
    m_off += n;
    return true;
  }
  bool number(size_t width, uint64_t& v) {
    if (width > m_bytes.size() - m_off) return false;
    v = 0;
    for (size_t i = 0; i < width; ++i) v = (v << 8) | m_bytes[m_off + i];
    m_off += width;
    return true;
  }
  // A uint16 length, then the bytes; 0xFFFF stands for an absent string.
  bool string(std::string& s) {
    uint64_t length = 0;
    if (!number(2, length)) return false;
    if (length == 0xFFFF) {
      s.clear();
      return true;
    }
    if (length > m_bytes.size() - m_off) return false;
    s.assign(reinterpret_cast<const char*>(m_bytes.data() + m_off), length);
    m_off += length;
    return true;
  }

 private:
  std::span<const uint8_t> m_bytes;
  size_t m_off = 0;
};

}  // namespace

bool ParseMbdbFileKeys(std::span<const uint8_t> bytes, std::vector<MbdbFileKey>& files) {
  if (bytes.size() < 6 || std::memcmp(bytes.data(), "mbdb", 4) != 0) return false;
  Cursor c(bytes.subspan(6));
  while (!c.atEnd()) {
    std::string domain, path, target, hash, key;
    uint64_t mode = 0, size = 0, protection = 0, properties = 0;
    if (!c.string(domain) || !c.string(path) || !c.string(target) || !c.string(hash) || !c.string(key) ||
        !c.number(2, mode) || !c.skip(8 + 4 + 4 + 4 + 4 + 4) || !c.number(8, size) ||
        !c.number(1, protection) || !c.number(1, properties))
      break;
    bool whole = true;
    for (uint64_t i = 0; i < properties && whole; ++i) {
      std::string name, value;
      whole = c.string(name) && c.string(value);
    }
    if (!whole) break;
    if (domain.empty() || path.empty() || (mode & 0xE000) != 0x8000) continue;
    MbdbFileKey file;
    file.fileId = FileIdOf(domain + "-" + path);
    file.protectionClass = static_cast<uint8_t>(protection);
    file.size = size;
    file.encryptionKey.assign(key.begin(), key.end());
    files.push_back(std::move(file));
  }
  return true;
}

}  // namespace fq::decrypt
