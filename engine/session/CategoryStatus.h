#pragma once
// Whether a category's database was read: read, absent from the backup,
// unreadable (with the system's reason) or damaged (read in part). A category
// that shows 0 items for any reason but "read" says so.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace fq {

enum class CategoryState { Read, Absent, Unreadable, Damaged };

struct CategoryStatus {
  CategoryState state = CategoryState::Read;
  std::string reason;  // empty when read
  bool operator==(const CategoryStatus&) const = default;
};

// "read", "absent", "unreadable", "damaged": the words of the scan's JSON.
std::string_view CategoryStateName(CategoryState state);

// The status of a category read from `database` (empty when the backup has
// none) by a reader that answered `result`; `what` names the file for a person.
CategoryStatus StatusOfDatabaseRead(const std::filesystem::path& database, std::string_view what,
                                    int32_t result);

// Notes live in NoteStore.sqlite since iOS 9 and in notes.sqlite before: the
// status is that of the store the phone uses, NoteStore when it is there.
CategoryStatus NotesStatus(const std::filesystem::path& legacy, const std::filesystem::path& noteStore,
                           int32_t result);

}  // namespace fq
