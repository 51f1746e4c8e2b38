// Decoders of the messages database: message, handle, attachment and the
// message-attachment links.
#include "engine/categories/AttributedBody.h"
#include "engine/categories/SchemaColumns.h"
#include "engine/sqlite/AppleTime.h"
#include "engine/sqlite/KnownTableDecoder.h"
#include "engine/categories/TableDecoders.h"

namespace fq {

namespace {

class MessageDecoder final : public KnownTableDecoder {
 public:
  // `attributedBodyColumn`: where the table keeps attributedBody, -1 when it has none.
  MessageDecoder(std::vector<MessageRecord>& out, int32_t attributedBodyColumn)
      : KnownTableDecoder("message"), m_out(out), m_attributedBodyColumn(attributedBodyColumn) {}
  bool emptyFreePageMatches() const override { return true; }

  void visit(SqliteFileReader& reader, const TableRow& row) override {
    MessageRecord m;
    m.deleted = row.deleted;
    if (!row.carved) {
      // Newer phones keep 51 columns; the header size tells the layouts apart.
      reader.setMessageColumnCount(row.headerSize < 51 ? 38 : 51);
      m.rowId = low32(row.rowId);
      if (row.rowId > reader.highestMessageRowId()) reader.setHighestMessageRowId(row.rowId);
    }
    if (const auto handle = columnInteger(row.column(5))) m.handleRowId = low32(*handle);
    const RowColumn* date = row.column(15);
    if (date != nullptr && date->serialType == 6) {
      m.date = DateFromAppleNanoseconds(*columnInteger(date));
    } else if (const auto real = columnReal(date)) {
      m.date = DateFromAppleSecondsReal(*real / 1e9);
    } else if (const auto seconds = columnInteger(date)) {
      m.date = DateFromAppleSeconds(*seconds);
    }
    if (isConstant(row.column(21), 1)) m.fromMe = 1;
    if (!readText(row.column(2), m.text)) return;
    if (m.text.empty()) m.text = TextOfAttributedBodyColumn(row.column(m_attributedBodyColumn));
    if (m.text.empty()) return;
    m_out.push_back(std::move(m));
  }

 private:
  std::vector<MessageRecord>& m_out;
  int32_t m_attributedBodyColumn;
};

class HandleDecoder final : public KnownTableDecoder {
 public:
  explicit HandleDecoder(std::vector<HandleRecord>& out) : KnownTableDecoder("handle"), m_out(out) {}
  void visit(SqliteFileReader&, const TableRow& row) override {
    HandleRecord h;
    h.deleted = row.deleted;
    h.rowId = low32(row.rowId);
    if (!readText(row.column(1), h.address) || h.address.empty()) return;
    m_out.push_back(std::move(h));
  }

 private:
  std::vector<HandleRecord>& m_out;
};

class AttachmentDecoder final : public KnownTableDecoder {
 public:
  explicit AttachmentDecoder(std::vector<AttachmentRecord>& out)
      : KnownTableDecoder("attachment"), m_out(out) {}
  void visit(SqliteFileReader&, const TableRow& row) override {
    AttachmentRecord a;
    a.deleted = row.deleted;
    a.rowId = low32(row.rowId);
    if (!readText(row.column(4), a.fileName) || a.fileName.empty()) return;
    m_out.push_back(std::move(a));
  }

 private:
  std::vector<AttachmentRecord>& m_out;
};

class AttachmentJoinDecoder final : public KnownTableDecoder {
 public:
  explicit AttachmentJoinDecoder(std::vector<AttachmentLink>& out)
      : KnownTableDecoder("message_attachment_join"), m_out(out) {}
  void visit(SqliteFileReader&, const TableRow& row) override {
    AttachmentLink link;
    link.deleted = row.deleted;
    if (const auto message = columnInteger(row.column(0))) link.messageRowId = low32(*message);
    if (const auto attachment = columnInteger(row.column(1))) link.attachmentRowId = low32(*attachment);
    m_out.push_back(link);
  }

 private:
  std::vector<AttachmentLink>& m_out;
};

}  // namespace

int32_t DecodeMessageTable(SqliteFileReader& reader, std::vector<MessageRecord>& out) {
  // Newer layouts keep the text of many rows only in attributedBody; its
  // position is read once from the table's own CREATE TABLE.
  const std::vector<TableSchema> tables = ListTables(reader);
  const TableSchema* table = FindTableSchema(tables, "message");
  MessageDecoder decoder(out, table != nullptr ? SchemaColumnIndex(*table, "attributedBody") : -1);
  return ReadTable(reader, decoder.tableName(), decoder);
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
