// score-corpus: runs the generic table reader over the SQLite forensic corpus
// and scores it against each database's ground truth (the .xml beside it):
// per category, recall of deleted rows (full-row match), rows reported as
// deleted that match no row at all (invented), and live rows reported as
// deleted. With --check the exit status is 1 when any live row was reported
// as deleted or a live row the library returns (a virtual table's included)
// was not read, and 77 when the corpus is absent.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/sqlite/ColumnValues.h"
#include "engine/sqlite/GenericRows.h"
#include "engine/sqlite/LibraryColumnValue.h"
#include "engine/sqlite/ReadOnlyDatabase.h"
#include "engine/sqlite/SqliteFileReader.h"
#include "engine/sqlite/TableSchema.h"

namespace fs = std::filesystem;
using fq::ColumnValue;

namespace {

struct TruthTable {
  std::vector<std::vector<std::string>> live;
  std::vector<std::vector<std::string>> deleted;
};

std::string decodeEntities(std::string s) {
  static const std::pair<const char*, const char*> kEntities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
  for (const auto& [from, to] : kEntities) {
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + 1)) {
      s.replace(at, std::char_traits<char>::length(from), to);
    }
  }
  return s;
}

// The text between <tag> and </tag> at or after `from`, within [from, end).
bool between(const std::string& xml, const std::string& tag, size_t from, size_t end, std::string& out,
             size_t* after = nullptr) {
  const std::string open = "<" + tag + ">";
  const std::string close = "</" + tag + ">";
  const size_t a = xml.find(open, from);
  if (a == std::string::npos || a >= end) return false;
  const size_t b = xml.find(close, a);
  if (b == std::string::npos || b > end) return false;
  out = xml.substr(a + open.size(), b - a - open.size());
  if (after) *after = b + close.size();
  return true;
}

// The next <row> or <row ...> element at or after `from`: the table's
// <rowsTotal>, <rowsAlive> and <rowsDeleted> counts are no rows.
size_t nextRow(const std::string& xml, size_t from) {
  for (size_t at = xml.find("<row", from); at != std::string::npos; at = xml.find("<row", at + 1)) {
    if (at + 4 < xml.size() && (xml[at + 4] == '>' || xml[at + 4] == ' ')) return at;
  }
  return std::string::npos;
}

