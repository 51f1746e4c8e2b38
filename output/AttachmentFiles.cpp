#include "output/AttachmentFiles.h"

#include <array>

#include "engine/backup/FileId.h"
#include "engine/platform/Text.h"

namespace fq {
namespace {

// Message attachments lie in the media domain, under this folder of the phone's home.
constexpr std::string_view kMessageAttachmentFolder = "Library/SMS/Attachments/";
constexpr std::string_view kMessageDomain = "MediaDomain-";
// WhatsApp keeps its media in its own container, and since 2017 in the shared group one.
constexpr std::array<std::string_view, 2> kChatMediaFolders = {
    "AppDomain-net.whatsapp.WhatsApp-Library/",
    "AppDomainGroup-group.net.whatsapp.WhatsApp.shared-Message/",
};

template <typename Record>
void Index(const std::vector<Record>& files, std::unordered_map<std::string, const Record*>& byId) {
  for (const Record& file : files) byId.emplace(file.path.filename().string(), &file);
}

template <typename Record>
const Record* Find(const std::unordered_map<std::string, const Record*>& byId, std::string_view key) {
  const auto found = byId.find(FileIdOf(key));
  return found == byId.end() ? nullptr : found->second;
}

}  // namespace

AttachmentFiles::AttachmentFiles(const ScanResults& results) {
  Index(results.messageAttachments, m_messageFiles);
  Index(results.whatsAppAttachments, m_chatFiles);
}

const AttachmentFileRecord* AttachmentFiles::OfMessage(std::string_view attachment) const {
  // "~/Library/...", or "/var/mobile/Library/..." on older phones.
  const size_t at = attachment.find(kMessageAttachmentFolder);
  if (at == std::string_view::npos || m_messageFiles.empty()) return nullptr;
  std::string key(kMessageDomain);
  key += attachment.substr(at);
  return Find(m_messageFiles, key);
}

const MediaFileRecord* AttachmentFiles::OfChatMedia(std::string_view mediaPath) const {
  while (!mediaPath.empty() && mediaPath.front() == '/') mediaPath.remove_prefix(1);
  if (mediaPath.empty() || m_chatFiles.empty()) return nullptr;
  for (std::string_view folder : kChatMediaFolders) {
    std::string key(folder);
    key += mediaPath;
    if (const MediaFileRecord* file = Find(m_chatFiles, key)) return file;
  }
  return nullptr;
}

std::string_view PhoneFileName(std::string_view phonePath) {
  const size_t slash = phonePath.rfind('/');
  return slash == std::string_view::npos ? phonePath : phonePath.substr(slash + 1);
}

bool IsBrowserPicture(std::string_view fileName) {
  const size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view extension = fileName.substr(dot + 1);
  for (std::string_view picture : {"jpg", "jpeg", "jpe", "png", "gif", "bmp", "webp", "avif"}) {
    if (CompareNoCase(extension, picture) == 0) return true;
  }
  return false;
}

}  // namespace fq
