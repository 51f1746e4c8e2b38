#pragma once
// Small phone databases for the category readers' tests, written by the
// builder's table writers into a folder of the test's own.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tools/backupbuilder/PhoneDatabases.h"
#include "tools/backupbuilder/SqliteDatabaseBuilder.h"

namespace fq::test {

// A fresh folder per test, removed afterwards.
class PhoneFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes `spec` as `name` into the folder and returns its path (fails the test on error).
  std::filesystem::path writeDatabase(const std::string& name, const builder::SqliteRecipe& spec);
  // A database of the given statements with nothing deleted.
  std::filesystem::path writeDatabase(const std::string& name, std::vector<std::string> statements,
                                      std::vector<std::string> deletions = {});
  const std::filesystem::path& folder() const { return m_folder; }

 private:
  std::filesystem::path m_folder;
};

// Sets TZ for the scope and puts the previous value back afterwards.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone);
  ~ScopedTimeZone();
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::optional<std::string> m_previous;
};

// The local-time date text of seconds since 2001-01-01 UTC, computed by the C
// library on its own (the readers' expected dates).
std::string LocalDateOfAppleSeconds(int64_t seconds);

}  // namespace fq::test
