#pragma once
// NoteStore.sqlite as the notes app writes it since iOS 9 (domain
// AppDomainGroup-group.com.apple.notes): note, folder and account rows share
// ZICCLOUDSYNCINGOBJECT, note bodies are gzip-compressed protobuf documents
// in ZICNOTEDATA.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/backupbuilder/NoteStoreLayout.h"
#include "tools/backupbuilder/SqliteDatabaseBuilder.h"

namespace fq::builder {

inline constexpr const char* kNoteStoreDomain = "AppDomainGroup-group.com.apple.notes";
inline constexpr const char* kNoteStorePath = "NoteStore.sqlite";

struct NoteStoreNote {
  int64_t rowId = 0;                 // Z_PK of the note row
  int64_t dataRowId = 0;             // Z_PK of its ZICNOTEDATA row (ZNOTEDATA)
  std::optional<std::string> title;  // ZTITLE1
  double modifiedAppleSeconds = 0;   // ZMODIFICATIONDATE1
  std::optional<std::string> text;   // the note's text; none: ZDATA NULL
  bool locked = false;               // ZISPASSWORDPROTECTED: ZDATA holds encrypted bytes
  bool markedForDeletion = false;    // ZMARKEDFORDELETION: in "Recently Deleted"
};

// The stored ZDATA of a note text: gzip of the document 2 -> 3 -> 2.
std::vector<uint8_t> NoteStoreNoteData(std::string_view text);

// The database with an account row, its folder rows and `notes`, in the
// layout of `system` (none: the demo's own, see NoteStoreLayout.h); the notes
// whose row id is in `deletedRowIds` are deleted afterwards (note and body rows).
SqliteRecipe NoteStoreDatabase(const std::vector<NoteStoreNote>& notes,
                               const std::vector<int64_t>& deletedRowIds = {},
                               std::optional<PhoneSystem> system = std::nullopt);

}  // namespace fq::builder
