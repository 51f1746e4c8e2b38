#pragma once
// A look at a database file before its rows are trusted: whether it opens as
// SQLite, whether it is cut short (fewer pages than its header counts, or a
// last page that ends early), and which parts a reading must skip (a cut free
// list, table b-tree or overflow chain). The readers keep reading what is
// there; this says what a person must be told about it.
#include <cstdint>
#include <filesystem>
#include <string>

namespace fq {

struct DatabaseCheck {
  int32_t openResult = 0;  // the page reader's open result
  std::string damage;      // empty when nothing is missing
};

DatabaseCheck CheckDatabaseFile(const std::filesystem::path& path);

}  // namespace fq
