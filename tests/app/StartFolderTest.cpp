#include <gtest/gtest.h>

#include "GuiFixtures.h"
#include "app/StartFolder.h"
#include "tests/support/TempFolder.h"

namespace fq::app {
namespace {

namespace fs = std::filesystem;

TEST(StartFolder, ABackupListsWithItsNeighboursAnyOtherFolderIsTheRoot) {
  testsupport::TempFolder temp{"fq-start-folder"};
  const fs::path root = temp.path() / "backups";
  test::writeBackup(root, {"udid-1", "Phone", "2024-01-01T00:00:00Z"});
  test::writeText(temp.path() / "a-file", "x");
  const fs::path fallback = temp.path() / "fallback";
  struct Case {
    const char* name;
    fs::path given;
    fs::path root;
  };
  const Case cases[] = {
      {"nothing given", {}, fallback},
      {"a backup", root / "udid-1", root},
      {"a backup, trailing slash", root.string() + "/udid-1/", root},
      {"a folder of backups", root, root},
      {"a file", temp.path() / "a-file", fallback},
      {"a missing folder", temp.path() / "missing", fallback},
  };
  for (const auto& c : cases) EXPECT_EQ(ChooseBackupRoot(c.given, fallback), c.root) << c.name;
}

}  // namespace
}  // namespace fq::app
