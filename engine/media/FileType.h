#pragma once
// Recognition of media files by their first 512 bytes, through a fixed table
// of signatures tried in order.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace fq {

// The number of leading bytes recognition looks at; shorter files are never recognised.
inline constexpr size_t kFileTypeProbeSize = 512;

struct FileSignature {
  std::string_view name;  // also the extension, without the dot
  int32_t code;
  bool (*matches)(std::span<const uint8_t> head);
};

// The signature table in the order it is tried. Rows sharing a code share a
// detector; the first row of a code names the type.
std::span<const FileSignature> FileSignatureTable();

// The type name of `head` (the first bytes of a file), or none.
std::optional<std::string_view> DetectFileTypeOfBytes(std::span<const uint8_t> head);

// A stored file looked at once: whether it opened as a regular file, its size
// and its type (none when shorter than 512 bytes or not recognised).
struct StoredFileProbe {
  bool opened = false;
  uint64_t size = 0;
  std::optional<std::string_view> type;
};

// Opens `path` read-only (never for writing: backups are only read), reads its
// first 512 bytes and recognises them. Anything but a regular file is refused
// without blocking (a FIFO planted in a backup folder cannot hang a scan).
StoredFileProbe ProbeStoredFile(const std::filesystem::path& path);

// The same for many files at once, on a few threads: opening thousands of
// small files is mostly waiting on the file system. probes[i] is of paths[i].
std::vector<StoredFileProbe> ProbeStoredFiles(std::span<const std::filesystem::path> paths);

// The type name of the file at `path`, or none.
std::optional<std::string_view> DetectFileType(const std::filesystem::path& path);

}  // namespace fq
