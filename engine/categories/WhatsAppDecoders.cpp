// Decoders of the WhatsApp chat database: messages (two layouts), chat
// sessions, group members and media items.
#include "engine/categories/TableDecoders.h"
#include "engine/sqlite/AppleTime.h"
#include "engine/sqlite/KnownTableDecoder.h"

namespace fq {

namespace {

// The user part of a WhatsApp address: the text before its first at sign.
std::string userPart(const std::string& address) { return address.substr(0, address.find('@')); }

class WhatsAppMessageDecoder final : public KnownTableDecoder {
 public:
  explicit WhatsAppMessageDecoder(std::vector<WhatsAppMessageRecord>& out)
      : KnownTableDecoder("ZWAMESSAGE"), m_out(out) {}

  void mapColumns() override {
    m_fromMe = columnIndex("ZISFROMME", 12);
    m_chat = columnIndex("ZCHATSESSION", 19);
    m_member = columnIndex("ZGROUPMEMBER", 20);
    m_media = columnIndex("ZMEDIAITEM", -1);
    m_date = columnIndex("ZMESSAGEDATE", 25);
    m_text = columnIndex("ZTEXT", 32);
    m_stanza = identityColumn();
  }

  void visit(SqliteFileReader& reader, const TableRow& row) override {
    const bool newerLayout = reader.whatsAppMessageColumnCount() > 28;
    if (isEarlierVersion(row, m_stanza)) return;
    WhatsAppMessageRecord m;
    m.deleted = row.deleted;
    m.rowId = low32(row.rowId);
    // Every text of the row must be clean, not only the ones kept.
    for (const RowColumn& column : row.columns) {
      if (isTextColumn(&column) && !column.bytes.empty() && !IsAcceptedText(columnText(&column))) return;
    }
    if (isConstant(row.column(m_fromMe), 1)) m.fromMe = 1;
    const auto chat = columnInteger(row.column(m_chat));
    const auto member = columnInteger(row.column(m_member));
    if (chat) m.chatRowId = low32(*chat);
    if (member) m.memberRowId = low32(*member);
    // Without a readable declaration only the newer layout is known to keep
    // the media item in column 22.
    const int32_t mediaColumn = schema().columnCount > 0 ? m_media : (newerLayout ? 22 : -1);
    if (const auto media = columnInteger(row.column(mediaColumn))) m.mediaRowId = low32(*media);
    const auto real = columnReal(row.column(m_date));
    const auto seconds = columnInteger(row.column(m_date));
    if (real) {
      m.date = DateFromAppleSecondsReal(*real);
    } else if (seconds) {
      m.date = DateFromAppleSeconds(*seconds);
    }
    if (!readText(row.column(m_text), m.text)) return;
    if (newerLayout && !chat && !member && !real && !seconds) return;
    m_out.push_back(std::move(m));
  }

 private:
  std::vector<WhatsAppMessageRecord>& m_out;
  int32_t m_fromMe = 12;
  int32_t m_chat = 19;
  int32_t m_member = 20;
  int32_t m_media = -1;
  int32_t m_date = 25;
  int32_t m_text = 32;
  int32_t m_stanza = -1;
};

class WhatsAppChatDecoder final : public KnownTableDecoder {
 public:
  explicit WhatsAppChatDecoder(std::vector<WhatsAppChatRecord>& out)
      : KnownTableDecoder("ZWACHATSESSION"), m_out(out) {}
  void mapColumns() override {
    m_partner = columnIndex("ZCONTACTJID", 20);
    m_name = columnIndex("ZPARTNERNAME", 23);
  }
  void visit(SqliteFileReader&, const TableRow& row) override {
    WhatsAppChatRecord chat;
    chat.rowId = low32(row.rowId);
    std::string partner;
    if (!readText(row.column(m_partner), partner) || !readText(row.column(m_name), chat.partnerName)) return;
    if (partner.find('@') != std::string::npos) chat.partnerPhone = userPart(partner);
    m_out.push_back(std::move(chat));
  }

 private:
  std::vector<WhatsAppChatRecord>& m_out;
  int32_t m_partner = 20;
  int32_t m_name = 23;
};

class WhatsAppMemberDecoder final : public KnownTableDecoder {
 public:
  explicit WhatsAppMemberDecoder(std::vector<WhatsAppMemberRecord>& out)
      : KnownTableDecoder("ZWAGROUPMEMBER"), m_out(out) {}
  void mapColumns() override {
    m_chat = columnIndex("ZCHATSESSION", 7);
    m_name = columnIndex("ZCONTACTNAME", 10);
    m_address = columnIndex("ZMEMBERJID", 12);
  }
  void visit(SqliteFileReader&, const TableRow& row) override {
    WhatsAppMemberRecord member;
    member.rowId = low32(row.rowId);
    if (const auto chat = columnInteger(row.column(m_chat))) member.chatRowId = low32(*chat);
    std::string address;
    if (!readText(row.column(m_name), member.name) || !readText(row.column(m_address), address)) return;
    member.phone = userPart(address);
    m_out.push_back(std::move(member));
  }

 private:
  std::vector<WhatsAppMemberRecord>& m_out;
  int32_t m_chat = 7;
  int32_t m_name = 10;
  int32_t m_address = 12;
};

class WhatsAppMediaDecoder final : public KnownTableDecoder {
 public:
  explicit WhatsAppMediaDecoder(std::vector<WhatsAppMediaRecord>& out)
      : KnownTableDecoder("ZWAMEDIAITEM"), m_out(out) {}
  void mapColumns() override { m_path = columnIndex("ZMEDIALOCALPATH", 18); }
  void visit(SqliteFileReader&, const TableRow& row) override {
    WhatsAppMediaRecord media;
    media.rowId = low32(row.rowId);
    if (!readText(row.column(m_path), media.path)) return;
    m_out.push_back(std::move(media));
  }

 private:
  std::vector<WhatsAppMediaRecord>& m_out;
  int32_t m_path = 18;
};

}  // namespace

int32_t DecodeWhatsAppMessageTable(SqliteFileReader& reader, std::vector<WhatsAppMessageRecord>& out) {
  return RunDecoder<WhatsAppMessageDecoder>(reader, out);
}
int32_t DecodeWhatsAppChatTable(SqliteFileReader& reader, std::vector<WhatsAppChatRecord>& out) {
  return RunDecoder<WhatsAppChatDecoder>(reader, out);
}
int32_t DecodeWhatsAppMemberTable(SqliteFileReader& reader, std::vector<WhatsAppMemberRecord>& out) {
  return RunDecoder<WhatsAppMemberDecoder>(reader, out);
}
int32_t DecodeWhatsAppMediaTable(SqliteFileReader& reader, std::vector<WhatsAppMediaRecord>& out) {
  return RunDecoder<WhatsAppMediaDecoder>(reader, out);
}

}  // namespace fq
