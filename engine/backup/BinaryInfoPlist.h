#pragma once
// The keys the backup list shows, read from an Info.plist written as a binary
// property list (newer sync software writes that form; the XML form is read
// line by line by the backup discovery).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace fq {

// A binary Info.plist larger than this is not read (real ones are far below).
inline constexpr size_t kMaxBinaryInfoPlistBytes = size_t{64} << 20;

// The raw values found; a key that is missing or of another type stays none.
struct InfoPlistValues {
  std::optional<std::string> displayName;     // UTF-8 as stored
  std::optional<std::string> lastBackupDate;  // UTC "YYYY-MM-DDTHH:MM:SSZ", as the XML form writes it
  std::optional<std::string> phoneNumber;
  std::optional<std::string> productVersion;
  std::optional<std::string> serialNumber;
};

// True when `head` starts with the binary property list magic "bplist00".
bool IsBinaryPlist(std::span<const uint8_t> head);

// The values of a binary property list whose root is a dictionary; none when
// the bytes are not one (damaged, another root type, too large).
std::optional<InfoPlistValues> ReadBinaryInfoPlist(std::span<const uint8_t> bytes);

}  // namespace fq