std::map<std::string, TruthTable> readTruth(const fs::path& xmlPath) {
  std::map<std::string, TruthTable> tables;
  std::ifstream in(xmlPath, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string xml = ss.str();
  for (size_t e = xml.find("<element>"); e != std::string::npos; e = xml.find("<element>", e + 1)) {
    const size_t end = std::min(xml.find("</element>", e), xml.size());
    std::string type;
    std::string name;
    if (!between(xml, "type", e, end, type) || type != "table") continue;
    // An empty name is written as <name />, before the columns' own names.
    const size_t emptyName = xml.find("<name />", e);
    if (emptyName != std::string::npos && emptyName < xml.find("<name>", e)) {
      name.clear();
    } else if (!between(xml, "name", e, end, name)) {
      continue;
    }
    TruthTable& table = tables[decodeEntities(name)];
    // Every row of a table the truth marks deleted (a dropped table) is a deleted row.
    std::string tableDeleted;
    const size_t firstRow = std::min(nextRow(xml, e), end);
    const bool droppedTable = between(xml, "deleted", e, firstRow, tableDeleted) && tableDeleted == "True";
    for (size_t r = nextRow(xml, e); r != std::string::npos && r < end; r = nextRow(xml, r + 1)) {
      const size_t rowEnd = xml.find("</row>", r);
      if (rowEnd == std::string::npos || rowEnd > end) break;
      const bool deleted = droppedTable || xml.compare(r, 17, "<row deleted=\"1\">") == 0;
      std::vector<std::string> values;
      for (size_t c = xml.find("<column>", r); c != std::string::npos && c < rowEnd;
           c = xml.find("<column>", c + 1)) {
        const size_t columnEnd = xml.find("</column>", c);
        std::string content;
        between(xml, "content", c, columnEnd, content);
        values.push_back(decodeEntities(content));
      }
      (deleted ? table.deleted : table.live).push_back(std::move(values));
    }
  }
  return tables;
}

// A name as the ground truth writes it: XML turns every line end into "\n".
std::string xmlLineEnds(std::string s) {
  for (size_t at = s.find('\r'); at != std::string::npos; at = s.find('\r', at)) {
    if (at + 1 < s.size() && s[at + 1] == '\n') {
      s.erase(at, 1);
    } else {
      s[at] = '\n';
    }
  }
  return s;
}

bool valueMatches(const ColumnValue& v, const std::string& truth) {
  switch (v.kind) {
    case ColumnValue::Kind::Null:
      return truth.empty() || truth == "None" || truth == "NULL";
    case ColumnValue::Kind::Integer:
      return truth == std::to_string(v.integer);
    case ColumnValue::Kind::Real: {
      char* end = nullptr;
      const double t = std::strtod(truth.c_str(), &end);
      return end != truth.c_str() && *end == '\0' &&
             std::fabs(t - v.real) <= 1e-9 * std::max(1.0, std::fabs(t));
    }
    case ColumnValue::Kind::Text:
      return v.bytes == truth;
    case ColumnValue::Kind::Blob:
      return v.bytes == truth;
  }
  return false;
}

// The rows the SQLite library returns for `table`: the live rows as they
// really are (the ground-truth files of a few databases label rows live that
// their own script deleted). Empty when the library cannot read the table.
bool libraryRows(const fs::path& db, const std::string& table, std::vector<std::vector<ColumnValue>>& rows) {
  fq::ReadOnlyDatabase database(db);
  if (!database.ok()) return false;
  std::string quoted = "\"";
  for (const char c : table) quoted += (c == '"') ? std::string("\"\"") : std::string(1, c);
  quoted += "\"";
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(database.handle(), ("SELECT * FROM " + quoted).c_str(), -1, &stmt, nullptr) !=
      SQLITE_OK) {
    return false;
  }
  int step = SQLITE_ROW;
  while ((step = sqlite3_step(stmt)) == SQLITE_ROW) {
    std::vector<ColumnValue> row;
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
      ColumnValue v = fq::LibraryColumnValue(stmt, i);
      row.push_back(std::move(v));
    }
    rows.push_back(std::move(row));
  }
  sqlite3_finalize(stmt);
  return step == SQLITE_DONE;
}

struct FoundRow {
  int32_t firstColumn = 0;
  std::vector<ColumnValue> values;
};

// Every column must match; the row id alias column of a carved row is unknown
// and matches anything.
bool rowMatches(const FoundRow& row, const std::vector<std::string>& truth, int32_t rowIdColumn) {
  if (truth.empty()) return false;
  const auto count = static_cast<int32_t>(truth.size());
  if (row.firstColumn + static_cast<int32_t>(row.values.size()) != count) return false;
  for (int32_t c = 0; c < count; ++c) {
    if (c == rowIdColumn) continue;
    if (c < row.firstColumn) return false;
    if (!valueMatches(row.values[static_cast<size_t>(c - row.firstColumn)], truth[static_cast<size_t>(c)]))
      return false;
  }
  return true;
}

bool rowMatches(const FoundRow& row, const std::vector<ColumnValue>& truth, int32_t rowIdColumn) {
  const auto count = static_cast<int32_t>(truth.size());
  if (count == 0 || row.firstColumn + static_cast<int32_t>(row.values.size()) != count) return false;
  for (int32_t c = 0; c < count; ++c) {
    if (c == rowIdColumn) continue;
    if (c < row.firstColumn) return false;
    if (!(row.values[static_cast<size_t>(c - row.firstColumn)] == truth[static_cast<size_t>(c)]))
      return false;
  }
  return true;
}

struct Score {
  int databases = 0;
  int unreadable = 0;
  int deletedTruth = 0;
  int recovered = 0;
  int reportedDeleted = 0;
  int correctDeleted = 0;
  int invented = 0;
  int liveAsDeleted = 0;
  int mislabelled = 0;  // deleted rows the ground truth calls live
  int duplicates = 0;   // deleted rows reported again: counted as wrong
  int liveTruth = 0;
  int liveFound = 0;
  int liveMissed = 0;  // of tables the library reads
};

// The values of a reported row as one string, to tell a row reported twice.
std::string keyOf(const FoundRow& row) {
  std::string key = std::to_string(row.firstColumn);
  for (const ColumnValue& v : row.values) {
    key += '|' + std::to_string(static_cast<int>(v.kind)) + ':' + std::to_string(v.integer) + ':' +
           std::to_string(v.real) + ':' + std::to_string(v.bytes.size()) + ':' + v.bytes;
  }
  return key;
}

