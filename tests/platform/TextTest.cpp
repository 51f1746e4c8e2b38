#include <gtest/gtest.h>

#include <string>

#include "engine/platform/Text.h"

namespace fq {
namespace {

struct TextCase {
  const char* what;
  std::string bytes;
  bool accepted;
};

TEST(IsAcceptedText, FollowsTheDatabaseTextRule) {
  const TextCase cases[] = {
      {"empty", "", true},
      {"ascii", "hello", true},
      {"two-byte", "caf\xC3\xA9", true},
      {"four-byte emoji", "\xF0\x9F\x98\x80", true},
      {"embedded NUL", std::string("a\0b", 3), false},
      {"encoded U+FFFD", "a\xEF\xBF\xBD", false},
      {"lone continuation", "\x80", false},
      {"truncated sequence", "\xC3", false},
      {"overlong slash", "\xC0\xAF", false},
      {"surrogate", "\xED\xA0\x80", false},
      {"above U+10FFFF", "\xF4\x90\x80\x80", false},
      {"invalid lead byte", "\xFF", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsAcceptedText(c.bytes), c.accepted) << c.what;
}

// Long ASCII texts are checked a word at a time: a fault is found wherever it
// sits, at the start, inside or at the end of a word, or in the short tail.
TEST(IsAcceptedText, FindsAFaultAtEveryPositionOfALongText) {
  const std::string faults[] = {std::string(1, '\0'), "\x80", "\xC3", "\xEF\xBF\xBD", "\xED\xA0\x80"};
  for (size_t length = 0; length <= 40; ++length) {
    const std::string plain(length, 'a');
    EXPECT_TRUE(IsAcceptedText(plain)) << length;
    EXPECT_TRUE(IsAcceptedText(plain + "\xC3\xA9" + plain)) << length;
    for (size_t at = 0; at <= length; ++at) {
      for (const std::string& fault : faults) {
        std::string text = plain;
        text.insert(at, fault);
        EXPECT_FALSE(IsAcceptedText(text)) << length << " " << at;
      }
    }
  }
}

TEST(CompareNoCase, OrdersAsciiWithoutCase) {
  EXPECT_EQ(CompareNoCase("IMG_0001.JPG", "img_0001.jpg"), 0);
  EXPECT_LT(CompareNoCase("a.jpg", "B.jpg"), 0);
  EXPECT_GT(CompareNoCase("2019-03-01", "2019-01-05"), 0);
  EXPECT_LT(CompareNoCase("abc", "abcd"), 0);
  // Beyond the first eight bytes, where equal words are skipped whole.
  EXPECT_EQ(CompareNoCase("2019-01-01 10:00:00 Holiday", "2019-01-01 10:00:00 HOLIDAY"), 0);
  EXPECT_LT(CompareNoCase("2019-01-01 10:00:00", "2019-01-01 10:00:01"), 0);
  EXPECT_GT(CompareNoCase("IMG_00000000_b.JPG", "img_00000000_A.jpg"), 0);
  EXPECT_GT(CompareNoCase("0123456789abcdefX", "0123456789ABCDEF"), 0);
}

TEST(ToValidUtf8, ReplacesOnlyDamagedBytes) {
  const struct {
    const char* what;
    std::string bytes;
    std::string shown;
  } cases[] = {
      {"clean text stays", "Anna's iPhone \xE2\x80\x93 caf\xC3\xA9",
       "Anna's iPhone \xE2\x80\x93 caf\xC3\xA9"},
      {"lone byte",
       "a\xFF"
       "b",
       "a\xEF\xBF\xBD"
       "b"},
      {"cut sequence at the end", "ab\xE2\x80", "ab\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"overlong", "\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"NUL kept", std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToValidUtf8(c.bytes), c.shown) << c.what;
  }
}

}  // namespace
}  // namespace fq
