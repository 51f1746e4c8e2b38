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

std::string JoinDumpLine(const std::vector<std::string>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i != 0) line.push_back(',');
    line += fields[i];
  }
  line += "\r\n";
  return line;
}

int32_t AppendDumpLines(const std::filesystem::path& path, const std::vector<std::string>& lines) {
  File file = File::OpenAppend(path);
  if (!file.ok()) return file.error() != 0 ? ReaderOpenResult(file.error()) : kInvalid;
  for (const std::string& line : lines) {
    if (const int32_t rc = file.write(line); rc != 0) return rc;
  }
  return file.close();
}

}  // namespace fq
