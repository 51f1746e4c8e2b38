// Decoder of the address book's full-text content table, one row a contact.
#include "engine/sqlite/KnownTableDecoder.h"
#include "engine/categories/TableDecoders.h"

namespace fq {

namespace {

class ContactDecoder final : public KnownTableDecoder {
 public:
  explicit ContactDecoder(std::vector<ContactRecord>& out)
      : KnownTableDecoder("ABPersonFullTextSearch_content"), m_out(out) {}
  bool emptyFreePageMatches() const override { return true; }

  // Carved contacts take the type-list length of the last intact row.
  CarvedLayout carvedLayout(const SqliteFileReader& reader) override {
    if (reader.contactHeaderSerialBytes() != 0) return CarvedLayout{reader.contactHeaderSerialBytes(), true};
    return CarvedLayout{reader.expectedColumnCount(), false};
  }

  void visit(SqliteFileReader& reader, const TableRow& row) override {
    if (!row.carved) {
      reader.setContactHeaderSerialBytes(static_cast<int32_t>(row.headerSize) - row.headerSizeLength);
      if (row.rowId > reader.highestContactRowId()) reader.setHighestContactRowId(row.rowId);
    }
    ContactRecord c;
    c.deleted = row.deleted;
    // Newer systems insert one column before the phone.
    const int32_t s = reader.newerThan11() ? 1 : 0;
    std::string first;
    std::string last;
    if (!readText(row.column(1), first) || !readText(row.column(2), last) ||
        !readText(row.column(7), c.company) || !readText(row.column(s + 16), c.phone) ||
        !readText(row.column(s + 17), c.email) || !readText(row.column(s + 18), c.address) ||
        !readText(row.column(s + 19), c.social) || !readText(row.column(s + 20), c.url)) {
      return;
    }
    if (hasControlCharacter(c.phone)) return;
    c.name = first + last;
    m_out.push_back(std::move(c));
  }

 private:
  std::vector<ContactRecord>& m_out;
};

}  // namespace

int32_t DecodeContactTable(SqliteFileReader& reader, std::vector<ContactRecord>& out) {
  return RunDecoder<ContactDecoder>(reader, out);
}

}  // namespace fq
