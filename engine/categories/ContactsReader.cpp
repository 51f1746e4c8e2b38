#include "engine/categories/ContactsReader.h"

#include <algorithm>

#include "engine/ResultCodes.h"
#include "engine/categories/DumpLine.h"
#include "engine/categories/OpenResult.h"
#include "engine/platform/Text.h"
#include "engine/sqlite/KnownTableDecoder.h"
#include "engine/categories/TableDecoders.h"

namespace fq {
namespace {

constexpr const char* kContentTable = "ABPersonFullTextSearch_content";

class ContactDump final : public KnownTableDecoder {
 public:
  explicit ContactDump(std::vector<std::string>& lines) : KnownTableDecoder(kContentTable), m_lines(lines) {}
  bool emptyFreePageMatches() const override { return true; }
  // Carved rows take the type-list length of the last intact row, as the decoder does.
  CarvedLayout carvedLayout(const SqliteFileReader& reader) override {
    if (reader.contactHeaderSerialBytes() != 0) return CarvedLayout{reader.contactHeaderSerialBytes(), true};
    return CarvedLayout{reader.expectedColumnCount(), false};
  }

  void visit(SqliteFileReader& reader, const TableRow& row) override {
    if (!row.carved) {
      reader.setContactHeaderSerialBytes(static_cast<int32_t>(row.headerSize) - row.headerSizeLength);
    }
    std::vector<std::string> fields;
    fields.emplace_back();  // the row id, known once the row is accepted
    const int32_t end = row.firstColumn + static_cast<int32_t>(row.columns.size());
    for (int32_t c = 1; c < end; ++c) {
      const RowColumn* column = row.column(c);
      if (column == nullptr) continue;
      const uint64_t t = column->serialType;
      if (t == 0 || t == 12 || t == 13) {
        fields.emplace_back("NULL");
      } else if (t >= 1 && t <= 4) {
        fields.push_back(std::to_string(columnInteger(column).value_or(0)));
      } else if (t == 8 || t == 9) {
        fields.emplace_back(t == 8 ? "0" : "1");
      } else if (t < 12) {
        fields.emplace_back();  // 6- and 8-byte integers and floats: value not written
      } else {
        if (t % 2 == 1 && !IsAcceptedText(columnText(column))) return;
        std::string field;
        AppendQuotedField(field, column->bytes);
        fields.push_back(std::move(field));
      }
    }
    int64_t rowId = row.carved ? 0 : row.rowId;
    if (rowId == 0) {
      rowId = reader.highestContactRowId() + 1;
      reader.setHighestContactRowId(rowId);
    } else if (rowId > reader.highestContactRowId()) {
      reader.setHighestContactRowId(rowId);
    }
    fields.front() = std::to_string(rowId);
    m_lines.push_back(JoinDumpLine(fields));
  }

 private:
  std::vector<std::string>& m_lines;
};

}  // namespace

std::string CleanPhoneSpellings(std::string_view phoneText) {
  std::string result;
  std::string_view remembered;  // the last four characters of the last kept token
  size_t start = 0;
  for (size_t space = phoneText.find(' '); space != std::string_view::npos;
       start = space + 1, space = phoneText.find(' ', start)) {
    const std::string_view token = phoneText.substr(start, space - start);
    if (token.size() <= 6) continue;
    // The same number in another spelling ends in the same digits.
    const std::string_view tail = token.substr(token.size() - 4, 2);
    if (!remembered.empty() && tail == remembered.substr(0, 2)) continue;
    if (!result.empty()) result.push_back('\n');
    result.append(token);
    remembered = token.substr(token.size() - 4);
  }
  return result;
}

int32_t readContacts(const std::filesystem::path& addressBookPath, bool newerThan11,
                     std::vector<ContactRecord>& contacts, int64_t& highestRowId) {
  SqliteFileReader reader;
  reader.setNewerThan11(newerThan11);
  const int32_t open = ReaderOpenResult(reader.open(addressBookPath));
  if (open == kOk) DecodeContactTable(reader, contacts);
  std::vector<ContactRecord> kept;
  for (ContactRecord& contact : contacts) {
    if (contact.phone.empty()) continue;
    if (contact.name.empty()) contact.name = "No Name";
    contact.phone = CleanPhoneSpellings(contact.phone);
    kept.push_back(std::move(contact));
  }
  contacts = std::move(kept);
  if (contacts.size() > 1) {
    std::stable_sort(contacts.begin(), contacts.end(),
                     [](const ContactRecord& a, const ContactRecord& b) { return CompareNoCase(a.name, b.name) < 0; });
  }
  highestRowId = reader.highestContactRowId();
  return open;
}

int32_t writeContactsCsv(const std::filesystem::path& addressBookPath, const std::filesystem::path& csvPath,
                         int64_t highestRowId) {
  SqliteFileReader reader;
  if (const int32_t open = reader.open(addressBookPath); open != kOk) return ReaderOpenResult(open);
  reader.setHighestContactRowId(highestRowId);
  std::vector<std::string> lines;
  ContactDump dump(lines);
  ReadTable(reader, dump.tableName(), dump);
  return AppendDumpLines(csvPath, lines);
}

}  // namespace fq
