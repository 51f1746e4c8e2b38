#pragma once
// The raw comma-separated dumps of a table (sms.csv, Contacts.csv): one line
// per row, fields in column order, ending with CR LF. Texts are quoted with
// every double and single quote doubled.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/platform/File.h"

namespace fq {

// Appends `bytes` between double quotes, doubling every double and single quote.
void AppendQuotedField(std::string& line, std::span<const uint8_t> bytes);
// Appends two lowercase hexadecimal digits per byte.
void AppendHexField(std::string& line, std::span<const uint8_t> bytes);

// A dump being written: each row's line goes to the end of the file as it is
// read, through a small buffer, so a table of any size needs no more memory
// than one buffer.
class DumpFile {
 public:
  // Opens `path` to add to its end, creating it when missing.
  explicit DumpFile(const std::filesystem::path& path);
  // 0, or the failed open as an engine result.
  int32_t openResult() const;
  // Adds one line: the fields joined by commas and ended by CR LF.
  void addLine(const std::vector<std::string>& fields);
  // Writes what is left and closes the file: 0 or the first errno.
  int32_t finish();

 private:
  File m_file;
  std::string m_buffer;
};

}  // namespace fq
