#pragma once
// The two copies of a stored file out of a backup: into the preview file of
// the work folder, and into the output folder of a recovery. Both move data
// with the program's one chunked copy and report progress per chunk.
#include <cstdint>
#include <filesystem>

#include "engine/ProgressCallback.h"
#include "engine/platform/ChunkedCopy.h"

namespace fq {

// Copies a recognised picture, sound or video into workFolder/"tmp.jpg",
// "tmp.wav" or "tmp.avi" (emptied first) and sets `outputPath` to it. 87 for
// a source that is not recognised or cannot be opened (nothing copied), 0 for
// a recognised type that has no preview (output path stays empty), 30 on a
// short read, an errno on a failed write, or the callback's non-zero answer.
// With a callback, 100 is always reported last.
int32_t ExtractPreview(const std::filesystem::path& source, const std::filesystem::path& workFolder,
                       std::filesystem::path& outputPath, const ProgressCallback& callback);

// Copies `source` to `destination`, creating missing folders and emptying an
// existing file. 87 when either file cannot be opened or the destination is
// the source itself (it is never emptied), 30 on a short read.
// Each chunk is reported with its write result (0 or errno); the callback's
// answer becomes the result and a non-zero answer ends the copy. Without a
// callback a failed write ends the copy with its errno.
int32_t CopyOut(const std::filesystem::path& source, const std::filesystem::path& destination,
                const CopyProgressCallback& callback);

}  // namespace fq
