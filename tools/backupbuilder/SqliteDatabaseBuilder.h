#pragma once
// Builds an SQLite database file from SQL, the way a phone's database looks
// after use: rows inserted, then some deleted with secure_delete off, so their
// bytes stay behind in free blocks and free-list pages.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace fq::builder {

// What goes into one database, in the order it is run.
struct SqliteRecipe {
  int pageSize = 4096;                  // a power of two from 512 to 65536
  std::vector<std::string> statements;  // CREATE and INSERT, run in one transaction
  std::vector<std::string> deletions;   // run afterwards, in a second transaction
  // Leave the file in WAL mode, as the phone keeps most of its databases: a
  // reader that is not immutable would then create -wal and -shm files.
  bool walMode = false;
};

// Writes the database to `path` (replacing it; no journal is left beside it).
// False with a message in `error` when a statement fails.
bool WriteSqliteDatabase(const std::filesystem::path& path, const SqliteRecipe& recipe, std::string* error);

// The same, returning the file's bytes (built in a private temporary folder).
bool BuildSqliteDatabase(const SqliteRecipe& recipe, std::vector<uint8_t>& bytes, std::string* error);

}  // namespace fq::builder
