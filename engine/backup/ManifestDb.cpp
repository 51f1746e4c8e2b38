#include "engine/backup/ManifestDb.h"

#include <sqlite3.h>

#include <memory>
#include <string_view>

#include "engine/ResultCodes.h"
#include "engine/sqlite/ReadOnlyDatabase.h"

namespace fq {
namespace {

ManifestEntryKind KindOfFlags(int64_t flags) {
  if (flags == 2) return ManifestEntryKind::Folder;
  if (flags == 4) return ManifestEntryKind::Link;
  return ManifestEntryKind::File;
}

}  // namespace

int32_t ReadManifestDb(const std::filesystem::path& path, std::vector<ManifestEntry>& entries) {
  ReadOnlyDatabase db(path);
  if (!db.ok()) return db.openResult();
  sqlite3_stmt* raw = nullptr;
  // The flags say what an entry is (2 a folder, 4 a link); a manifest without
  // them is still read, its entries taken for files.
  const bool withFlags =
      sqlite3_prepare_v2(db.handle(), "select fileID,domain, relativePath, flags from Files;", -1, &raw,
                         nullptr) == SQLITE_OK;
  if (!withFlags && sqlite3_prepare_v2(db.handle(), "select fileID,domain, relativePath from Files;", -1,
                                       &raw, nullptr) != SQLITE_OK) {
    return kQueryFailed;
  }
  std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> stmt(raw, &sqlite3_finalize);
  auto text = [&](int column) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), column));
    return p ? std::string_view(p, static_cast<size_t>(sqlite3_column_bytes(stmt.get(), column)))
             : std::string_view();
  };
  int rc;
  while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    ManifestEntry entry;
    entry.fileId = text(0);
    entry.key = text(1);
    if (sqlite3_column_type(stmt.get(), 2) != SQLITE_NULL) {
      const std::string_view relativePath = text(2);
      entry.key.reserve(entry.key.size() + 1 + relativePath.size());
      entry.key.push_back('-');
      entry.key += relativePath;
    }
    if (withFlags) entry.kind = KindOfFlags(sqlite3_column_int64(stmt.get(), 3));
    entries.push_back(std::move(entry));
  }
  // A query that fails part way (a damaged index) keeps the rows read before it.
  return rc == SQLITE_DONE ? kOk : kQueryFailed;
}

}  // namespace fq
