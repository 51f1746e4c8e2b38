// Decoders of the notes database: note bodies and note rows (title, date and
// the link to the body).
#include "engine/categories/TableDecoders.h"
#include "engine/sqlite/AppleTime.h"
#include "engine/sqlite/KnownTableDecoder.h"

namespace fq {

namespace {

class NoteBodyDecoder final : public KnownTableDecoder {
 public:
  explicit NoteBodyDecoder(std::vector<NoteRecord>& out) : KnownTableDecoder("ZNOTEBODY"), m_out(out) {}
  void mapColumns() override { m_content = columnIndex("ZCONTENT", 4); }
  void visit(SqliteFileReader&, const TableRow& row) override {
    NoteRecord note;
    note.deleted = row.deleted;
    note.key = low32(row.rowId);
    if (!readText(row.column(m_content), note.body)) return;
    m_out.push_back(std::move(note));
  }

 private:
  std::vector<NoteRecord>& m_out;
  int32_t m_content = 4;
};

class NoteDecoder final : public KnownTableDecoder {
 public:
  explicit NoteDecoder(std::vector<NoteRecord>& out) : KnownTableDecoder("ZNOTE"), m_out(out) {}
  void mapColumns() override {
    m_body = columnIndex("ZBODY", 11);
    m_date = columnIndex("ZMODIFICATIONDATE", 14);
    m_title = columnIndex("ZTITLE", 19);
    m_guid = identityColumn();
  }
  void visit(SqliteFileReader&, const TableRow& row) override {
    if (isEarlierVersion(row, m_guid)) return;
    NoteRecord note;
    note.deleted = row.deleted;
    if (const auto key = columnInteger(row.column(m_body))) note.key = low32(*key);
    // Core Data keeps dates as floating-point seconds; integers are read too.
    if (const auto real = columnReal(row.column(m_date))) {
      note.date = DateFromAppleSecondsReal(*real);
    } else if (const auto seconds = columnInteger(row.column(m_date))) {
      note.date = DateFromAppleSeconds(*seconds);
    }
    if (!readText(row.column(m_title), note.title)) return;
    m_out.push_back(std::move(note));
  }

 private:
  std::vector<NoteRecord>& m_out;
  int32_t m_body = 11;
  int32_t m_date = 14;
  int32_t m_title = 19;
  int32_t m_guid = -1;
};

}  // namespace

int32_t DecodeNoteBodyTable(SqliteFileReader& reader, std::vector<NoteRecord>& out) {
  return RunDecoder<NoteBodyDecoder>(reader, out);
}
int32_t DecodeNoteTable(SqliteFileReader& reader, std::vector<NoteRecord>& out) {
  return RunDecoder<NoteDecoder>(reader, out);
}

}  // namespace fq
