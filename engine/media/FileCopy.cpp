#include "engine/media/FileCopy.h"

#include <string>
#include <system_error>

#include "engine/ResultCodes.h"
#include "engine/format/ExtensionLists.h"
#include "engine/media/FileType.h"
#include "engine/platform/ChunkedCopy.h"

namespace fq {
namespace {

int32_t Percent(uint64_t copied, uint64_t total) {
  return total == 0 ? 100 : static_cast<int32_t>(copied * 100 / total);
}

// The preview file name of a recognised type, or empty when it has none.
std::string_view PreviewFileName(std::string_view typeName) {
  std::string lower(typeName);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (IsListedExtension(kPictureExtensions, lower)) return "tmp.jpg";
  if (IsListedExtension(kAudioExtensions, lower)) return "tmp.wav";
  if (IsListedExtension(kVideoExtensions, lower)) return "tmp.avi";
  return {};
}

// Copies `source` whole into the (emptied) destination in chunks; a failed
// write ends the copy, the callback hears only the percent.
int32_t CopyPreviewChunks(const std::filesystem::path& source, const std::filesystem::path& destination,
                          const ProgressCallback& callback) {
  CopyStep step = CopyStep::Done;
  const int32_t result = CopyFileInChunks(
      source, destination,
      [&callback](uint64_t copied, uint64_t total, int32_t writeCode) {
        if (writeCode != 0) return writeCode;
        return callback ? callback(Percent(copied, total)) : kOk;
      },
      &step);
  return step == CopyStep::OpenSource || step == CopyStep::OpenDestination ? kInvalid : result;
}

}  // namespace

int32_t ExtractPreview(const std::filesystem::path& source, const std::filesystem::path& workFolder,
                       std::filesystem::path& outputPath, const ProgressCallback& callback) {
  outputPath.clear();
  int32_t result = kInvalid;
  if (const auto type = DetectFileType(source)) {
    result = kOk;
    if (const std::string_view previewName = PreviewFileName(*type); !previewName.empty()) {
      outputPath = workFolder / previewName;
      result = CopyPreviewChunks(source, outputPath, callback);
    }
  }
  // The preview waits for 100 whatever happened.
  if (callback) callback(100);
  return result;
}

int32_t CopyOut(const std::filesystem::path& source, const std::filesystem::path& destination,
                const CopyProgressCallback& callback) {
  std::error_code ignored;
  if (destination.has_parent_path()) std::filesystem::create_directories(destination.parent_path(), ignored);

  CopyStep step = CopyStep::Done;
  int32_t result = CopyFileInChunks(
      source, destination,
      [&](uint64_t copied, uint64_t total, int32_t writeCode) {
        // Nobody is asked without a callback, so a failed write must not end
        // up reported as a copy.
        return callback ? callback(Percent(copied, total), writeCode, destination) : writeCode;
      },
      &step);
  if (step == CopyStep::OpenSource || step == CopyStep::OpenDestination) result = kInvalid;
  if (result > 0 && callback) callback(100, result, destination);
  return result;
}

}  // namespace fq
