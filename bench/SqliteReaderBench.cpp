// The page reader on a 100,000-row table (live rows plus deleted ones to
// carve) beside the SQLite library's SELECT * of the same table.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "bench/ScratchPath.h"
#include "engine/sqlite/GenericRows.h"
#include "engine/sqlite/ReadOnlyDatabase.h"
#include "engine/sqlite/SqliteFileReader.h"
#include "engine/sqlite/TableReader.h"
#include "engine/sqlite/TableSchema.h"

namespace {

constexpr int kRows = 100000;

const std::filesystem::path& benchDatabase() {
  static const std::filesystem::path path = [] {
    const auto p = fq::bench::ScratchPath("fernquill-bench-", ".db");
    std::filesystem::remove(p);
    sqlite3* db = nullptr;
    sqlite3_open(p.c_str(), &db);
    sqlite3_exec(
        db,
        "PRAGMA secure_delete=OFF; PRAGMA page_size=4096; PRAGMA journal_mode=OFF; "
        "CREATE TABLE message (id INTEGER PRIMARY KEY, guid TEXT, text TEXT, handle INTEGER, date INTEGER, "
        "from_me INTEGER, service TEXT); BEGIN;",
        nullptr, nullptr, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO message VALUES (NULL, ?, ?, ?, ?, ?, 'SMS')", -1, &stmt, nullptr);
    for (int i = 0; i < kRows; ++i) {
      const std::string guid = "0000-" + std::to_string(i * 7919) + "-GUID-GUID-GUID-GUID-GUID";
      const std::string text =
          "Message " + std::to_string(i) + ", see you at " + std::to_string(i % 24) + " o'clock";
      sqlite3_bind_text(stmt, 1, guid.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(stmt, 2, text.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int(stmt, 3, i % 50);
      sqlite3_bind_int64(stmt, 4, 600000000 + i * 60);
      sqlite3_bind_int(stmt, 5, i % 2);
      sqlite3_step(stmt);
      sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    sqlite3_exec(db, "COMMIT; DELETE FROM message WHERE id % 10 = 3;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    std::atexit([] { std::filesystem::remove(benchDatabase()); });
    return p;
  }();
  return path;
}

void BM_ReaderAllRowsLiveAndCarved(benchmark::State& state) {
  const auto& path = benchDatabase();
  int64_t rows = 0;
  for (auto _ : state) {
    fq::SqliteFileReader reader;
    reader.open(path);
    rows = 0;
    for (const fq::TableSchema& schema : fq::ListTables(reader)) {
      fq::ReadTableRows(reader, schema.name, schema.columnCount, [&](const fq::TableRow& row) {
        rows += 1;
        benchmark::DoNotOptimize(row.columns.data());
      });
    }
  }
  state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_ReaderAllRowsLiveAndCarved)->Unit(benchmark::kMillisecond);

void BM_GenericRowsLiveAndCarved(benchmark::State& state) {
  const auto& path = benchDatabase();
  int64_t rows = 0;
  for (auto _ : state) {
    fq::SqliteFileReader reader;
    reader.open(path);
    rows = 0;
    for (const fq::TableSchema& schema : fq::ListTables(reader)) {
      fq::ReadGenericRows(reader, schema, [&](const fq::GenericRow& row) {
        rows += 1;
        benchmark::DoNotOptimize(row.values.data());
      });
    }
  }
  state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_GenericRowsLiveAndCarved)->Unit(benchmark::kMillisecond);

void BM_LibrarySelectAll(benchmark::State& state) {
  const auto& path = benchDatabase();
  int64_t rows = 0;
  for (auto _ : state) {
    fq::ReadOnlyDatabase db(path);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db.handle(), "SELECT * FROM message", -1, &stmt, nullptr);
    rows = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        benchmark::DoNotOptimize(sqlite3_column_blob(stmt, i));
      }
      ++rows;
    }
    sqlite3_finalize(stmt);
  }
  state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_LibrarySelectAll)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
