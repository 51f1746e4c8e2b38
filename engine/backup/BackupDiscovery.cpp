#include "engine/backup/BackupDiscovery.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "engine/ResultCodes.h"
#include "engine/backup/BinaryInfoPlist.h"
#include "engine/backup/WellKnownDatabases.h"
#include "engine/platform/File.h"
#include "engine/platform/Folders.h"
#include "engine/platform/Text.h"

namespace fq {
namespace {

// Info.plist lines are read in pieces of at most this many bytes.
constexpr size_t kMaxLineBytes = 2047;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// The next line (without its line feed) or the next 2047 bytes of a longer
// one; none at the end of the file.
std::optional<std::string> ReadLinePiece(std::FILE* file) {
  std::string line;
  int c = 0;
  bool any = false;
  while (line.size() < kMaxLineBytes && (c = std::getc(file)) != EOF) {
    any = true;
    if (c == '\n') return line;
    line.push_back(static_cast<char>(c));
  }
  if (!any) return std::nullopt;
  return line;
}

// The text between <tag> and </tag> on a value line; empty when the opening
// element is missing.
std::string ElementText(std::string_view line, std::string_view open, std::string_view close) {
  if (const size_t end = line.find(close); end != std::string_view::npos) line = line.substr(0, end);
  const size_t start = line.find(open);
  if (start == std::string_view::npos) return {};
  return std::string(line.substr(start + open.size()));
}

// The writer escapes "&", "<" and ">" in names; a name shows them plainly.
std::string DecodeXmlEntities(std::string_view text) {
  static constexpr std::array<std::pair<std::string_view, char>, 5> kEntities = {{
      {"&amp;", '&'},
      {"&lt;", '<'},
      {"&gt;", '>'},
      {"&quot;", '"'},
      {"&apos;", '\''},
  }};
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    bool replaced = false;
    if (text[i] == '&') {
      for (const auto& [entity, c] : kEntities) {
        if (text.substr(i, entity.size()) == entity) {
          out.push_back(c);
          i += entity.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out.push_back(text[i++]);
  }
  return out;
}

// The decimal number at the start of `text` (leading blanks and a sign
// allowed, as atoi reads it); none when no digit follows. Saturates.
std::optional<int64_t> LeadingNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value < 1'000'000'000'000LL) value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

}  // namespace

namespace {

enum class InfoKey { DisplayName, LastBackupDate, PhoneNumber, ProductVersion, SerialNumber };

// Stores one key's value, the element text of the XML form or the value of
// the binary form; both forms give the same fields.
void ApplyInfoValue(InfoKey key, std::string value, BackupInfo& info) {
  switch (key) {
    case InfoKey::DisplayName:
      info.displayName = ToValidUtf8(value);
      break;
    case InfoKey::LastBackupDate: {
      if (const size_t t = value.find('T'); t != std::string::npos) value[t] = ' ';
      if (const size_t z = value.find('Z'); z != std::string::npos) value.resize(z);
      std::string local = ConvertBackupDate(value);
      info.lastBackupDate = local.empty() ? value : local;
      break;
    }
    case InfoKey::PhoneNumber:
      info.phoneNumber = std::move(value);
      break;
    case InfoKey::ProductVersion: {
      const auto major = LeadingNumber(value);
      info.newerThan11 = major && *major > 11;
      break;
    }
    case InfoKey::SerialNumber:
      info.serialNumber = std::move(value);
      break;
  }
}

// The whole file when it fits the bound; none when it is larger or unreadable.
std::optional<std::vector<uint8_t>> ReadWholeFile(std::FILE* file) {
  std::vector<uint8_t> bytes;
  std::array<uint8_t, 65536> chunk{};
  while (true) {
    const size_t got = std::fread(chunk.data(), 1, chunk.size(), file);
    if (got > kMaxBinaryInfoPlistBytes - bytes.size()) return std::nullopt;
    bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
    if (got < chunk.size()) return std::ferror(file) ? std::nullopt : std::optional(std::move(bytes));
  }
}

}  // namespace

void ReadInfoPlistLines(std::FILE* file, BackupInfo& info) {
  while (auto line = ReadLinePiece(file)) {
    InfoKey key;
    if (line->find("<key>Display Name</key>") != std::string::npos) {
      key = InfoKey::DisplayName;
    } else if (line->find("<key>Last Backup Date</key>") != std::string::npos) {
      key = InfoKey::LastBackupDate;
    } else if (line->find("<key>Phone Number</key>") != std::string::npos) {
      key = InfoKey::PhoneNumber;
    } else if (line->find("<key>Product Version</key>") != std::string::npos) {
      key = InfoKey::ProductVersion;
    } else if (line->find("<key>Serial Number</key>") != std::string::npos) {
      key = InfoKey::SerialNumber;
    } else {
      continue;
    }
    const auto value = ReadLinePiece(file);
    if (!value) return;
    if (key == InfoKey::DisplayName) {
      ApplyInfoValue(key, DecodeXmlEntities(ElementText(*value, "<string>", "</string>")), info);
    } else if (key == InfoKey::LastBackupDate) {
      ApplyInfoValue(key, ElementText(*value, "<date>", "</date>"), info);
    } else {
      ApplyInfoValue(key, ElementText(*value, "<string>", "</string>"), info);
    }
    if (key == InfoKey::SerialNumber) return;
  }
}

void ReadInfoPlist(std::FILE* file, BackupInfo& info) {
  std::array<uint8_t, 8> magic{};
  const size_t got = std::fread(magic.data(), 1, magic.size(), file);
  if (!IsBinaryPlist(std::span(magic.data(), got))) {
    if (std::fseek(file, 0, SEEK_SET) == 0) ReadInfoPlistLines(file, info);
    return;
  }
  auto rest = ReadWholeFile(file);
  if (!rest) return;
  rest->insert(rest->begin(), magic.begin(), magic.end());
  const auto values = ReadBinaryInfoPlist(*rest);
  if (!values) return;
  const std::pair<InfoKey, const std::optional<std::string>*> fields[] = {
      {InfoKey::DisplayName, &values->displayName},   {InfoKey::LastBackupDate, &values->lastBackupDate},
      {InfoKey::PhoneNumber, &values->phoneNumber},   {InfoKey::ProductVersion, &values->productVersion},
      {InfoKey::SerialNumber, &values->serialNumber},
  };
  for (const auto& [key, value] : fields) {
    if (*value) ApplyInfoValue(key, **value, info);
  }
}

namespace {

// Opens the folder's Info.plist; null when it cannot be opened as a file.
FileHandle OpenInfoPlist(const std::filesystem::path& folder) {
  const auto path = folder / "Info.plist";
  if (!IsRegularFile(path)) return nullptr;
  return FileHandle(std::fopen(path.c_str(), "rb"));
}

BackupInfo ReadOpenedInfoPlist(const std::filesystem::path& folder, std::FILE* file) {
  BackupInfo info;
  info.folder = folder;
  ReadInfoPlist(file, info);
  info.encrypted = IsEncrypted(folder);
  return info;
}

// The folder path as the list keeps it: no trailing separator.
std::filesystem::path WithoutTrailingSeparator(const std::filesystem::path& folder) {
  std::string text = folder.string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

}  // namespace

std::filesystem::path BackupRoot(const std::filesystem::path& appDataFolder) {
  if (appDataFolder.empty()) return {};
  return appDataFolder / "Apple Computer" / "MobileSync" / "backup";
}

std::vector<std::filesystem::path> ListBackupFolders(const std::filesystem::path& backupRoot) {
  std::vector<std::filesystem::path> folders;
  std::vector<FolderEntry> entries;
  if (backupRoot.empty() || ListFolder(backupRoot, entries) != 0) return folders;
  for (const auto& entry : entries) {
    if (!entry.name.empty() && entry.name[0] == '.') continue;
    folders.push_back(backupRoot / entry.name);
  }
  return folders;
}

int32_t ListBackups(const std::vector<std::filesystem::path>& backupFolders, std::vector<BackupInfo>& list) {
  for (const auto& folder : backupFolders) {
    const auto file = OpenInfoPlist(folder);
    if (!file) continue;
    list.push_back(ReadOpenedInfoPlist(WithoutTrailingSeparator(folder), file.get()));
  }
  if (list.size() >= 2) {
    std::stable_sort(list.begin(), list.end(), [](const BackupInfo& a, const BackupInfo& b) {
      return CompareNoCase(a.lastBackupDate, b.lastBackupDate) > 0;
    });
  }
  return kOk;
}

int32_t ReadBackupFolder(const std::filesystem::path& folder, BackupInfo& info) {
  const auto file = OpenInfoPlist(folder);
  if (!file) return kInvalid;
  info = ReadOpenedInfoPlist(WithoutTrailingSeparator(folder), file.get());
  return kOk;
}

bool IsEncrypted(const std::filesystem::path& folder) {
  const std::string id(wellknown::kAddressBook);
  const auto probe = IsRegularFile(folder / "Manifest.db") ? folder / id.substr(0, 2) / id : folder / id;
  File file = File::OpenRead(probe);
  if (!file.ok()) {
    auto withSuffix = probe;
    withSuffix += ".mddata";
    file = File::OpenRead(withSuffix);
    if (!file.ok()) return false;
  }
  std::array<uint8_t, 512> head{};
  size_t got = 0;
  file.readAt(0, head, got);
  const std::string_view start(reinterpret_cast<const char*>(head.data()), 6);
  return CompareNoCase(start, "SQLite") != 0;
}

std::string ConvertBackupDate(std::string_view utcText) {
  // Each number follows its separator; a missing separator gives no date.
  const auto after = [&utcText](size_t from, char separator) -> std::optional<size_t> {
    if (from > utcText.size()) return std::nullopt;
    const size_t at = utcText.find(separator, from);
    if (at == std::string_view::npos) return std::nullopt;
    return at + 1;
  };
  const auto monthAt = after(0, '-');
  const auto dayAt = monthAt ? after(*monthAt, '-') : std::nullopt;
  const auto hourAt = dayAt ? after(*dayAt, ' ') : std::nullopt;
  const auto minuteAt = hourAt ? after(*hourAt, ':') : std::nullopt;
  const auto secondAt = minuteAt ? after(*minuteAt, ':') : std::nullopt;
  if (!secondAt) return {};

  const auto year = LeadingNumber(utcText);
  const auto month = LeadingNumber(utcText.substr(*monthAt));
  const auto day = LeadingNumber(utcText.substr(*dayAt));
  const auto hour = LeadingNumber(utcText.substr(*hourAt));
  const auto minute = LeadingNumber(utcText.substr(*minuteAt));
  const auto second = LeadingNumber(utcText.substr(*secondAt));
  // Out-of-range fields would roll over into another date; show the raw text instead.
  if (!year || !month || !day || !hour || !minute || !second) return {};
  if (*year < 1900 || *year > 9999 || *month < 1 || *month > 12 || *day < 1 || *day > 31 || *hour < 0 ||
      *hour > 23 || *minute < 0 || *minute > 59 || *second < 0 || *second > 59) {
    return {};
  }

  std::tm utc{};
  utc.tm_year = static_cast<int>(*year - 1900);
  utc.tm_mon = static_cast<int>(*month - 1);
  utc.tm_mday = static_cast<int>(*day);
  utc.tm_hour = static_cast<int>(*hour);
  utc.tm_min = static_cast<int>(*minute);
  utc.tm_sec = static_cast<int>(*second);
  const time_t instant = timegm(&utc);
  std::tm check{};
  if (gmtime_r(&instant, &check) == nullptr || check.tm_mday != *day || check.tm_mon != *month - 1) {
    return {};  // a day the month does not have (2019-02-30)
  }
  // The local time of that very instant, with the daylight saving then in force.
  tzset();
  std::tm local{};
  if (localtime_r(&instant, &local) == nullptr) return {};
  char text[32];
  if (std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local) == 0) return {};
  return text;
}

}  // namespace fq
