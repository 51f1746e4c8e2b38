// fernquill-cli sqlite FILE [--table NAME] [--json]: every row of any SQLite
// file, live and deleted, one line per row. A row found in free space that is
// an earlier version of a live row (the same identity, see EarlierVersions.h)
// is marked as such.
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/Commands.h"
#include "engine/sqlite/ColumnValueText.h"
#include "engine/sqlite/ColumnValues.h"
#include "engine/sqlite/EarlierVersions.h"
#include "engine/sqlite/GenericRows.h"
#include "engine/sqlite/SqliteFileReader.h"
#include "engine/sqlite/TableSchema.h"

namespace fq::cli {

namespace {

nlohmann::json jsonValue(const ColumnValue& v) {
  switch (v.kind) {
    case ColumnValue::Kind::Null:
      return nullptr;
    case ColumnValue::Kind::Integer:
      return v.integer;
    case ColumnValue::Kind::Real:
      return v.real;
    // Text that is not valid UTF-8 cannot go into JSON as it is; its bytes do.
    case ColumnValue::Kind::Text: {
      nlohmann::json text = v.bytes;
      try {
        (void)text.dump();
        return text;
      } catch (const nlohmann::json::exception&) {
        return nlohmann::json{{"text_hex", HexText(v.bytes)}};
      }
    }
    case ColumnValue::Kind::Blob:
      return nlohmann::json{{"blob", HexText(v.bytes)}};
  }
  return nullptr;
}

// The text of column `column` of `row`; empty when it is not text or was lost.
std::string_view textAt(const GenericRow& row, int32_t column) {
  const int64_t i = int64_t{column} - row.firstColumn;
  if (column < 0 || i < 0 || i >= static_cast<int64_t>(row.values.size())) return {};
  const ColumnValue& v = row.values[static_cast<size_t>(i)];
  return v.kind == ColumnValue::Kind::Text ? std::string_view(v.bytes) : std::string_view();
}

struct SqliteOptions {
  std::string file;
  std::string table;
  bool json = false;
};

int runSqlite(const SqliteOptions& options) {
  SqliteFileReader reader;
  if (const int32_t r = reader.open(options.file); r != 0) {
    std::fprintf(stderr, "fernquill-cli: cannot read %s as an SQLite database (code %d)\n",
                 options.file.c_str(), r);
    return 1;
  }
  bool found = false;
  for (const TableSchema& schema : ListTables(reader)) {
    if (!options.table.empty() && schema.name != options.table) continue;
    found = true;
    const int32_t identity = schema.columnIndex(IdentityColumnOf(schema.name));
    EarlierVersions earlier;
    ReadGenericRows(reader, schema, [&](const GenericRow& row) {
      const bool earlierVersion = earlier.check(textAt(row, identity), row.deleted != 0);
      nlohmann::json values = nlohmann::json::array();
      std::string line;
      // A carved row that lost its first column shows it as missing (null).
      if (row.firstColumn == 1) {
        values.push_back(nullptr);
        line += " ?";
      }
      for (const ColumnValue& v : row.values) {
        values.push_back(jsonValue(v));
        line += " " + ColumnValueText(v);
      }
      if (options.json) {
        nlohmann::json object = {
            {"table", schema.name}, {"deleted", row.deleted}, {"source", rowSourceName(row.source)},
            {"page", row.page + 1}, {"offset", row.offset},   {"row_id", row.rowId},
            {"values", values}};
        if (earlierVersion) object["earlier_version"] = true;
        std::printf("%s\n", object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
      } else {
        std::printf("%s\t%s\t%s\tpage %u\toffset %u\trowid %lld\t%s\n", schema.name.c_str(),
                    !row.deleted     ? "live"
                    : earlierVersion ? "earlier version"
                                     : "deleted",
                    std::string(rowSourceName(row.source)).c_str(), row.page + 1, row.offset,
                    static_cast<long long>(row.rowId), line.c_str());
      }
    });
  }
  if (!found && !options.table.empty()) {
    std::fprintf(stderr, "fernquill-cli: no table named %s\n", options.table.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

void AddSqliteCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<SqliteOptions>();
  auto* cmd = app.add_subcommand("sqlite", "Read live and deleted rows of any SQLite file");
  cmd->add_option("file", options->file, "SQLite database file (only read)")->required();
  cmd->add_option("--table", options->table, "Only this table");
  cmd->add_flag("--json", options->json, "One JSON object per row");
  cmd->callback([options, &exitStatus] { exitStatus = runSqlite(*options); });
}

}  // namespace fq::cli
