#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "engine/categories/DateOrder.h"

namespace fq {
namespace {

struct Dated {
  std::string date;
};

// The order every list is shown in, computed the plain way.
std::vector<size_t> PlainOrder(const std::vector<Dated>& records) {
  std::vector<size_t> order(records.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return CompareNoCase(records[a].date, records[b].date) < 0; });
  return order;
}

TEST(DateTextOrder, OrdersLikeACaseFreeComparisonKeepingReadingOrderForEqualDates) {
  const std::vector<Dated> records = {{"2019-01-02 10:00:00"},
                                      {"2019-01-01 10:00:00"},
                                      {"2019-01-02 10:00:00"},
                                      {""},
                                      {"Unknown date TEXT longer than the rest"},
                                      {"unknown date text longer than the rest, and more"},
                                      {"UNKNOWN DATE TEXT LONGER THAN THE REST"},
                                      {"2019-01-01 09:59:59"}};
  EXPECT_EQ(DateTextOrder(records), (std::vector<size_t>{3, 7, 1, 0, 2, 4, 6, 5}));
  EXPECT_EQ(DateTextOrder(records), PlainOrder(records));

  std::mt19937 random(11);
  const std::string letters = "09:- aAzZ";
  std::vector<Dated> many(3000);
  for (auto& r : many) {
    const size_t length = random() % 30;  // on both sides of what the sort keeps side by side
    for (size_t i = 0; i < length; ++i) r.date.push_back(letters[random() % letters.size()]);
  }
  EXPECT_EQ(DateTextOrder(many), PlainOrder(many));
}

// The decoders' own dates (and empty ones) are ordered by number; any other
// text in the list sends the whole list through the text comparison. Both
// must give the plain order, with equal dates in reading order.
TEST(DateTextOrder, DecodedDatesOrderAsTheirTextsDoWithOrWithoutAnOddText) {
  std::mt19937 random(5);
  const auto date = [&] {
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u",
                  static_cast<unsigned>(random() % 3) + 1999, static_cast<unsigned>(random() % 12) + 1,
                  static_cast<unsigned>(random() % 3) + 1, static_cast<unsigned>(random() % 24),
                  static_cast<unsigned>(random() % 2), static_cast<unsigned>(random() % 60));
    return std::string(text);
  };
  const std::string odd[] = {"",
                             "2019-01-02T10:00:00",
                             "2019-01-02 10:00:0",
                             "2019-01-02 10:00:000",
                             "2019-01-02 1a:00:00",
                             "9999-99-99 99:99:99 "};
  for (const std::string& oddOne : odd) {
    std::vector<Dated> records(2000);
    for (auto& r : records) r.date = random() % 10 == 0 ? std::string() : date();
    records[random() % records.size()].date = oddOne;
    EXPECT_EQ(DateTextOrder(records), PlainOrder(records)) << oddOne;
  }
  const std::vector<Dated> edges = {{"9999-12-31 23:59:59"}, {""},
                                    {"0000-00-00 00:00:00"}, {""},
                                    {"0000-00-00 00:00:00"}, {"1970-01-01 00:00:00"}};
  EXPECT_EQ(DateTextOrder(edges), (std::vector<size_t>{1, 3, 2, 4, 5, 0}));
}

}  // namespace
}  // namespace fq
