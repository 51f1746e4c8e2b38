#include "engine/session/CategoryStatus.h"

#include <cstring>
#include <system_error>

#include "engine/ResultCodes.h"
#include "engine/sqlite/DatabaseCheck.h"

namespace fq {

std::string_view CategoryStateName(CategoryState state) {
  switch (state) {
    case CategoryState::Read:
      return "read";
    case CategoryState::Absent:
      return "absent";
    case CategoryState::Unreadable:
      return "unreadable";
    case CategoryState::Damaged:
      return "damaged";
  }
  return "unreadable";
}

CategoryStatus StatusOfDatabaseRead(const std::filesystem::path& database, std::string_view what,
                                    int32_t result) {
  std::error_code ec;
  if (database.empty() || !std::filesystem::exists(database, ec)) {
    return {CategoryState::Absent, "the backup holds no " + std::string(what)};
  }
  const std::string name(what);
  // The database's own state: a reader's result may also speak of a second
  // database it joins (the address book that names senders).
  const DatabaseCheck check = CheckDatabaseFile(database);
  if (check.openResult == kInvalid || check.openResult == kShortRead) {
    return {CategoryState::Unreadable,
            name + " is not a database this program can read (damaged or not SQLite)"};
  }
  if (check.openResult > 0) return {CategoryState::Unreadable, name + ": " + std::strerror(check.openResult)};
  if (check.openResult != kOk) {
    return {CategoryState::Unreadable,
            name + " could not be read (code " + std::to_string(check.openResult) + ")"};
  }
  if (!check.damage.empty()) return {CategoryState::Damaged, name + " is damaged: " + check.damage};
  if (result == kQueryFailed) {
    return {CategoryState::Damaged, name + " lacks a table it needs, or the table cannot be read"};
  }
  return {};
}

CategoryStatus NotesStatus(const std::filesystem::path& legacy, const std::filesystem::path& noteStore,
                           int32_t result) {
  std::error_code ec;
  if (!noteStore.empty() && std::filesystem::exists(noteStore, ec)) {
    return StatusOfDatabaseRead(noteStore, "notes database (NoteStore.sqlite)", result);
  }
  if (!legacy.empty() && std::filesystem::exists(legacy, ec)) {
    return StatusOfDatabaseRead(legacy, "notes database (notes.sqlite)", result);
  }
  return {CategoryState::Absent, "the backup holds no notes database (NoteStore.sqlite or notes.sqlite)"};
}

}  // namespace fq
