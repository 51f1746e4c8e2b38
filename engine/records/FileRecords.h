#pragma once
// Stored files found through the manifest: media, message attachments and
// application files. Names are UTF-8; size is the low 32 bits of the file size.
#include <cstdint>
#include <filesystem>
#include <string>

namespace fq {

struct MediaFileRecord {  // camera roll, photo stream, WhatsApp attachments
  uint32_t size = 0;
  std::string name;
  std::filesystem::path path;
  bool operator==(const MediaFileRecord&) const = default;
};

struct AttachmentFileRecord {  // message attachments
  uint32_t reserved = 0;       // always 0
  uint32_t size = 0;
  std::string name;
  std::filesystem::path path;
  bool operator==(const AttachmentFileRecord&) const = default;
};

struct AppFileRecord {  // application photos and videos
  uint32_t size = 0;
  std::string appName;
  std::string name;
  std::filesystem::path path;
  bool operator==(const AppFileRecord&) const = default;
};

}  // namespace fq
