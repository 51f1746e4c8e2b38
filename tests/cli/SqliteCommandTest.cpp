// fernquill-cli sqlite: rows of any table, and the old copies a rewrite leaves
// in free space marked as earlier versions of their live rows, not deletions.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/session/SessionFixtures.h"
#include "tests/support/CliRunner.h"
#include "tools/backupbuilder/RealPhoneLayouts.h"
#include "tools/backupbuilder/SqliteDatabaseBuilder.h"

namespace fq {
namespace {

using builder::PhoneSystem;
using Json = nlohmann::json;

constexpr int kRows = 30;

std::string identityOf(int i) {
  char text[40];
  std::snprintf(text, sizeof text, "6F1C2A9E-41B7-4D0A-9C3E-%012X", i);
  return text;
}
std::string textOf(int i) { return "Message number " + std::to_string(i) + " about the harbour walk"; }

std::vector<Json> jsonLines(const std::string& out) {
  std::vector<Json> rows;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) rows.push_back(Json::parse(line));
  return rows;
}

TEST(SqliteCommand, MarksEarlierVersionsOfLiveRowsAndNothingElse) {
  struct Case {
    const char* table;
    size_t identity;  // the identity column's position in the rows' values
    size_t text;
    builder::SqliteRecipe recipe;
  };
  std::vector<Case> cases;
  {
    // Every third message marked read and edited; two others deleted.
    Case c{"message", 1, 2, {}};
    c.recipe.statements = builder::RealMessageTables(PhoneSystem::Ios17);
    for (int i = 1; i <= kRows; ++i) {
      builder::MessageRow m;
      m.rowId = i;
      m.guid = identityOf(i);
      m.text = textOf(i);
      m.handleRowId = 1;
      m.appleSeconds = 600000000 + i;
      c.recipe.statements.push_back(builder::RealInsertMessage(PhoneSystem::Ios17, m));
    }
    c.recipe.deletions = {
        "UPDATE message SET text = text || ' (edited on the phone)', is_read = 1 WHERE ROWID % 3 = 0",
        "DELETE FROM message WHERE ROWID IN (4, 11)"};
    cases.push_back(std::move(c));
  }
  {
    Case c{"ZWAMESSAGE", 31, 32, {}};
    c.recipe.statements = builder::RealWhatsAppTables(PhoneSystem::Ios17);
    for (int i = 1; i <= kRows; ++i) {
      builder::WhatsAppMessageRow m;
      m.rowId = i;
      m.chatRowId = 1;
      m.appleSeconds = 600000000.5 + i;
      m.text = textOf(i);
      c.recipe.statements.push_back(builder::RealInsertWhatsAppMessage(PhoneSystem::Ios17, m, identityOf(i)));
    }
    c.recipe.deletions = {
        "UPDATE ZWAMESSAGE SET ZTEXT = ZTEXT || ' (edited on the phone)', ZMESSAGESTATUS = 13 WHERE Z_PK % 3 "
        "= 0",
        "DELETE FROM ZWAMESSAGE WHERE Z_PK IN (4, 11)"};
    cases.push_back(std::move(c));
  }
  testsupport::ScratchFolder scratch;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    const std::filesystem::path db = scratch / (std::string(c.table) + ".sqlite");
    std::string error;
    ASSERT_TRUE(builder::WriteSqliteDatabase(db, c.recipe, &error)) << error;
    const auto run =
        testsupport::RunCli(scratch.path(), "sqlite '" + db.string() + "' --table " + c.table + " --json");
    ASSERT_EQ(run.status, 0) << run.err;

    std::set<std::string> live;
    int earlier = 0;
    for (const Json& row : jsonLines(run.out)) {
      const Json& values = row["values"];
      const bool marked = row.value("earlier_version", false);
      if (row["deleted"] == 0) {
        EXPECT_FALSE(marked) << row;
        live.insert(values[c.identity].get<std::string>());
        continue;
      }
      if (!marked) {
        // A true deletion, or a copy that lost its identity: never the old
        // text of a row that still lives.
        if (values.size() > c.text && values[c.text].is_string()) {
          for (int i = 3; i <= kRows; i += 3) EXPECT_NE(values[c.text], textOf(i)) << row;
        }
        continue;
      }
      ++earlier;
      // The old copy of a rewritten row: its identity lives, its text is the old one.
      const std::string identity = values[c.identity].get<std::string>();
      EXPECT_TRUE(live.contains(identity)) << row;
      EXPECT_NE(identity, identityOf(4));
      EXPECT_NE(identity, identityOf(11));
      if (values[c.text].is_string()) {
        EXPECT_EQ(values[c.text].get<std::string>().find("edited"), std::string::npos);
      }
    }
    EXPECT_EQ(live.size(), static_cast<size_t>(kRows - 2));
    EXPECT_GT(earlier, 0) << "no old copy of a rewritten row came back";

    // The line format names it too.
    const auto text = testsupport::RunCli(scratch.path(), "sqlite '" + db.string() + "' --table " + c.table);
    EXPECT_NE(text.out.find("\tearlier version\t"), std::string::npos);
  }
}

// A virtual table lists its rows under its own name, read from its shadow
// tables, which list theirs (and their deleted rows) under theirs.
TEST(SqliteCommand, VirtualTablesListTheirRowsAsLiveRows) {
  builder::SqliteRecipe recipe;
  recipe.statements = {"CREATE VIRTUAL TABLE f USING fts4(title, body)",
                       "CREATE VIRTUAL TABLE r USING rtree(id, x0, x1)"};
  for (int i = 1; i <= 5; ++i) {
    recipe.statements.push_back("INSERT INTO f VALUES ('title " + std::to_string(i) + "', '" + textOf(i) +
                                "')");
    recipe.statements.push_back("INSERT INTO r VALUES (" + std::to_string(i) + ", 0.5, 2)");
  }
  recipe.deletions = {"DELETE FROM f WHERE docid = 2"};
  testsupport::ScratchFolder scratch;
  const std::filesystem::path db = scratch / "virtual.sqlite";
  std::string error;
  ASSERT_TRUE(builder::WriteSqliteDatabase(db, recipe, &error)) << error;
  const auto run = testsupport::RunCli(scratch.path(), "sqlite '" + db.string() + "' --json");
  ASSERT_EQ(run.status, 0) << run.err;

  std::map<std::string, std::vector<Json>> live;
  std::map<std::string, int> deleted;
  for (const Json& row : jsonLines(run.out)) {
    if (row["deleted"] == 0) {
      live[row["table"].get<std::string>()].push_back(row);
    } else {
      ++deleted[row["table"].get<std::string>()];
    }
  }
  ASSERT_EQ(live["f"].size(), 4u);
  EXPECT_EQ(live["f"][0]["values"], Json::array({"title 1", textOf(1)}));
  EXPECT_EQ(live["f"][1]["row_id"], 3);
  EXPECT_EQ(live["f_content"].size(), 4u);
  ASSERT_EQ(live["r"].size(), 5u);
  EXPECT_EQ(live["r"][4]["values"], Json::array({5, 0.5, 2.0}));
  EXPECT_EQ(deleted["f"], 0);
  EXPECT_EQ(deleted["r"], 0);
}

}  // namespace
}  // namespace fq
