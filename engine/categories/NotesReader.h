#pragma once
// The notes of the phone's notes database (ZNOTE with ZNOTEBODY), live and
// deleted, with their HTML-like bodies turned into plain text.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/records/NoteRecord.h"

namespace fq {

// Fills `notes`: each body with the title of its note row, then the note rows
// left without a body. 0 or the open error (the list stays empty).
int32_t readNotes(const std::filesystem::path& notesPath, std::vector<NoteRecord>& notes);

// The stored markup as plain text: entities decoded ("&amp;" last, so its
// result is not decoded again), "<div>" and "<br>" as line feeds, "</div>" dropped.
std::string PlainNoteText(std::string_view markup);

}  // namespace fq
