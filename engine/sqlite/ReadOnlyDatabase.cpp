#include "engine/sqlite/ReadOnlyDatabase.h"

#include <cstdio>

namespace fq {

std::string ReadOnlyDatabase::ImmutableUri(const std::filesystem::path& path) {
  const std::string absolute = std::filesystem::absolute(path).lexically_normal().string();
  std::string uri = "file:";
  for (unsigned char c : absolute) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '/' || c == '-' || c == '_' || c == '.' || c == '~';
    if (plain) {
      uri.push_back(static_cast<char>(c));
    } else {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      uri += buf;
    }
  }
  uri += "?immutable=1";
  return uri;
}

ReadOnlyDatabase::ReadOnlyDatabase(const std::filesystem::path& path) {
  sqlite3* db = nullptr;
  m_openResult =
      sqlite3_open_v2(ImmutableUri(path).c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
  m_db.reset(db);  // closed even when the open failed, as the library asks
  if (m_openResult != SQLITE_OK) m_db.reset();
}

int ReadOnlyDatabase::StepThrough(const char* sql, int* columns) const {
  if (!m_db) return SQLITE_MISUSE;
  sqlite3_stmt* raw = nullptr;
  const int prepared = sqlite3_prepare_v2(m_db.get(), sql, -1, &raw, nullptr);
  const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
  if (prepared != SQLITE_OK) return prepared;
  if (raw == nullptr) return SQLITE_OK;  // no statement in the text
  int rc = SQLITE_ROW;
  while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
    if (columns != nullptr) *columns = sqlite3_column_count(raw);
  }
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

}  // namespace fq
