#include <gtest/gtest.h>

#include <algorithm>
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

// The lookup searches plainly at first and builds its index once that has
// cost more than the building would: asking this many numbers that match
// nothing passes any such budget, so the questions after it go to the index.
void AskUnmatchedNumbers(ContactNameLookup& lookup) {
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(lookup.nameFor("#" + std::to_string(i)), "");
}

TEST(ContactNameLookup, FindsTheFirstContactHoldingTheNumber) {
  const auto contacts = Contacts({{"Long", "+15551234567 0015551234567"},
                                  {"Short", "5551234567"},
                                  {"Mail", "ann@example.com"},
                                  {"Empty", ""},
                                  {"Tail", "999"}});
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
  for (const bool indexed : {false, true}) {
    ContactNameLookup lookup(contacts);
    if (indexed) AskUnmatchedNumbers(lookup);
    for (const auto& c : cases) {
      EXPECT_EQ(lookup.nameFor(c.number), c.name) << c.number << (indexed ? " (index)" : "");
      EXPECT_EQ(lookup.nameFor(c.number), c.name) << c.number << " (asked again)";
    }
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
    ContactNameLookup indexed(contacts);
    AskUnmatchedNumbers(indexed);
    for (int q = 0; q < 200; ++q) {
      std::string number = text(1 + random() % 8);
      if (q % 3 == 0 && !contacts[q % 40].phone.empty()) {  // a piece of a real phone text
        const std::string& phone = contacts[q % 40].phone;
        const size_t from = random() % phone.size();
        number = phone.substr(from, 1 + random() % 12);
      }
      const std::string expected = NameOfContactHolding(contacts, number);
      ASSERT_EQ(lookup.nameFor(number), expected) << number;
      ASSERT_EQ(indexed.nameFor(number), expected) << number << " (index)";
    }
  }
}

// A phone-sized book in the shapes phones store (several spellings of one
// number in a contact, shared area codes, mail addresses), asked the numbers
// messages and calls carry: whole numbers, their local parts, and strangers.
// The answers must not depend on when the index takes over.
TEST(ContactNameLookup, AgreesWithTheLinearSearchOnAGeneratedAddressBook) {
  std::mt19937 random(19);
  const auto digits = [&](size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s.push_back(static_cast<char>('0' + random() % 10));
    return s;
  };
  std::vector<std::pair<std::string, std::string>> entries;
  std::vector<std::string> numbers;
  for (int i = 0; i < 300; ++i) {
    const std::string area = i % 3 == 0 ? "555" : digits(3);
    const std::string local = digits(7);
    std::string phone;
    switch (random() % 4) {
      case 0:
        phone = "+1" + area + local;
        break;
      case 1:
        phone = "(" + area + ") " + local.substr(0, 3) + "-" + local.substr(3);
        break;
      case 2:
        phone = "+1" + area + local + " 1" + area + local + " " + area + local;
        break;
      default:
        phone = "person" + std::to_string(i) + "@example.com";
        break;
    }
    entries.emplace_back("Name " + std::to_string(i), phone);
    numbers.push_back("+1" + area + local);
    numbers.push_back(local);
    numbers.push_back(area + local.substr(0, 3));
    numbers.push_back("+1" + digits(10));
    numbers.push_back("person" + std::to_string(i) + "@example.com");
  }
  std::shuffle(numbers.begin(), numbers.end(), random);
  const auto contacts = Contacts(entries);
  ContactNameLookup lookup(contacts);
  for (const std::string& number : numbers) {
    ASSERT_EQ(lookup.nameFor(number), NameOfContactHolding(contacts, number)) << number;
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
