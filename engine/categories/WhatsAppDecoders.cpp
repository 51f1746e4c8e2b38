// Decoders of the WhatsApp chat database: messages (two layouts), chat
// sessions, group members and media items.
#include "engine/sqlite/AppleTime.h"
#include "engine/sqlite/KnownTableDecoder.h"
#include "engine/categories/TableDecoders.h"

namespace fq {

namespace {

// The user part of a WhatsApp address: the text before its first at sign.
std::string userPart(const std::string& address) { return address.substr(0, address.find('@')); }

class WhatsAppMessageDecoder final : public KnownTableDecoder {
 public:
  explicit WhatsAppMessageDecoder(std::vector<WhatsAppMessageRecord>& out)
      : KnownTableDecoder("ZWAMESSAGE"), m_out(out) {}

  void visit(SqliteFileReader& reader, const TableRow& row) override {
    const bool newerLayout = reader.whatsAppMessageColumnCount() > 28;
    WhatsAppMessageRecord m;
    m.deleted = row.deleted;
    m.rowId = low32(row.rowId);
    // Every text of the row must be clean, not only the ones kept.
    for (const RowColumn& column : row.columns) {
      if (isTextColumn(&column) && !column.bytes.empty() && !IsAcceptedText(columnText(&column))) return;
    }
    if (isConstant(row.column(12), 1)) m.fromMe = 1;
    const auto chat = columnInteger(row.column(19));
    const auto member = columnInteger(row.column(20));
    if (chat) m.chatRowId = low32(*chat);
    if (member) m.memberRowId = low32(*member);
    if (newerLayout) {
      if (const auto media = columnInteger(row.column(22))) m.mediaRowId = low32(*media);
    }
    const auto real = columnReal(row.column(25));
    const auto seconds = columnInteger(row.column(25));
    if (real) {
      m.date = DateFromAppleSecondsReal(*real);
    } else if (seconds) {
      m.date = DateFromAppleSeconds(*seconds);
    }
    if (!readText(row.column(32), m.text)) return;
    if (newerLayout && !chat && !member && !real && !seconds) return;
    m_out.push_back(std::move(m));
  }

 private:
  std::vector<WhatsAppMessageRecord>& m_out;
};

class WhatsAppChatDecoder final : public KnownTableDecoder {
 public:
  explicit WhatsAppChatDecoder(std::vector<WhatsAppChatRecord>& out)
      : KnownTableDecoder("ZWACHATSESSION"), m_out(out) {}
  void visit(SqliteFileReader&, const TableRow& row) override {
    WhatsAppChatRecord chat;
    chat.rowId = low32(row.rowId);
    std::string partner;
    if (!readText(row.column(20), partner) || !readText(row.column(23), chat.partnerName)) return;
    if (partner.find('@') != std::string::npos) chat.partnerPhone = userPart(partner);
    m_out.push_back(std::move(chat));
  }

 private:
  std::vector<WhatsAppChatRecord>& m_out;
};

class WhatsAppMemberDecoder final : public KnownTableDecoder {
 public:
  explicit WhatsAppMemberDecoder(std::vector<WhatsAppMemberRecord>& out)
      : KnownTableDecoder("ZWAGROUPMEMBER"), m_out(out) {}
  void visit(SqliteFileReader&, const TableRow& row) override {
    WhatsAppMemberRecord member;
    member.rowId = low32(row.rowId);
    if (const auto chat = columnInteger(row.column(7))) member.chatRowId = low32(*chat);
    std::string address;
    if (!readText(row.column(10), member.name) || !readText(row.column(12), address)) return;
    member.phone = userPart(address);
    m_out.push_back(std::move(member));
  }

 private:
  std::vector<WhatsAppMemberRecord>& m_out;
};

class WhatsAppMediaDecoder final : public KnownTableDecoder {
 public:
  explicit WhatsAppMediaDecoder(std::vector<WhatsAppMediaRecord>& out)
      : KnownTableDecoder("ZWAMEDIAITEM"), m_out(out) {}
  void visit(SqliteFileReader&, const TableRow& row) override {
    WhatsAppMediaRecord media;
    media.rowId = low32(row.rowId);
    if (!readText(row.column(18), media.path)) return;
    m_out.push_back(std::move(media));
  }

 private:
  std::vector<WhatsAppMediaRecord>& m_out;
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
