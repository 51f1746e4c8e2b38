#include "tests/categories/PhoneFixture.h"

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace fq::test {

void PhoneFixture::SetUp() {
  std::string pattern = (std::filesystem::temp_directory_path() / "fq-categories-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  m_folder = pattern;
}

void PhoneFixture::TearDown() {
  std::error_code ec;
  if (!m_folder.empty()) std::filesystem::remove_all(m_folder, ec);
}

std::filesystem::path PhoneFixture::writeDatabase(const std::string& name,
                                                  const builder::SqliteRecipe& spec) {
  const auto path = m_folder / name;
  std::string error;
  EXPECT_TRUE(builder::WriteSqliteDatabase(path, spec, &error)) << error;
  return path;
}

std::filesystem::path PhoneFixture::writeDatabase(const std::string& name,
                                                  std::vector<std::string> statements,
                                                  std::vector<std::string> deletions) {
  builder::SqliteRecipe spec;
  spec.statements = std::move(statements);
  spec.deletions = std::move(deletions);
  return writeDatabase(name, spec);
}

ScopedTimeZone::ScopedTimeZone(const char* zone) {
  if (const char* previous = std::getenv("TZ")) m_previous = previous;
  setenv("TZ", zone, 1);
  tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
  if (m_previous) {
    setenv("TZ", m_previous->c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

std::string LocalDateOfAppleSeconds(int64_t seconds) {
  const time_t t = static_cast<time_t>(seconds + 978307200);
  struct tm local {};
  localtime_r(&t, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

}  // namespace fq::test
