#include "engine/media/FileCopy.h"

#include <algorithm>
#include <string>
#include <system_error>
#include <vector>

#include "engine/ResultCodes.h"
#include "engine/format/ExtensionLists.h"
#include "engine/media/FileType.h"
#include "engine/media/PosixFile.h"

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

// Creates or empties the destination, unless it is the source itself:
// emptying that would destroy the very file being copied.
PosixFile OpenDestination(const PosixFile& source, const std::filesystem::path& destination) {
  if (!source.ok() || source.isSameFileAs(destination)) return PosixFile();
  return PosixFile::CreateForWriting(destination);
}

// Copies `source` whole into the (emptied) destination in chunks.
int32_t CopyPreviewChunks(const std::filesystem::path& source, const std::filesystem::path& destination,
                          const ProgressCallback& callback) {
  PosixFile in = PosixFile::OpenForReading(source);
  PosixFile out = OpenDestination(in, destination);
  if (!in.ok() || !out.ok()) return kInvalid;
  std::vector<uint8_t> buffer(kCopyChunkSize);
  const uint64_t total = in.size();
  for (uint64_t copied = 0; copied < total;) {
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(kCopyChunkSize, total - copied));
    const ssize_t got = in.readAt(copied, std::span(buffer.data(), chunk));
    if (got < 0 || static_cast<size_t>(got) != chunk) return kShortRead;
    if (const int error = out.writeAll(std::span<const uint8_t>(buffer.data(), chunk)); error != 0)
      return error;
    copied += chunk;
    if (callback) {
      if (const int32_t answer = callback(Percent(copied, total)); answer != 0) return answer;
    }
  }
  return kOk;
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

  int32_t result = kOk;
  PosixFile in = PosixFile::OpenForReading(source);
  PosixFile out = OpenDestination(in, destination);
  if (!in.ok() || !out.ok()) {
    result = kInvalid;
  } else {
    const uint64_t total = in.size();
    if (total == 0) return kOk;
    std::vector<uint8_t> buffer(kCopyChunkSize);
    for (uint64_t copied = 0; copied < total;) {
      const size_t chunk = static_cast<size_t>(std::min<uint64_t>(kCopyChunkSize, total - copied));
      const ssize_t got = in.readAt(copied, std::span(buffer.data(), chunk));
      if (got < 0 || static_cast<size_t>(got) != chunk) {
        result = kShortRead;
        break;
      }
      const int chunkCode = out.writeAll(std::span<const uint8_t>(buffer.data(), chunk));
      copied += chunk;
      if (callback) {
        result = callback(Percent(copied, total), chunkCode, destination);
        if (result != 0) break;
      } else if (chunkCode != 0) {
        // Nobody is asked, so a failed write must not end up reported as a copy.
        result = chunkCode;
        break;
      }
    }
  }
  if (result > 0 && callback) callback(100, result, destination);
  return result;
}

}  // namespace fq
