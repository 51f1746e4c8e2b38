#pragma once
// The preview's copies in the work folder, deleted when the program ends.
#include <filesystem>

namespace fq::app {

// Deletes tmp.jpg, tmp.wav and tmp.avi in `workFolder`; failures are ignored.
void DeletePreviewFiles(const std::filesystem::path& workFolder);

}  // namespace fq::app
