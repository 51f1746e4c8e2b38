#pragma once
// The notes of the modern notes store (NoteStore.sqlite, used since iOS 9):
// note rows of ZICCLOUDSYNCINGOBJECT joined with their gzip/protobuf bodies
// in ZICNOTEDATA. Columns are found by name, as their set differs by version.
#include <cstdint>
#include <filesystem>
#include <vector>

#include "engine/records/NoteRecord.h"

namespace fq {

// Appends one record per note: title, modification date and plain body (empty
// for a password-protected note). A note the user deleted (marked for
// deletion, still stored) and a row found in free space carry the deleted
// flag. 0, or the open error (nothing appended).
int32_t readNoteStore(const std::filesystem::path& noteStorePath, std::vector<NoteRecord>& notes);

// The notes of both stores a backup may hold: the legacy notes database and
// the modern store (read only when its file exists). 0 when either was read,
// else the legacy store's open error.
int32_t readAllNotes(const std::filesystem::path& legacyPath, const std::filesystem::path& noteStorePath,
                     std::vector<NoteRecord>& notes);

}  // namespace fq
