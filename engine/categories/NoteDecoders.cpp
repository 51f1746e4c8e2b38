// Decoders of the notes database: note bodies and note rows (title, date and
// the link to the body).
#include "engine/sqlite/AppleTime.h"
#include "engine/sqlite/KnownTableDecoder.h"
#include "engine/categories/TableDecoders.h"

namespace fq {

namespace {

class NoteBodyDecoder final : public KnownTableDecoder {
 public:
  explicit NoteBodyDecoder(std::vector<NoteRecord>& out) : KnownTableDecoder("ZNOTEBODY"), m_out(out) {}
  void visit(SqliteFileReader&, const TableRow& row) override {
    NoteRecord note;
    note.deleted = row.deleted;
    note.key = low32(row.rowId);
    if (!readText(row.column(4), note.body)) return;
    m_out.push_back(std::move(note));
  }

 private:
  std::vector<NoteRecord>& m_out;
};

class NoteDecoder final : public KnownTableDecoder {
 public:
  explicit NoteDecoder(std::vector<NoteRecord>& out) : KnownTableDecoder("ZNOTE"), m_out(out) {}
  void visit(SqliteFileReader&, const TableRow& row) override {
    NoteRecord note;
    note.deleted = row.deleted;
    if (const auto key = columnInteger(row.column(11))) note.key = low32(*key);
    // Core Data keeps dates as floating-point seconds; integers are read too.
    if (const auto real = columnReal(row.column(14))) {
      note.date = DateFromAppleSecondsReal(*real);
    } else if (const auto seconds = columnInteger(row.column(14))) {
      note.date = DateFromAppleSeconds(*seconds);
    }
    if (!readText(row.column(19), note.title)) return;
    m_out.push_back(std::move(note));
  }

 private:
  std::vector<NoteRecord>& m_out;
};

}  // namespace

int32_t DecodeNoteBodyTable(SqliteFileReader& reader, std::vector<NoteRecord>& out) {
  return RunDecoder<NoteBodyDecoder>(reader, out);
}
int32_t DecodeNoteTable(SqliteFileReader& reader, std::vector<NoteRecord>& out) {
  return RunDecoder<NoteDecoder>(reader, out);
}

}  // namespace fq
