#include "engine/sqlite/ExpectedColumnCount.h"

#include "engine/platform/Text.h"

namespace fq {

int32_t ExpectedColumnCount(SqliteFileReader& reader, std::string_view tableName) {
  struct Fixed {
    std::string_view name;
    int32_t count;
  };
  static constexpr Fixed kFixed[] = {
      {"ZNOTEBODY", 7},
      {"ZNOTE", 19},
      {"handle", 5},
      {"attachment", 9},
      {"message_attachment_join", 2},
      {"call", 13},
      {"ZCALLRECORD", 17},
      {"ZWACHATSESSION", 25},
      {"ZWAGROUPMEMBER", 13},
      {"ZWAMEDIAITEM", 24},
  };
  int32_t count = 0;
  if (CompareNoCase(tableName, "message") == 0) {
    count = reader.messageColumnCount();
  } else if (CompareNoCase(tableName, "ABPersonFullTextSearch_content") == 0) {
    count = reader.contactHeaderSerialBytes() > 25 ? 25 : 24;
  } else if (CompareNoCase(tableName, "ZWAMESSAGE") == 0) {
    count = reader.whatsAppMessageColumnCount();
  } else {
    for (const Fixed& f : kFixed) {
      if (CompareNoCase(tableName, f.name) == 0) count = f.count;
    }
  }
  reader.setExpectedColumnCount(count);
  return count;
}

}  // namespace fq
