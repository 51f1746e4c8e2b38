#include "engine/categories/MessagesReader.h"

#include <cstdio>
#include <ctime>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/ResultCodes.h"
#include "engine/categories/ContactNames.h"
#include "engine/categories/DateOrder.h"
#include "engine/categories/DumpLine.h"
#include "engine/categories/OpenResult.h"
#include "engine/categories/RowIdIndex.h"
#include "engine/categories/TableDecoders.h"
#include "engine/sqlite/AppleTime.h"
#include "engine/sqlite/KnownTableDecoder.h"

namespace fq {
namespace {

struct MessageTables {
  std::vector<MessageRecord> messages;
  std::vector<HandleRecord> handles;
  std::vector<AttachmentRecord> attachments;
  std::vector<AttachmentLink> links;
  std::vector<ContactRecord> contacts;
};

// Reads every table, reporting after each: 0, or the first nonzero answer of
// the callback. An address book that cannot be opened leaves the contacts
// empty and its open error in `addressBookError`.
int32_t readTables(SqliteFileReader& reader, const std::filesystem::path& addressBookPath,
                   const ProgressState& progress, MessageTables& t, int64_t& highestRowId,
                   int32_t& addressBookError) {
  const auto stage = [&](int32_t divisor) {
    return progress.report(progress.current + progress.step / divisor);
  };
  DecodeMessageTable(reader, t.messages);
  if (const int32_t answer = stage(5); answer != 0) return answer;
  highestRowId = reader.highestMessageRowId();
  DecodeHandleTable(reader, t.handles);
  if (const int32_t answer = stage(4); answer != 0) return answer;
  DecodeAttachmentTable(reader, t.attachments);
  if (const int32_t answer = stage(3); answer != 0) return answer;
  DecodeAttachmentJoinTable(reader, t.links);
  if (const int32_t answer = stage(2); answer != 0) return answer;
  addressBookError = ReaderOpenResult(reader.open(addressBookPath));
  if (addressBookError == kOk) DecodeContactTable(reader, t.contacts);
  return stage(1);
}

void joinAndFile(MessageTables& t, ConversationMap& conversations) {
  const auto linkOf = FirstByRowId(t.links, [](const AttachmentLink& l) { return l.attachmentRowId; });
  for (AttachmentRecord& attachment : t.attachments) {
    if (attachment.rowId == 0) continue;
    if (const auto link = linkOf.find(attachment.rowId); link != linkOf.end()) {
      attachment.messageRowId = t.links[link->second].messageRowId;
    }
  }
  const auto handleOf = FirstByRowId(t.handles, [](const HandleRecord& h) { return h.rowId; });
  const auto attachmentOf =
      FirstByRowId(t.attachments, [](const AttachmentRecord& a) { return a.messageRowId; });
  ContactNameLookup names(t.contacts);
  for (MessageRecord& m : t.messages) {
    m.address.clear();
    if (const auto handle = handleOf.find(m.handleRowId); handle != handleOf.end()) {
      m.address = t.handles[handle->second].address;
    }
    m.contactName = names.nameFor(m.address);
    if (const auto attachment = attachmentOf.find(m.rowId); attachment != attachmentOf.end()) {
      m.attachment = t.attachments[attachment->second].fileName;
    }
  }
  FileByDateText(
      t.messages, conversations, [](const MessageRecord& m) { return m.handleRowId; },
      [](const MessageRecord&) { return true; });
}

// Seconds since 2001 now, as the dump writes the dates of deleted rows.
int64_t nowAppleSeconds() { return static_cast<int64_t>(std::time(nullptr)) - kAppleEpochOffset; }

bool isGuidText(std::span<const uint8_t> bytes) {
  if (bytes.size() != 36) return false;
  for (const uint8_t b : bytes) {
    if (b < '-' || b > 'z') return false;
  }
  return true;
}

// The field of one stored column as the dump writes it; `hex`: as
// hexadecimal digits (the attributed body) rather than a quoted text.
std::string storedField(const RowColumn& column, bool hex) {
  const uint64_t t = column.serialType;
  if (t == 0 || t == 12 || t == 13) return "NULL";
  if (t == 8 || t == 9) return t == 8 ? "0" : "1";
  // Integers of every width: the dates of newer phones are 8-byte nanosecond
  // counts, which a dump without them would lose.
  if (t >= 1 && t <= 6) return std::to_string(columnInteger(&column).value_or(0));
  if (t == 7) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", columnReal(&column).value_or(0));
    return text;
  }
  if (t < 12) return {};  // reserved types: no value to write
  std::string field;
  if (hex) {
    AppendHexField(field, column.bytes);
  } else {
    AppendQuotedField(field, column.bytes);
  }
  return field;
}

// The message table as raw lines. Its columns are found by name in the
// table's own declaration, as the message decoder finds them, so the fields a
// deleted row gets replaced are the right ones in every layout.
class MessageDump final : public KnownTableDecoder {
 public:
  MessageDump(DumpFile& file, int64_t now) : KnownTableDecoder("message"), m_file(file), m_now(now) {}

