#include "app/PreviewFiles.h"

#include <system_error>

namespace fq::app {

void DeletePreviewFiles(const std::filesystem::path& workFolder) {
  if (workFolder.empty()) return;
  std::error_code ignored;
  for (const char* name : {"tmp.jpg", "tmp.wav", "tmp.avi"})
    std::filesystem::remove(workFolder / name, ignored);
}

}  // namespace fq::app
