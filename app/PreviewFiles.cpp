#include "app/PreviewFiles.h"

#include <string>
#include <system_error>

namespace fq::app {

void DeletePreviewFiles(const std::filesystem::path& workFolder) {
  if (workFolder.empty()) return;
  std::error_code ignored;
  for (const char* name : {"tmp.jpg", "tmp.wav", "tmp.avi"})
    std::filesystem::remove(workFolder / name, ignored);
}

PreviewKind KindOfCopy(const std::filesystem::path& copy) {
  const std::string name = copy.filename().string();
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return PreviewKind::None;
  std::string extension = name.substr(dot + 1);
  for (char& c : extension)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (extension == "jpg") return PreviewKind::Picture;
  if (extension == "wav") return PreviewKind::Sound;
  if (extension == "avi") return PreviewKind::Video;
  return PreviewKind::None;
}

}  // namespace fq::app
