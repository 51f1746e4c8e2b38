// Decoders of the messages database: message, handle, attachment and the
// message-attachment links.
#include "engine/categories/AttributedBody.h"
#include "engine/categories/SchemaColumns.h"
#include "engine/categories/TableDecoders.h"
#include "engine/sqlite/AppleTime.h"
#include "engine/sqlite/KnownTableDecoder.h"

namespace fq {

namespace {

class MessageDecoder final : public KnownTableDecoder {
 public:
  // `attributedBodyColumn`: where the table keeps attributedBody, -1 when it has none.
  explicit MessageDecoder(std::vector<MessageRecord>& out) : KnownTableDecoder("message"), m_out(out) {}

  void mapColumns() override {
    m_guid = identityColumn();
    m_text = columnIndex("text", 2);
    m_handle = columnIndex("handle_id", 5);
    m_date = columnIndex("date", 15);
    m_fromMe = columnIndex("is_from_me", 21);
    m_attributedBody = columnIndex("attributedBody", -1);
  }

  void visit(SqliteFileReader& reader, const TableRow& row) override {
    if (isEarlierVersion(row, m_guid)) return;
    MessageRecord m;
    m.deleted = row.deleted;
    if (!row.carved) {
      // Newer phones keep 51 columns; the header size tells the layouts apart.
      reader.setMessageColumnCount(row.headerSize < 51 ? 38 : 51);
      m.rowId = low32(row.rowId);
      if (row.rowId > reader.highestMessageRowId()) reader.setHighestMessageRowId(row.rowId);
    }
    if (const auto handle = columnInteger(row.column(m_handle))) m.handleRowId = low32(*handle);
    const RowColumn* date = row.column(m_date);
    if (date != nullptr && date->serialType == 6) {
      m.date = DateFromAppleNanoseconds(*columnInteger(date));
    } else if (const auto real = columnReal(date)) {
      m.date = DateFromAppleSecondsReal(*real / 1e9);
    } else if (const auto seconds = columnInteger(date)) {
      m.date = DateFromAppleSeconds(*seconds);
    }
    if (isConstant(row.column(m_fromMe), 1)) m.fromMe = 1;
    if (!readText(row.column(m_text), m.text)) return;
    // Since iOS 16 many rows keep their text only in the attributed-string archive.
    if (m.text.empty()) m.text = TextOfAttributedBodyColumn(row.column(m_attributedBody));
    if (m.text.empty()) return;
    m_out.push_back(std::move(m));
  }

 private:
  std::vector<MessageRecord>& m_out;
  int32_t m_guid = -1;
  int32_t m_text = 2;
  int32_t m_handle = 5;
  int32_t m_date = 15;
  int32_t m_fromMe = 21;
  int32_t m_attributedBody = -1;
};

class HandleDecoder final : public KnownTableDecoder {
 public:
  explicit HandleDecoder(std::vector<HandleRecord>& out) : KnownTableDecoder("handle"), m_out(out) {}
  void mapColumns() override { m_address = columnIndex("id", 1); }
  void visit(SqliteFileReader&, const TableRow& row) override {
    HandleRecord h;
    h.deleted = row.deleted;
    h.rowId = low32(row.rowId);
    if (!readText(row.column(m_address), h.address) || h.address.empty()) return;
    m_out.push_back(std::move(h));
  }

 private:
  std::vector<HandleRecord>& m_out;
  int32_t m_address = 1;
};

class AttachmentDecoder final : public KnownTableDecoder {
 public:
  explicit AttachmentDecoder(std::vector<AttachmentRecord>& out)
      : KnownTableDecoder("attachment"), m_out(out) {}
  void mapColumns() override { m_fileName = columnIndex("filename", 4); }
  void visit(SqliteFileReader&, const TableRow& row) override {
    AttachmentRecord a;
    a.deleted = row.deleted;
    a.rowId = low32(row.rowId);
    if (!readText(row.column(m_fileName), a.fileName) || a.fileName.empty()) return;
    m_out.push_back(std::move(a));
  }

 private:
  std::vector<AttachmentRecord>& m_out;
  int32_t m_fileName = 4;
};

class AttachmentJoinDecoder final : public KnownTableDecoder {
 public:
  explicit AttachmentJoinDecoder(std::vector<AttachmentLink>& out)
      : KnownTableDecoder("message_attachment_join"), m_out(out) {}
  void mapColumns() override {
    m_message = columnIndex("message_id", 0);
    m_attachment = columnIndex("attachment_id", 1);
  }
  void visit(SqliteFileReader&, const TableRow& row) override {
    AttachmentLink link;
    link.deleted = row.deleted;
    if (const auto message = columnInteger(row.column(m_message))) link.messageRowId = low32(*message);
    if (const auto attachment = columnInteger(row.column(m_attachment)))
      link.attachmentRowId = low32(*attachment);
    m_out.push_back(link);
  }

 private:
  std::vector<AttachmentLink>& m_out;
  int32_t m_message = 0;
  int32_t m_attachment = 1;
};

}  // namespace

int32_t DecodeMessageTable(SqliteFileReader& reader, std::vector<MessageRecord>& out) {
  return RunDecoder<MessageDecoder>(reader, out);
}
int32_t DecodeHandleTable(SqliteFileReader& reader, std::vector<HandleRecord>& out) {
  return RunDecoder<HandleDecoder>(reader, out);
}
int32_t DecodeAttachmentTable(SqliteFileReader& reader, std::vector<AttachmentRecord>& out) {
  return RunDecoder<AttachmentDecoder>(reader, out);
}
int32_t DecodeAttachmentJoinTable(SqliteFileReader& reader, std::vector<AttachmentLink>& out) {
  return RunDecoder<AttachmentJoinDecoder>(reader, out);
}

}  // namespace fq
