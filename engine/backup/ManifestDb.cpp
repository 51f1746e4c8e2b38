#include "engine/backup/ManifestDb.h"

#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <string_view>
#include <system_error>
#include <utility>

#include "engine/ResultCodes.h"
#include "engine/sqlite/ReadOnlyDatabase.h"

namespace fq {
namespace {

ManifestEntryKind KindOfFlags(int64_t flags) {
  if (flags == 2) return ManifestEntryKind::Folder;
  if (flags == 4) return ManifestEntryKind::Link;
  return ManifestEntryKind::File;
}

struct Closer {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};

// The connection is read-only and immutable like every other, and used by this
// thread alone: without the connection's mutex each column read is a plain call
// instead of a lock and an unlock, a third of the library's time on a large index.
std::unique_ptr<sqlite3, Closer> OpenManifest(const std::filesystem::path& path, int& result) {
  sqlite3* db = nullptr;
  result = sqlite3_open_v2(ReadOnlyDatabase::ImmutableUri(path).c_str(), &db,
                           SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
  std::unique_ptr<sqlite3, Closer> owned(db);  // closed even when the open failed, as the library asks
  if (result != SQLITE_OK) owned.reset();
  return owned;
}

// How many rows Files holds at most, read from its largest rowid in one seek:
// room for them up front saves moving every entry read so far each time the
// list grows. Manifests are written row by row, so the largest rowid is the
// count or a little above it. A row takes at least its 40-digit file id, so
// the file's size bounds the guess whatever a damaged or hostile index says.
size_t ExpectedRows(sqlite3* db, const std::filesystem::path& path) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, "select max(rowid) from Files;", -1, &raw, nullptr) != SQLITE_OK) return 0;
  const std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> stmt(raw, &sqlite3_finalize);
  if (sqlite3_step(raw) != SQLITE_ROW) return 0;
  const int64_t largest = sqlite3_column_int64(raw, 0);
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec || largest <= 0) return 0;
  constexpr uintmax_t kSmallestRow = 48;
  return static_cast<size_t>(std::min<uintmax_t>(static_cast<uintmax_t>(largest), size / kSmallestRow));
}

// Reads the rows into one entry, handed to `onEntry` row by row; `expected`
// hears how many rows to expect before the first.
template <class OnExpected, class OnEntry>
int32_t ReadRows(const std::filesystem::path& path, OnExpected&& expected, OnEntry&& onEntry) {
  int opened = SQLITE_CANTOPEN;
  const auto db = OpenManifest(path, opened);
  if (!db) return opened;
  sqlite3_stmt* raw = nullptr;
  // The flags say what an entry is (2 a folder, 4 a link); a manifest without
  // them is still read, its entries taken for files.
  const bool withFlags = sqlite3_prepare_v2(db.get(), "select fileID,domain, relativePath, flags from Files;",
                                            -1, &raw, nullptr) == SQLITE_OK;
  if (!withFlags && sqlite3_prepare_v2(db.get(), "select fileID,domain, relativePath from Files;", -1, &raw,
                                       nullptr) != SQLITE_OK) {
    return kQueryFailed;
  }
  std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> stmt(raw, &sqlite3_finalize);
  expected(db.get());
  auto text = [&](int column) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), column));
    return p ? std::string_view(p, static_cast<size_t>(sqlite3_column_bytes(stmt.get(), column)))
             : std::string_view();
  };
  int rc;
  ManifestEntry entry;
  while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    entry.fileId = text(0);
    const std::string_view domain = text(1);
    if (sqlite3_column_type(stmt.get(), 2) != SQLITE_NULL) {
      // The key's whole length is known before its first byte is copied: one allocation.
      const std::string_view relativePath = text(2);
      entry.key.clear();
      entry.key.reserve(domain.size() + 1 + relativePath.size());
      entry.key += domain;
      entry.key.push_back('-');
      entry.key += relativePath;
    } else {
      entry.key = domain;
    }
    entry.kind = withFlags ? KindOfFlags(sqlite3_column_int64(stmt.get(), 3)) : ManifestEntryKind::File;
    onEntry(entry);
  }
  // A query that fails part way (a damaged index) keeps the rows read before it.
  return rc == SQLITE_DONE ? kOk : kQueryFailed;
}

}  // namespace

int32_t ReadManifestDb(const std::filesystem::path& path, std::vector<ManifestEntry>& entries) {
  return ReadRows(
      path, [&](sqlite3* db) { entries.reserve(entries.size() + ExpectedRows(db, path)); },
      [&](ManifestEntry& entry) { entries.push_back(std::move(entry)); });
}

int32_t ReadManifestDb(const std::filesystem::path& path, const ManifestEntrySink& sink) {
  return ReadRows(
      path, [](sqlite3*) {}, sink);
}

}  // namespace fq
