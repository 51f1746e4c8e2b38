// Reading a Manifest.db of a heavy user's phone (150,000 files) into manifest
// entries, beside the SQLite library stepping through the same query and
// touching the same three columns: the floor for any reader on the library.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/ScratchPath.h"
#include "engine/backup/ManifestDb.h"
#include "engine/sqlite/ReadOnlyDatabase.h"

namespace {

constexpr int kEntries = 150000;

std::string HexId(int i) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string id(40, '0');
  uint64_t x = 0x9E3779B97F4A7C15ull * static_cast<uint64_t>(i + 1);
  for (size_t k = 0; k < id.size(); ++k) {
    id[k] = kHex[x & 15];
    x = (x >> 4) | (x << 60);
    if (k % 16 == 15) x *= 0xBF58476D1CE4E5B9ull;
  }
  return id;
}

const std::filesystem::path& ManifestDatabase() {
  static const std::filesystem::path path = [] {
    const auto p = fq::bench::ScratchPath("fernquill-manifest-bench-", ".db");
    std::filesystem::remove(p);
    sqlite3* db = nullptr;
    sqlite3_open(p.c_str(), &db);
    sqlite3_exec(db,
                 "PRAGMA journal_mode=OFF; CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, "
                 "relativePath TEXT, flags INTEGER, file BLOB); BEGIN;",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Files VALUES (?, ?, ?, 1, NULL)", -1, &stmt, nullptr);
    for (int i = 0; i < kEntries; ++i) {
      const std::string id = HexId(i);
      const std::string domain = i % 3 == 0   ? "CameraRollDomain"
                                 : i % 3 == 1 ? "HomeDomain"
                                              : "AppDomain-net.whatsapp.WhatsApp";
      const std::string relative =
          "Media/DCIM/" + std::to_string(100 + i / 1000) + "APPLE/IMG_" + std::to_string(i) + ".JPG";
      sqlite3_bind_text(stmt, 1, id.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(stmt, 2, domain.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(stmt, 3, relative.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_step(stmt);
      sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    std::atexit([] { std::filesystem::remove(ManifestDatabase()); });
    return p;
  }();
  return path;
}

void BM_ReadManifestDb(benchmark::State& state) {
  const auto& path = ManifestDatabase();
  for (auto _ : state) {
    std::vector<fq::ManifestEntry> entries;
    if (fq::ReadManifestDb(path, entries) != 0) state.SkipWithError("ReadManifestDb failed");
    benchmark::DoNotOptimize(entries.data());
  }
  state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_ReadManifestDb)->Unit(benchmark::kMillisecond);

// The same query through the library alone, each text column read once.
void BM_LibrarySelectFiles(benchmark::State& state) {
  const auto& path = ManifestDatabase();
  for (auto _ : state) {
    fq::ReadOnlyDatabase db(path);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db.handle(), "SELECT fileID,domain,relativePath FROM Files", -1, &stmt, nullptr);
    size_t bytes = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      for (int c = 0; c < 3; ++c) {
        benchmark::DoNotOptimize(sqlite3_column_text(stmt, c));
        bytes += static_cast<size_t>(sqlite3_column_bytes(stmt, c));
      }
    }
    sqlite3_finalize(stmt);
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_LibrarySelectFiles)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
