#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/categories/ContactNames.h"

namespace fq {
namespace {

std::vector<ContactRecord> Contacts(const std::vector<std::pair<std::string, std::string>>& namesAndPhones) {
  std::vector<ContactRecord> contacts;
  for (const auto& [name, phone] : namesAndPhones) {
    ContactRecord c;
    c.name = name;
    c.phone = phone;
    contacts.push_back(c);
  }
  return contacts;
}

TEST(ContactNameLookup, FindsTheFirstContactHoldingTheNumber) {
  const auto contacts = Contacts({{"Long", "+15551234567 0015551234567"},
                                  {"Short", "5551234567"},
                                  {"Mail", "ann@example.com"},
                                  {"Empty", ""},
                                  {"Tail", "999"}});
  ContactNameLookup lookup(contacts);
  const struct {
    std::string number;
    std::string name;
  } cases[] = {
      {"5551234567", "Long"},  // a substring of an earlier contact wins over an exact later one
      {"+15551234567", "Long"}, {"ann@example.com", "Mail"},
      {"99", "Tail"},       // shorter than the indexed pieces
      {"4567 00", "Long"},  // across two spellings of one contact
      {"4567ann", ""},      // never across two contacts
      {"+15559999999", ""},     {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(lookup.nameFor(c.number), c.name) << c.number;
    EXPECT_EQ(lookup.nameFor(c.number), c.name) << c.number << " (asked again)";
  }
}

TEST(ContactNameLookup, AgreesWithTheLinearSearchOnRandomPhoneBooks) {
  std::mt19937 random(7);
  const std::string alphabet = "0123456789+ ";
  const auto text = [&](size_t length) {
    std::string s;
    for (size_t i = 0; i < length; ++i) s.push_back(alphabet[random() % alphabet.size()]);
    return s;
  };
  for (int round = 0; round < 20; ++round) {
    std::vector<std::pair<std::string, std::string>> entries;
    for (int i = 0; i < 40; ++i) entries.emplace_back("c" + std::to_string(i), text(random() % 30));
    const auto contacts = Contacts(entries);
    ContactNameLookup lookup(contacts);
    for (int q = 0; q < 200; ++q) {
      std::string number = text(1 + random() % 8);
      if (q % 3 == 0 && !contacts[q % 40].phone.empty()) {  // a piece of a real phone text
        const std::string& phone = contacts[q % 40].phone;
        const size_t from = random() % phone.size();
        number = phone.substr(from, 1 + random() % 12);
      }
      ASSERT_EQ(lookup.nameFor(number), NameOfContactHolding(contacts, number)) << number;
    }
  }
}

TEST(ContactNameLookup, SearchesPlainlyWhenAPhoneTextHoldsANul) {
  const auto contacts = Contacts({{"Nul", std::string("12\0"
                                                      "34",
                                                      5)},
                                  {"Plain",
                                   "2\0"
                                   "3"}});
  ContactNameLookup lookup(contacts);
  EXPECT_EQ(lookup.nameFor(std::string("2\0"
                                       "3",
                                       3)),
            "Nul");
  EXPECT_EQ(lookup.nameFor("34"), "Nul");
}

}  // namespace
}  // namespace fq
