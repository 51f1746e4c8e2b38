#include <gtest/gtest.h>

#include <algorithm>
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

}  // namespace
}  // namespace fq