void scoreDatabase(const fs::path& db, Score& score, bool verbose) {
  ++score.databases;
  fs::path xmlPath = db;
  xmlPath.replace_extension(".xml");
  const auto truth = readTruth(xmlPath);
  fq::SqliteFileReader reader;
  if (reader.open(db) != 0) {
    ++score.unreadable;
    for (const auto& [name, t] : truth) score.deletedTruth += static_cast<int>(t.deleted.size());
    return;
  }
  const std::vector<fq::TableSchema> schemas = fq::ListTables(reader);
  for (const auto& entry : truth) {
    const std::string& name = entry.first;  // named, not bound: lambdas below capture them
    const TruthTable& t = entry.second;
    score.deletedTruth += static_cast<int>(t.deleted.size());
    const auto schema = std::find_if(schemas.begin(), schemas.end(),
                                     [&](const auto& s) { return xmlLineEnds(s.name) == name; });
    std::vector<std::vector<ColumnValue>> library;
    const bool haveLibrary = libraryRows(db, schema == schemas.end() ? name : schema->name, library);
    score.liveTruth += static_cast<int>(haveLibrary ? library.size() : t.live.size());
    if (schema == schemas.end()) {
      if (verbose) std::fprintf(stderr, "table not found: %s %s\n", db.c_str(), name.c_str());
      continue;
    }
    std::vector<FoundRow> deleted;
    std::vector<bool> recovered(t.deleted.size(), false);
    std::vector<bool> liveSeen(haveLibrary ? library.size() : t.live.size(), false);
    fq::ReadGenericRows(reader, *schema, [&](const fq::GenericRow& row) {
      FoundRow found{row.firstColumn, row.values};
      if (row.deleted == 0) {
        for (size_t i = 0; i < liveSeen.size(); ++i) {
          if (!liveSeen[i] &&
              (haveLibrary ? rowMatches(found, library[i], -1) : rowMatches(found, t.live[i], -1))) {
            liveSeen[i] = true;
            break;
          }
        }
        return;
      }
      deleted.push_back(std::move(found));
    });
    std::set<std::string> reported;
    for (const FoundRow& row : deleted) {
      ++score.reportedDeleted;
      if (!reported.insert(keyOf(row)).second) {
        ++score.duplicates;
        continue;
      }
      bool matchedDeleted = false;
      for (size_t i = 0; i < t.deleted.size(); ++i) {
        if (rowMatches(row, t.deleted[i], schema->rowIdColumn)) {
          recovered[i] = true;
          matchedDeleted = true;
        }
      }
      if (matchedDeleted) {
        ++score.correctDeleted;
        continue;
      }
      const bool matchedLabelledLive = std::any_of(t.live.begin(), t.live.end(), [&](const auto& live) {
        return rowMatches(row, live, schema->rowIdColumn);
      });
      const bool matchedLive =
          haveLibrary
              ? std::any_of(library.begin(), library.end(),
                            [&](const auto& live) { return rowMatches(row, live, schema->rowIdColumn); })
              : matchedLabelledLive;
      if (matchedLabelledLive && !matchedLive) {
        ++score.mislabelled;
      } else if (matchedLive) {
        ++score.liveAsDeleted;
        if (verbose)
          std::fprintf(stderr, "live row reported as deleted: %s table %s\n", db.c_str(), name.c_str());
      } else {
        ++score.invented;
      }
    }
    score.recovered += static_cast<int>(std::count(recovered.begin(), recovered.end(), true));
    const auto liveRead = static_cast<int>(std::count(liveSeen.begin(), liveSeen.end(), true));
    score.liveFound += liveRead;
    if (haveLibrary) score.liveMissed += static_cast<int>(liveSeen.size()) - liveRead;
    if (verbose && liveRead != static_cast<int>(liveSeen.size())) {
      std::fprintf(stderr, "live rows read %d/%zu: %s table %s\n", liveRead, liveSeen.size(), db.c_str(),
                   name.c_str());
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  bool check = false;
  bool verbose = false;
  std::string root;
  // --require CAT:RECALL:PRECISION: the least recall and precision of deleted
  // rows category CAT must reach (in every corpus version), checked with --check.
  struct Requirement {
    std::string category;
    double recall = 0;
    double precision = 0;
  };
  std::vector<Requirement> requirements;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--check") {
      check = true;
    } else if (arg == "--require" && i + 1 < argc) {
      Requirement r;
      const std::string spec = argv[++i];
      const size_t a = spec.find(':');
      const size_t b = spec.find(':', a == std::string::npos ? a : a + 1);
      if (a == std::string::npos || b == std::string::npos) {
        std::fprintf(stderr, "score-corpus: --require wants CAT:RECALL:PRECISION, not %s\n", spec.c_str());
        return 2;
      }
      r.category = spec.substr(0, a);
      r.recall = std::atof(spec.substr(a + 1, b - a - 1).c_str());
      r.precision = std::atof(spec.substr(b + 1).c_str());
      requirements.push_back(r);
    } else if (arg == "--verbose") {
      verbose = true;
    } else {
      root = arg;
    }
  }
  if (root.empty()) {
    std::fprintf(
        stderr, "usage: score-corpus [--check] [--verbose] [--require CAT:RECALL:PRECISION]... CORPUS_DIR\n");
    return 2;
  }
  if (!fs::is_directory(root)) {
    std::fprintf(stderr, "score-corpus: no corpus at %s\n", root.c_str());
    return check ? 77 : 2;
  }
  std::map<std::string, Score> scores;  // "v2.0/0C" -> score
  std::vector<fs::path> databases;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file() && entry.path().extension() == ".db") databases.push_back(entry.path());
  }
  std::sort(databases.begin(), databases.end());
  for (const fs::path& db : databases) {
    const std::string version = db.parent_path().parent_path().filename().string();
    const std::string key =
        version.substr(version.rfind('_') + 1) + "/" + db.parent_path().filename().string();
    scoreDatabase(db, scores[key], verbose);
  }
  Score total;
  bool requirementsMet = true;
  std::printf("%-9s %4s %5s %8s %8s %7s %9s %9s %8s %6s %9s %12s\n", "category", "dbs", "unrd", "deleted",
              "recalled", "recall", "reported", "precision", "invented", "dupes", "live-del", "live-read");
  for (const auto& [key, s] : scores) {
    const double recall = s.deletedTruth ? double(s.recovered) / s.deletedTruth : 0;
    const double precision = s.reportedDeleted ? double(s.correctDeleted) / s.reportedDeleted : 0;
    std::printf("%-9s %4d %5d %8d %8d %7.2f %9d %9.2f %8d %6d %9d %6d/%-5d\n", key.c_str(), s.databases,
                s.unreadable, s.deletedTruth, s.recovered, recall, s.reportedDeleted, precision, s.invented,
                s.duplicates, s.liveAsDeleted, s.liveFound, s.liveTruth);
    for (const Requirement& r : requirements) {
      if (key.size() < r.category.size() ||
          key.compare(key.size() - r.category.size(), r.category.size(), r.category) != 0) {
        continue;
      }
      if (recall < r.recall || (s.reportedDeleted != 0 && precision < r.precision)) {
        std::fprintf(stderr, "%s: recall %.2f and precision %.2f, below the required %.2f and %.2f\n",
                     key.c_str(), recall, precision, r.recall, r.precision);
        requirementsMet = false;
      }
    }
    total.databases += s.databases;
    total.deletedTruth += s.deletedTruth;
    total.recovered += s.recovered;
    total.reportedDeleted += s.reportedDeleted;
    total.correctDeleted += s.correctDeleted;
    total.invented += s.invented;
    total.duplicates += s.duplicates;
    total.liveAsDeleted += s.liveAsDeleted;
    total.mislabelled += s.mislabelled;
    total.liveTruth += s.liveTruth;
    total.liveFound += s.liveFound;
    total.liveMissed += s.liveMissed;
  }
  std::printf(
      "total: %d databases, deleted recall %d/%d, invented %d, reported twice %d, live reported as deleted "
      "%d, deleted rows the truth labels live %d, live rows read %d/%d, live rows missed %d\n",
      total.databases, total.recovered, total.deletedTruth, total.invented, total.duplicates,
      total.liveAsDeleted, total.mislabelled, total.liveFound, total.liveTruth, total.liveMissed);
  return (check && (total.liveAsDeleted != 0 || total.liveMissed != 0 || !requirementsMet)) ? 1 : 0;
}
