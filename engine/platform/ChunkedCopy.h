#pragma once
// The program's one file copy: a regular file into a new output file, in
// chunks through one buffer, asking after each chunk whether to go on. The
// copies out of a backup, the work folder's database copies, the device's
// copies and the decrypt tool's plain files all run on it.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>

#include "engine/platform/File.h"

namespace fq {

inline constexpr size_t kCopyChunkSize = 65536;

// Asked after each chunk with the bytes copied so far, the source's size and
// the chunk's write result (0 or errno). 0 goes on; any other answer ends the
// copy and becomes its result.
using ChunkCallback = std::function<int32_t(uint64_t copied, uint64_t total, int32_t writeCode)>;

// Where a copy stopped, for callers that tell a failed read from a failed write.
// Stopped: the callback answered non-zero after a chunk that was written.
enum class CopyStep { Done, OpenSource, OpenDestination, Read, Write, Stopped };

struct CopyOptions {
  // Links::Refuse also refuses a link in the source's place.
  File::Links sourceLinks = File::Links::Follow;
};

// Copies `source` into `destination` (created anew; a link there is refused).
// A destination that is the source itself is refused with EINVAL before it is
// emptied. Returns 0, the errno of a failed open, 30 when the source reads
// shorter than its size, the errno of a failed write or close, or the
// callback's non-zero answer. Without a callback a failed write ends the copy.
// The partly written destination is left for the caller to keep or remove.
int32_t CopyFileInChunks(const std::filesystem::path& source, const std::filesystem::path& destination,
                         const ChunkCallback& onChunk, CopyStep* stoppedAt = nullptr,
                         const CopyOptions& options = {});

}  // namespace fq
