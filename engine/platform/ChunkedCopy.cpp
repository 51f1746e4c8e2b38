#include "engine/platform/ChunkedCopy.h"

#include <algorithm>
#include <cerrno>
#include <span>
#include <vector>

#include "engine/ResultCodes.h"

namespace fq {

int32_t CopyFileInChunks(const std::filesystem::path& source, const std::filesystem::path& destination,
                         const ChunkCallback& onChunk, CopyStep* stoppedAt, const CopyOptions& options) {
  CopyStep step = CopyStep::Done;
  const auto stop = [&](CopyStep at, int32_t code) {
    step = at;
    return code;
  };
  const int32_t result = [&]() -> int32_t {
    File in = File::OpenRead(source, options.sourceLinks);
    if (!in.ok()) return stop(CopyStep::OpenSource, in.error());
    // Emptying the destination would destroy the very file being copied.
    if (in.isSameFileAs(destination)) return stop(CopyStep::OpenDestination, EINVAL);
    File out = File::CreateOutput(destination);
    if (!out.ok()) return stop(CopyStep::OpenDestination, out.error());
    const int64_t size = in.size();
    if (size < 0) return stop(CopyStep::Read, in.error());
    const auto total = static_cast<uint64_t>(size);
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(kCopyChunkSize, total)));
    bool writeFailed = false;
    for (uint64_t copied = 0; copied < total;) {
      const auto chunk = static_cast<size_t>(std::min<uint64_t>(kCopyChunkSize, total - copied));
      size_t got = 0;
      if (in.readAt(copied, std::span(buffer.data(), chunk), got) != 0 || got != chunk)
        return stop(CopyStep::Read, kShortRead);
      const int32_t writeCode = out.write(std::span<const uint8_t>(buffer.data(), chunk));
      copied += chunk;
      writeFailed = writeFailed || writeCode != 0;
      if (onChunk) {
        if (const int32_t answer = onChunk(copied, total, writeCode); answer != 0)
          return stop(writeCode != 0 ? CopyStep::Write : CopyStep::Stopped, answer);
      } else if (writeCode != 0) {
        return stop(CopyStep::Write, writeCode);
      }
    }
    // A failed close is a write the file system reported late; a write failure
    // the callback already heard of and chose to pass over is not raised again.
    if (const int32_t closed = out.close(); closed != 0 && !writeFailed) return stop(CopyStep::Write, closed);
    return kOk;
  }();
  if (stoppedAt != nullptr) *stoppedAt = step;
  return result;
}

}  // namespace fq
