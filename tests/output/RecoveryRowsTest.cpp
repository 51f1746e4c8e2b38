#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/RecoveryRows.h"

namespace fq {
namespace {

namespace fs = std::filesystem;

// Rows come back with the very path text and status they were added with,
// whether the path lies inside the root (kept relative to it) or not.
TEST(RecoveryRows, GiveBackWhatWasAdded) {
  struct Case {
    const char* root;
    const char* path;
  };
  const std::vector<Case> cases = {
      {"/out/run", "/out/run/Camera Roll/IMG_0001.JPG"},
      {"/out/run", "/out/run"},                    // the root itself: a stopped run's row
      {"/out/run", "/out/run/"},                   // the root with its separator
      {"/out/run", "/out/run2/Notes/Notes.html"},  // shares the root's text, not its folder
      {"/out/run", "/elsewhere/file.txt"},
      {"/out/run", "relative/file.txt"},
      {"/out/run/", "/out/run/Message/a.html"},
      {"/out/run", "/out/run//double/slash.txt"},
      {"", "/out/run/x.txt"},
      {"/", "/x.txt"},
  };
  for (const Case& c : cases) {
    RecoveryRows rows{fs::path(c.root)};
    rows.add(c.path, "Success", true);
    rows.add(c.path, "No such file or directory", false);
    ASSERT_EQ(rows.size(), 2u);
    const RecoveryRow ok = rows.at(0);
    const RecoveryRow failed = rows.at(1);
    EXPECT_EQ(ok.path.native(), c.path) << c.root << " " << c.path;
    EXPECT_EQ(ok.status, "Success");
    EXPECT_TRUE(ok.success);
    EXPECT_EQ(failed.path.native(), c.path) << c.root << " " << c.path;
    EXPECT_EQ(failed.status, "No such file or directory");
    EXPECT_FALSE(failed.success);
  }
}

TEST(RecoveryRows, RangesAndFailuresKeepTheirOrder) {
  RecoveryRows rows{fs::path("/out/run")};
  const std::vector<RecoveryRow> added = {
      {"/out/run/a.jpg", "Success", true},
      {"/out/run/b.jpg", "Permission denied", false},
      {"/out/run/c.jpg", "Success", true},
      {"/out/run/Contacts.csv", "The table could not be read from the backup", false},
      {"/out/run/d.jpg", "Permission denied", false},
  };
  for (const auto& row : added) rows.add(row.path, row.status, row.success);

  const auto all = rows.from(0);
  ASSERT_EQ(all.size(), added.size());
  for (size_t i = 0; i < added.size(); ++i) {
    EXPECT_EQ(all[i].path, added[i].path);
    EXPECT_EQ(all[i].status, added[i].status);
    EXPECT_EQ(all[i].success, added[i].success);
  }
  const auto tail = rows.from(3);
  ASSERT_EQ(tail.size(), 2u);
  EXPECT_EQ(tail[0].path, "/out/run/Contacts.csv");
  EXPECT_TRUE(rows.from(5).empty());
  EXPECT_TRUE(rows.from(99).empty());

  const auto failures = rows.failures();
  ASSERT_EQ(failures.size(), 3u);
  EXPECT_EQ(failures[0].path, "/out/run/b.jpg");
  EXPECT_EQ(failures[1].status, "The table could not be read from the backup");
  EXPECT_EQ(failures[2].path, "/out/run/d.jpg");
  EXPECT_EQ(failures[2].status, "Permission denied");
}

}  // namespace
}  // namespace fq
