#include "output/OutputNames.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <system_error>

namespace fq {
namespace {

// Room left in one component (255 bytes on Linux file systems) for "-stamp",
// "(n)" and an extension appended after the name.
constexpr size_t kMaxNameBytes = 180;
constexpr size_t kMaxKeptExtensionBytes = 16;
constexpr int kMaxUniqueTries = 100000;

bool IsRefusedInName(unsigned char c) {
  if (c < 0x20 || c == 0x7F) return true;
  switch (c) {
    case '/':
    case '\\':
    case ':':
    case '*':
    case '?':
    case '"':
    case '<':
    case '>':
    case '|':
      return true;
    default:
      return false;
  }
}

// Cuts at most `limit` bytes without splitting a UTF-8 sequence.
std::string_view CutUtf8(std::string_view text, size_t limit) {
  if (text.size() <= limit) return text;
  size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

}  // namespace

std::string_view OutputFolderName(ItemKind kind) {
  switch (kind) {
    case ItemKind::CameraRoll:
      return "Camera Roll";
    case ItemKind::PhotoStream:
      return "Photo Stream";
    case ItemKind::AppPhotos:
      return "App Photos";
    case ItemKind::AppVideos:
      return "App Video";
    case ItemKind::Messages:
      return "Message";
    case ItemKind::MessagesAttachments:
      return "Message Attachments";
    case ItemKind::Contacts:
      return "Contacts";
    case ItemKind::CallHistory:
      return "CallHistory";
    case ItemKind::Notes:
      return "Notes";
    case ItemKind::WhatsApp:
      return "WhatsApp Message";
    case ItemKind::WhatsAppAttachments:
      return "WhatsApp Attachments";
  }
  return {};
}

std::string RecoveryStamp(const std::tm& t) {
  std::array<char, 64> buf{};
  std::snprintf(buf.data(), buf.size(), "%04d%02d%02d%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                t.tm_hour, t.tm_min, t.tm_sec);
  return buf.data();
}

std::string RecoveryStampNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return RecoveryStamp(local);
}

std::string SafeFileName(std::string_view name) {
  std::string safe;
  safe.reserve(name.size());
  for (char c : name) safe.push_back(IsRefusedInName(static_cast<unsigned char>(c)) ? '_' : c);
  if (safe.find_first_not_of('.') == std::string::npos) {
    // "", ".", ".." and the like: a name that names no folder of its own.
    safe.assign(std::max<size_t>(safe.size(), 1), '_');
  }
  if (safe.size() > kMaxNameBytes) {
    const size_t dot = safe.rfind('.');
    std::string ext;
    if (dot != std::string::npos && dot > 0 && safe.size() - dot <= kMaxKeptExtensionBytes)
      ext = safe.substr(dot);
    std::string cut(
        CutUtf8(std::string_view(safe).substr(0, safe.size() - ext.size()), kMaxNameBytes - ext.size()));
    safe = cut + ext;
  }
  return safe;
}

namespace {

// symlink_status: a dangling link is a taken name too.
bool IsTaken(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

// The first free "base(n)ext" for n from `first` on, with the n found; empty
// when none is free up to the limit.
std::pair<std::filesystem::path, int> FirstFreeNumbered(const std::filesystem::path& wanted, int first) {
  const std::string file = wanted.filename().string();
  const size_t dot = file.rfind('.');
  const bool hasExt = dot != std::string::npos && dot > 0;
  const std::string base = hasExt ? file.substr(0, dot) : file;
  const std::string ext = hasExt ? file.substr(dot) : std::string();
  for (int n = std::max(first, 1); n <= kMaxUniqueTries; ++n) {
    auto candidate = wanted.parent_path() / (base + "(" + std::to_string(n) + ")" + ext);
    if (!IsTaken(candidate)) return {candidate, n};
  }
  return {};
}

}  // namespace

std::filesystem::path MakeUniquePath(const std::filesystem::path& wanted) {
  if (!IsTaken(wanted)) return wanted;
  return FirstFreeNumbered(wanted, 1).first;
}

std::filesystem::path UniquePaths::make(const std::filesystem::path& wanted) {
  if (!IsTaken(wanted)) return wanted;
  int& last = m_lastNumber[wanted.native()];
  auto [path, n] = FirstFreeNumbered(wanted, last + 1);
  if (!path.empty()) last = n;
  return path;
}

std::string ConversationPerson(const MessageRecord& first) {
  return first.contactName.empty() ? std::string("Unknown") : first.contactName;
}

std::string ConversationBase(const MessageRecord& first) {
  std::string base = ConversationPerson(first);
  if (!first.address.empty()) base += "(" + first.address + ")";
  return base;
}

std::string ChatName(const WhatsAppMessageRecord& first) {
  std::string chat;
  if (first.chatTitle.find(',') != std::string::npos) {
    chat = first.partnerName;
  } else if (!first.chatTitle.empty()) {
    chat = first.chatTitle + "(" + first.chatPhones + ")";
  } else {
    chat = first.chatPhones;
  }
  return chat.empty() ? std::string("Unknown") : chat;
}

}  // namespace fq
