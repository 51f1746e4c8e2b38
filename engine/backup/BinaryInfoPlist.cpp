#include "engine/backup/BinaryInfoPlist.h"

#include <plist/plist.h>

#include <cstring>
#include <ctime>
#include <memory>

namespace fq {
namespace {

struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};
using PlistOwner = std::unique_ptr<std::remove_pointer_t<plist_t>, PlistFree>;

std::optional<std::string> StringValue(plist_t dict, const char* key) {
  plist_t node = plist_dict_get_item(dict, key);
  if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
  uint64_t length = 0;
  const char* text = plist_get_string_ptr(node, &length);
  if (text == nullptr) return std::nullopt;
  return std::string(text, static_cast<size_t>(length));
}

// A plist date counts seconds from 2001-01-01 UTC.
std::optional<std::string> DateValue(plist_t dict, const char* key) {
  plist_t node = plist_dict_get_item(dict, key);
  if (node == nullptr || plist_get_node_type(node) != PLIST_DATE) return std::nullopt;
  int32_t seconds = 0;
  int32_t micro = 0;
  plist_get_date_val(node, &seconds, &micro);
  constexpr int64_t k2001 = 978307200;
  const time_t instant = static_cast<time_t>(k2001 + seconds);
  std::tm utc{};
  if (gmtime_r(&instant, &utc) == nullptr) return std::nullopt;
  char text[32];
  if (std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc) == 0) return std::nullopt;
  return std::string(text);
}

}  // namespace

bool IsBinaryPlist(std::span<const uint8_t> head) {
  return head.size() >= 8 && std::memcmp(head.data(), "bplist00", 8) == 0;
}

std::optional<InfoPlistValues> ReadBinaryInfoPlist(std::span<const uint8_t> bytes) {
  if (!IsBinaryPlist(bytes) || bytes.size() > kMaxBinaryInfoPlistBytes) return std::nullopt;
  plist_t parsed = nullptr;
  plist_from_bin(reinterpret_cast<const char*>(bytes.data()), static_cast<uint32_t>(bytes.size()), &parsed);
  const PlistOwner root(parsed);
  if (!root || plist_get_node_type(root.get()) != PLIST_DICT) return std::nullopt;
  InfoPlistValues values;
  values.displayName = StringValue(root.get(), "Display Name");
  values.lastBackupDate = DateValue(root.get(), "Last Backup Date");
  values.phoneNumber = StringValue(root.get(), "Phone Number");
  values.productVersion = StringValue(root.get(), "Product Version");
  values.serialNumber = StringValue(root.get(), "Serial Number");
  return values;
}

}  // namespace fq
