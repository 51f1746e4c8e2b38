#include "engine/categories/DumpLine.h"

#include <cerrno>
#include <cstdio>
#include <memory>

#include "engine/ResultCodes.h"
#include "engine/categories/OpenResult.h"

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
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> file(std::fopen(path.c_str(), "ab"));
  if (!file) return errno != 0 ? ReaderOpenResult(errno) : kInvalid;
  for (const std::string& line : lines) {
    if (std::fwrite(line.data(), 1, line.size(), file.get()) != line.size()) return errno != 0 ? errno : kInvalid;
  }
  if (std::fflush(file.get()) != 0) return errno != 0 ? errno : kInvalid;
  return kOk;
}

}  // namespace fq
