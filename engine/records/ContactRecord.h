#pragma once
// One contact of the address book.
#include <cstdint>
#include <string>

namespace fq {

struct ContactRecord {
  int32_t deleted = 0;
  std::string email;
  std::string address;
  std::string social;
  std::string url;
  std::string phone;  // as stored; in the contact list one spelling per line
  std::string company;
  std::string name;  // first name immediately followed by last name
  bool operator==(const ContactRecord&) const = default;
};

}  // namespace fq