  void mapColumns() override {
    m_guid = columnIndex("guid", 1);
    m_text = columnIndex("text", 2);
    m_body = columnIndex("attributedBody", 8);
    m_accountGuid = columnIndex("account_guid", 13);
    m_date = columnIndex("date", 15);
    m_dateRead = columnIndex("date_read", 16);
    m_finished = columnIndex("is_finished", 19);
    m_fromMe = columnIndex("is_from_me", 21);
    m_read = columnIndex("is_read", 26);
    m_identity = identityColumn();
  }

  void visit(SqliteFileReader& reader, const TableRow& row) override {
    if (!row.carved) reader.setMessageColumnCount(row.headerSize < 51 ? 38 : 51);
    // The old copy of a row the phone rewrote is no deleted message.
    if (isEarlierVersion(row, m_identity)) return;
    if (const RowColumn* text = row.column(m_text); isTextColumn(text) && !IsAcceptedText(columnText(text))) {
      return;
    }
    const bool deleted = row.deleted != 0;
    if (deleted) {
      const RowColumn* account = row.column(m_accountGuid);
      if (isTextColumn(account) && !isGuidText(account->bytes)) return;
    }
    int64_t rowId = row.rowId;
    if (rowId == 0) {
      rowId = reader.highestMessageRowId() + 1;
      reader.setHighestMessageRowId(rowId);
    } else if (rowId > reader.highestMessageRowId()) {
      reader.setHighestMessageRowId(rowId);
    }
    const bool fromMe = isConstant(row.column(m_fromMe), 1);
    const std::string now = std::to_string(m_now);

    std::vector<std::string> fields;
    // The row id stands for column 0 (the row-id alias); a carved row that lost
    // its first column still starts with it, so the columns stay in place.
    fields.push_back(std::to_string(rowId));
    const int32_t end = row.firstColumn + static_cast<int32_t>(row.columns.size());
    for (int32_t c = 1; c < end; ++c) {
      const RowColumn* column = row.column(c);
      if (column == nullptr) continue;
      if (deleted && c == m_guid) {
        char guid[64];
        std::snprintf(guid, sizeof guid, "\"27B99F78-F6F0-475F-8BA1-%012llX\"",
                      static_cast<unsigned long long>(rowId) & 0xFFFFFFFFFFFFull);
        fields.emplace_back(guid);
      } else if (deleted && c == m_finished) {
        fields.emplace_back("1");
      } else if (deleted && c == m_date) {
        fields.push_back(now);
      } else if (deleted && c == m_dateRead) {
        fields.push_back(fromMe ? "0" : now);
      } else if (deleted && c == m_read) {
        fields.emplace_back(fromMe ? "0" : "1");
      } else {
        fields.push_back(storedField(*column, c == m_body));
      }
    }
    m_file.addLine(fields);
  }

 private:
  DumpFile& m_file;
  int64_t m_now;
  int32_t m_guid = 1;
  int32_t m_text = 2;
  int32_t m_body = 8;
  int32_t m_accountGuid = 13;
  int32_t m_date = 15;
  int32_t m_dateRead = 16;
  int32_t m_finished = 19;
  int32_t m_fromMe = 21;
  int32_t m_read = 26;
  int32_t m_identity = -1;  // no identity without a declaration
};

}  // namespace

int32_t readMessages(const std::filesystem::path& messagePath, const std::filesystem::path& addressBookPath,
                     bool newerThan11, const ProgressState& progress, ConversationMap& conversations,
                     int64_t& highestRowId) {
  int32_t result = kOk;
  {
    SqliteFileReader reader;
    reader.setNewerThan11(newerThan11);
    result = ReaderOpenResult(reader.open(messagePath));
    if (result == kOk) {
      MessageTables tables;
      int32_t addressBookError = kOk;
      result = readTables(reader, addressBookPath, progress, tables, highestRowId, addressBookError);
      if (result == kOk) {
        // Without the address book the messages are still listed, unnamed.
        joinAndFile(tables, conversations);
        result = addressBookError;
      }
    }
  }
  const int32_t last = progress.report(progress.current + progress.step);
  return progress.callback ? last : result;
}

int32_t writeMessagesCsv(const std::filesystem::path& messagePath, const std::filesystem::path& csvPath,
                         int64_t highestRowId) {
  SqliteFileReader reader;
  if (const int32_t open = reader.open(messagePath); open != kOk) return ReaderOpenResult(open);
  reader.setHighestMessageRowId(highestRowId);
  DumpFile file(csvPath);
  if (const int32_t open = file.openResult(); open != kOk) return open;
  MessageDump dump(file, nowAppleSeconds());
  dump.readSchema(reader);
  ReadTable(reader, dump.tableName(), dump);
  return file.finish();
}

}  // namespace fq
