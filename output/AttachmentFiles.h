#pragma once
// The stored files a conversation or chat page shows with its messages. A
// message names its file by the path it had on the phone; the scan lists the
// files by where their content lies in the backup. Both meet in the file id,
// the digest of the file's domain and path, which names the stored content.
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/session/ScanResults.h"

namespace fq {

class AttachmentFiles {
 public:
  AttachmentFiles() = default;
  // Indexes the attachment lists of `results`, which must outlive this.
  explicit AttachmentFiles(const ScanResults& results);

  // The stored file of a message's attachment ("~/Library/SMS/Attachments/..."),
  // or null when the backup does not hold it.
  const AttachmentFileRecord* OfMessage(std::string_view attachment) const;
  // The stored file of a WhatsApp media item ("Media/<chat>/..."), or null.
  const MediaFileRecord* OfChatMedia(std::string_view mediaPath) const;

 private:
  std::unordered_map<std::string, const AttachmentFileRecord*> m_messageFiles;  // by file id
  std::unordered_map<std::string, const MediaFileRecord*> m_chatFiles;          // by file id
};

// The last component of a path on the phone ("IMG_0300.jpeg"), for a page
// that names a file it cannot show.
std::string_view PhoneFileName(std::string_view phonePath);

// True for a file a browser shows as a picture, judged by its name's extension.
bool IsBrowserPicture(std::string_view fileName);

}  // namespace fq
