// Decoder of the address book's full-text content table, one row a contact.
#include "engine/categories/TableDecoders.h"
#include "engine/sqlite/KnownTableDecoder.h"

namespace fq {

namespace {

class ContactDecoder final : public KnownTableDecoder {
 public:
  explicit ContactDecoder(std::vector<ContactRecord>& out)
      : KnownTableDecoder("ABPersonFullTextSearch_content"), m_out(out) {}

  // The full-text columns are numbered in their names ("c15Phone", or
  // "c16Phone" where a column was inserted before it): found by the part
  // after the number.
  void mapColumns() override {
    m_first = field("First", 1);
    m_last = field("Last", 2);
    m_company = field("Organization", 7);
    m_phone = field("Phone", 16);
    m_email = field("Email", 17);
    m_address = field("Address", 18);
    m_social = field("SocialProfile", 19);
    m_url = field("URL", 20);
  }

  // Carved contacts take the type-list length of the last intact row.

  void visit(SqliteFileReader& reader, const TableRow& row) override {
    if (!row.carved) {
      reader.setContactHeaderSerialBytes(static_cast<int32_t>(row.headerSize) - row.headerSizeLength);
      if (row.rowId > reader.highestContactRowId()) reader.setHighestContactRowId(row.rowId);
    }
    ContactRecord c;
    c.deleted = row.deleted;
    // Without a readable declaration, newer systems insert one column before the phone.
    const int32_t s = schema().columnCount == 0 && reader.newerThan11() ? 1 : 0;
    std::string first;
    std::string last;
    if (!readText(row.column(m_first), first) || !readText(row.column(m_last), last) ||
        !readText(row.column(m_company), c.company) || !readText(row.column(s + m_phone), c.phone) ||
        !readText(row.column(s + m_email), c.email) || !readText(row.column(s + m_address), c.address) ||
        !readText(row.column(s + m_social), c.social) || !readText(row.column(s + m_url), c.url)) {
      return;
    }
    if (hasControlCharacter(c.phone)) return;
    c.name = first.empty() || last.empty() ? first + last : first + " " + last;
    m_out.push_back(std::move(c));
  }

 private:
  int32_t field(std::string_view suffix, int32_t fixed) {
    for (size_t i = 0; i < schema().columnNames.size(); ++i) {
      std::string_view name = schema().columnNames[i];
      if (name.empty() || (name.front() != 'C' && name.front() != 'c')) continue;
      name.remove_prefix(1);
      const size_t digits = name.find_first_not_of("0123456789");
      if (digits == 0 || digits == std::string_view::npos) continue;
      if (CompareNoCase(name.substr(digits), suffix) == 0) return placed(static_cast<int32_t>(i), fixed);
    }
    return placed(-1, fixed);
  }

  std::vector<ContactRecord>& m_out;
  int32_t m_first = 1;
  int32_t m_last = 2;
  int32_t m_company = 7;
  int32_t m_phone = 16;
  int32_t m_email = 17;
  int32_t m_address = 18;
  int32_t m_social = 19;
  int32_t m_url = 20;
};

}  // namespace

int32_t DecodeContactTable(SqliteFileReader& reader, std::vector<ContactRecord>& out) {
  return RunDecoder<ContactDecoder>(reader, out);
}

}  // namespace fq
