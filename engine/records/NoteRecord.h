#pragma once
// One note: the body row's id (or a note row's body link) joins title and body.
#include <cstdint>
#include <string>

namespace fq {

struct NoteRecord {
  int32_t deleted = 0;
  int32_t key = 0;
  std::string date;
  std::string title;
  std::string body;
  bool operator==(const NoteRecord&) const = default;
};

}  // namespace fq
