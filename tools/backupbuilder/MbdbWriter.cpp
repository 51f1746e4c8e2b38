#include "tools/backupbuilder/MbdbWriter.h"

#include <string>

namespace fq::builder {
namespace {

void PutU8(std::vector<uint8_t>& out, uint8_t v) { out.push_back(v); }

void PutU16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  PutU16(out, static_cast<uint16_t>(v >> 16));
  PutU16(out, static_cast<uint16_t>(v));
}

void PutU64(std::vector<uint8_t>& out, uint64_t v) {
  PutU32(out, static_cast<uint32_t>(v >> 32));
  PutU32(out, static_cast<uint32_t>(v));
}

// A string longer than 0xFFFE bytes cannot be written; it is cut there.
void PutString(std::vector<uint8_t>& out, const std::optional<std::string>& s) {
  if (!s) {
    PutU16(out, 0xFFFF);
    return;
  }
  const size_t len = s->size() < 0xFFFE ? s->size() : 0xFFFE;
  PutU16(out, static_cast<uint16_t>(len));
  out.insert(out.end(), s->begin(), s->begin() + static_cast<std::ptrdiff_t>(len));
}

}  // namespace

void AppendMbdbRecord(const ManifestRecord& record, std::vector<uint8_t>& out) {
  PutString(out, record.domain);
  PutString(out, record.relativePath);
  PutString(out, record.linkTarget);
  PutString(out, record.dataHash);
  PutString(out, record.encryptionKey);
  PutU16(out, record.mode);
  PutU64(out, record.inode);
  PutU32(out, record.userId);
  PutU32(out, record.groupId);
  PutU32(out, record.modified);
  PutU32(out, record.accessed);
  PutU32(out, record.created);
  PutU64(out, record.content ? record.content->size() : 0);
  PutU8(out, record.protectionClass);
  const size_t count = record.properties.size() < 0xFF ? record.properties.size() : 0xFF;
  PutU8(out, static_cast<uint8_t>(count));
  for (size_t i = 0; i < count; ++i) {
    PutString(out, record.properties[i].first);
    PutString(out, record.properties[i].second);
  }
}

std::vector<uint8_t> EncodeManifestMbdb(std::span<const ManifestRecord> records) {
  std::vector<uint8_t> out = {'m', 'b', 'd', 'b', 5, 0};
  for (const auto& record : records) AppendMbdbRecord(record, out);
  return out;
}

}  // namespace fq::builder
