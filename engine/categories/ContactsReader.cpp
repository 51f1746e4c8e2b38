#include "engine/categories/ContactsReader.h"

#include <algorithm>
#include <string>
#include <vector>

#include "engine/ResultCodes.h"
#include "engine/categories/DumpLine.h"
#include "engine/categories/OpenResult.h"
#include "engine/categories/TableDecoders.h"
#include "engine/platform/Text.h"
#include "engine/sqlite/KnownTableDecoder.h"

namespace fq {
namespace {

constexpr const char* kContentTable = "ABPersonFullTextSearch_content";

class ContactDump final : public KnownTableDecoder {
 public:
  explicit ContactDump(DumpFile& file) : KnownTableDecoder(kContentTable), m_file(file) {}
  // Carved rows take the type-list length of the last intact row, as the decoder does.

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
    m_file.addLine(fields);
  }

 private:
  DumpFile& m_file;
};

// The digits a spelling dials: letters count as their keypad digit
// ("1-800-MY-APPLE" is 18006927753).
std::string digitsOf(std::string_view text) {
  static constexpr char kKeypad[] = "22233344455566677778889999";
  std::string digits;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      digits.push_back(c);
    } else if (c >= 'A' && c <= 'Z') {
      digits.push_back(kKeypad[c - 'A']);
    } else if (c >= 'a' && c <= 'z') {
      digits.push_back(kKeypad[c - 'a']);
    }
  }
  return digits;
}

bool endsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// Numbers shorter than this (service codes) are not listed.
constexpr size_t kShortestNumber = 7;

}  // namespace

std::string CleanPhoneSpellings(std::string_view phoneText) {
  // Only text followed by a space counts.
  std::vector<std::string_view> tokens;
  size_t start = 0;
  for (size_t space = phoneText.find(' '); space != std::string_view::npos;
       start = space + 1, space = phoneText.find(' ', start)) {
    if (space > start) tokens.push_back(phoneText.substr(start, space - start));
  }
  // Parts of one shown spelling ("(919)", "888-7386") are never more than a few.
  constexpr size_t kMostParts = 6;
  std::string result;
  std::vector<std::string> listed;
  std::string current;  // digits of the last number found
  size_t i = 0;
  while (i < tokens.size()) {
    const std::string first = digitsOf(tokens[i]);
    // The index's other spellings of the last number (with country or
    // international prefixes, or the local part) end alike.
    if (!current.empty() && first.size() >= kShortestNumber &&
        (endsWith(first, current) || endsWith(current, first))) {
      ++i;
      continue;
    }
    // The shown spelling may hold spaces ("(919) 888-7386"): it ends where
    // the index's international spelling of the same digits follows.
    size_t end = 0;
    std::string digits;
    for (size_t j = i; j < tokens.size() && j < i + kMostParts; ++j) {
      digits += digitsOf(tokens[j]);
      if (digits.size() >= kShortestNumber && j + 1 < tokens.size() &&
          endsWith(digitsOf(tokens[j + 1]), digits)) {
        end = j + 1;
        break;
      }
    }
    if (end == 0) {
      end = i + 1;
      digits = first;
    }
    if (digits.size() >= kShortestNumber) {
      current = digits;
      if (std::find(listed.begin(), listed.end(), digits) == listed.end()) {
        if (!result.empty()) result.push_back('\n');
        const char* from = tokens[i].data();
        result.append(from, static_cast<size_t>(tokens[end - 1].data() + tokens[end - 1].size() - from));
        listed.push_back(digits);
      }
    }
    i = end;
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
    std::stable_sort(contacts.begin(), contacts.end(), [](const ContactRecord& a, const ContactRecord& b) {
      return CompareNoCase(a.name, b.name) < 0;
    });
  }
  highestRowId = reader.highestContactRowId();
  return open;
}

int32_t writeContactsCsv(const std::filesystem::path& addressBookPath, const std::filesystem::path& csvPath,
                         int64_t highestRowId) {
  SqliteFileReader reader;
  if (const int32_t open = reader.open(addressBookPath); open != kOk) return ReaderOpenResult(open);
  reader.setHighestContactRowId(highestRowId);
  DumpFile file(csvPath);
  if (const int32_t open = file.openResult(); open != kOk) return open;
  ContactDump dump(file);
  ReadTable(reader, dump.tableName(), dump);
  return file.finish();
}

}  // namespace fq
