#pragma once
// The one progress protocol of every long job: report a percent, get back 0 to
// go on or any other value (2 when the user cancelled) to stop.
#include <cstdint>
#include <filesystem>
#include <functional>

namespace fq {

using ProgressCallback = std::function<int32_t(int32_t percent)>;

// Progress of one file copy: percent, the chunk's result code, the destination.
using CopyProgressCallback =
    std::function<int32_t(int32_t percent, int32_t code, const std::filesystem::path& destination)>;

}  // namespace fq
