#include "engine/categories/DumpLine.h"

#include "engine/ResultCodes.h"
#include "engine/categories/OpenResult.h"
#include "engine/platform/File.h"

namespace fq {

void AppendQuotedField(std::string& line, std::span<const uint8_t> bytes) {
  line.push_back('"');
  for (const uint8_t b : bytes) {
    const char c = static_cast<char>(b);
    if (c == '"' || c == '\'') line.push_back(c);
    line.push_back(c);
  }
  line.push_back('"');
}

void AppendHexField(std::string& line, std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  for (const uint8_t b : bytes) {
    line.push_back(kDigits[b >> 4]);
    line.push_back(kDigits[b & 0x0F]);
  }
}

namespace {
constexpr size_t kDumpBuffer = size_t{64} * 1024;
}  // namespace

DumpFile::DumpFile(const std::filesystem::path& path) : m_file(File::OpenAppend(path)) {
  m_buffer.reserve(kDumpBuffer);
}

int32_t DumpFile::openResult() const {
  if (m_file.ok()) return 0;
  return m_file.error() != 0 ? ReaderOpenResult(m_file.error()) : kInvalid;
}

void DumpFile::addLine(const std::vector<std::string>& fields) {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i != 0) m_buffer.push_back(',');
    m_buffer += fields[i];
  }
  m_buffer += "\r\n";
  // A failed write sticks in the file and is answered by finish().
  if (m_buffer.size() >= kDumpBuffer) {
    m_file.write(m_buffer);
    m_buffer.clear();
  }
}

int32_t DumpFile::finish() {
  if (const int32_t open = openResult(); open != 0) return open;
  if (!m_buffer.empty()) m_file.write(m_buffer);
  m_buffer.clear();
  return m_file.close();
}

}  // namespace fq
