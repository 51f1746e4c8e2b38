#include "engine/categories/NotesReader.h"

#include "engine/ResultCodes.h"
#include "engine/categories/OpenResult.h"
#include "engine/categories/TableDecoders.h"

namespace fq {
namespace {

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
  std::string out;
  size_t start = 0;
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, start)) {
    out.append(text, start, at - start);
    out.append(to);
    start = at + from.size();
  }
  if (start == 0) return;
  out.append(text, start, std::string::npos);
  text = std::move(out);
}

}  // namespace

std::string PlainNoteText(std::string_view markup) {
  struct Replacement {
    std::string_view from;
    std::string_view to;
  };
  // Order matters: "&amp;" comes after the other entities so "&amp;lt;" stays "&lt;".
  static constexpr Replacement kReplacements[] = {
      {"&#39;", "'"}, {"&quot;", "\""}, {"&lt;", "<"},  {"&gt;", ">"},  {"&nbsp;", " "},
      {"&amp;", "&"}, {"<div>", "\n"},  {"</div>", ""}, {"<br>", "\n"},
  };
  std::string text(markup);
  for (const Replacement& r : kReplacements) replaceAll(text, r.from, r.to);
  return text;
}

int32_t readNotes(const std::filesystem::path& notesPath, std::vector<NoteRecord>& notes) {
  SqliteFileReader reader;
  if (const int32_t open = reader.open(notesPath); open != kOk) return ReaderOpenResult(open);
  std::vector<NoteRecord> bodies;
  std::vector<NoteRecord> noteRows;
  DecodeNoteBodyTable(reader, bodies);
  DecodeNoteTable(reader, noteRows);

  // A carved body has lost its row id (0) and a note row without a body link
  // holds 0: neither joins.
  for (NoteRecord& body : bodies) {
    if (body.key == 0) continue;
    for (auto it = noteRows.begin(); it != noteRows.end(); ++it) {
      if (it->key == body.key) {
        body.title = it->title;
        // The date lives in the note row only.
        body.date = it->date;
        noteRows.erase(it);
        break;
      }
    }
  }
  for (NoteRecord& row : noteRows) {
    if (!row.title.empty() || !row.body.empty()) bodies.push_back(std::move(row));
  }
  for (NoteRecord& note : bodies) {
    if (note.body.empty() && note.title.empty()) continue;
    note.body = PlainNoteText(note.body);
    note.title = PlainNoteText(note.title);
    notes.push_back(std::move(note));
  }
  return kOk;
}

}  // namespace fq
