#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/sqlite/EarlierVersions.h"

namespace fq {
namespace {

// Each step is a row as the table reading meets it: live rows record their
// identity, rows from free space ask. The usual order (every live row first)
// and live rows after a question must answer alike.
TEST(EarlierVersions, ARowFromFreeSpaceIsAnEarlierVersionOnlyOfALiveRow) {
  const struct Step {
    std::string identity;
    bool deleted;
    bool expected;
  } steps[] = {
      {"A-1", false, false}, {"C-3", false, false}, {"B-2", false, false},
      {"", false, false},    {"B-2", true, true},   {"A-1", true, true},
      {"D-4", true, false},  {"", true, false},     {"b-2", true, false},  // identities compare exactly
      {"D-4", false, false}, {"D-4", true, true},   {"A-1", false, false},
      {"A-1", true, true},   {"C-3", true, true},   {"E-5", true, false},
  };
  EarlierVersions versions;
  for (const Step& step : steps) {
    EXPECT_EQ(versions.check(step.identity, step.deleted), step.expected)
        << step.identity << (step.deleted ? " (free space)" : " (live)");
  }
}

TEST(EarlierVersions, ManyLiveRowsAreAllFoundAndNoOtherIdentity) {
  EarlierVersions versions;
  for (int i = 0; i < 5000; i += 2) versions.check("guid-" + std::to_string(i), false);
  for (int i = 0; i < 5000; ++i) {
    ASSERT_EQ(versions.check("guid-" + std::to_string(i), true), i % 2 == 0) << i;
  }
}

}  // namespace
}  // namespace fq
