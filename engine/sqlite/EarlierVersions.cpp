#include "engine/sqlite/EarlierVersions.h"

#include "engine/platform/Text.h"

namespace fq {

std::string_view IdentityColumnOf(std::string_view tableName) {
  struct Identity {
    std::string_view table;
    std::string_view column;
  };
  static constexpr Identity kIdentities[] = {
      {"message", "guid"},
      {"ZWAMESSAGE", "ZSTANZAID"},
      {"ZCALLRECORD", "ZUNIQUE_ID"},
      {"ZNOTE", "ZGUID"},
  };
  for (const Identity& identity : kIdentities) {
    if (CompareNoCase(identity.table, tableName) == 0) return identity.column;
  }
  return {};
}

}  // namespace fq
