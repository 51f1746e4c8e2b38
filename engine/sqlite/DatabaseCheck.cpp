#include "engine/sqlite/DatabaseCheck.h"

#include <span>
#include <system_error>
#include <vector>

#include "engine/ResultCodes.h"
#include "engine/sqlite/SqliteFileReader.h"

namespace fq {
namespace {

uint32_t BigEndian32(std::span<const uint8_t> bytes, size_t offset) {
  if (bytes.size() < offset + 4) return 0;
  return static_cast<uint32_t>(bytes[offset]) << 24 | static_cast<uint32_t>(bytes[offset + 1]) << 16 |
         static_cast<uint32_t>(bytes[offset + 2]) << 8 | static_cast<uint32_t>(bytes[offset + 3]);
}

}  // namespace

DatabaseCheck CheckDatabaseFile(const std::filesystem::path& path) {
  DatabaseCheck check;
  std::error_code ec;
  const uint64_t size = std::filesystem::file_size(path, ec);
  if (ec) {
    check.openResult = ec.value() != 0 ? ec.value() : kInvalid;
    return check;
  }
  SqliteFileReader reader;
  check.openResult = reader.open(path);
  if (check.openResult != kOk) return check;
  const uint64_t pageSize = reader.pageSize();
  if (pageSize == 0) return check;
  if (size < pageSize) {
    check.damage = "the file is cut short inside its first page";
    return check;
  }
  const uint64_t pagesInFile = size / pageSize;
  std::vector<uint8_t> first;
  if (reader.readPage(0, first) != kOk) {
    check.damage = "its first page cannot be read";
    return check;
  }
  // The header's page count holds only while the "version valid for" number
  // matches the change counter (offsets 92 and 24).
  const uint32_t headerPages = BigEndian32(first, 28);
  const bool countValid = headerPages != 0 && BigEndian32(first, 92) == BigEndian32(first, 24);
  if (countValid && headerPages > pagesInFile) {
    check.damage = "the file is cut short: " + std::to_string(pagesInFile) + " of its " +
                   std::to_string(headerPages) + " pages are there";
  } else if (size % pageSize != 0) {
    check.damage = "the file ends inside a page";
  }
  // What the page reader must skip inside the file: the free list, a table's
  // b-tree or a row's overflow chain cut short.
  for (const std::string& part : reader.findDamage()) {
    if (!check.damage.empty()) check.damage += "; ";
    check.damage += part;
  }
  return check;
}

}  // namespace fq
