#include "engine/media/FileType.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <system_error>
#include <thread>

#include "engine/platform/File.h"

namespace fq {
namespace {

using Bytes = std::span<const uint8_t>;

bool HasAt(Bytes b, size_t offset, std::string_view text) {
  if (offset > b.size() || text.size() > b.size() - offset) return false;
  return std::memcmp(b.data() + offset, text.data(), text.size()) == 0;
}

bool HasBytesAt(Bytes b, size_t offset, std::span<const uint8_t> want) {
  if (offset > b.size() || want.size() > b.size() - offset) return false;
  return std::memcmp(b.data() + offset, want.data(), want.size()) == 0;
}

uint32_t Le16(Bytes b, size_t offset) { return static_cast<uint32_t>(b[offset] | (b[offset + 1] << 8)); }

uint32_t Le32(Bytes b, size_t offset) {
  return static_cast<uint32_t>(b[offset]) | (static_cast<uint32_t>(b[offset + 1]) << 8) |
         (static_cast<uint32_t>(b[offset + 2]) << 16) | (static_cast<uint32_t>(b[offset + 3]) << 24);
}

// A program stream pack header (BA) followed by its system header (BB), or a
// video sequence header (B3) followed by a group of pictures (B8), within the
// first 32 bytes.
bool IsMpeg(Bytes b) {
  if (b.size() < 16) return false;
  static constexpr std::array<uint8_t, 4> kPack{0, 0, 1, 0xBA}, kSystem{0, 0, 1, 0xBB};
  static constexpr std::array<uint8_t, 4> kSequence{0, 0, 1, 0xB3}, kGroup{0, 0, 1, 0xB8};
  const auto followedWithin = [&](std::span<const uint8_t> second) {
    for (size_t offset = 0; offset <= 28; ++offset) {
      if (HasBytesAt(b, offset, second)) return true;
    }
    return false;
  };
  if (HasBytesAt(b, 0, kPack)) return followedWithin(kSystem);
  if (HasBytesAt(b, 0, kSequence)) return followedWithin(kGroup);
  return false;
}

bool IsMp4(Bytes b) {
  return b.size() >= 32 && HasAt(b, 4, "ftyp") && (HasAt(b, 8, "iso") || HasAt(b, 8, "mp42"));
}

bool IsRealMedia(Bytes b) { return b.size() >= 4 && HasAt(b, 0, ".RMF"); }

bool IsAsf(Bytes b) {
  static constexpr std::array<uint8_t, 16> kHeaderObject{0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                                         0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  return b.size() >= 24 && HasBytesAt(b, 0, kHeaderObject);
}

bool IsAvi(Bytes b) {
  return b.size() >= 16 && HasAt(b, 0, "RIFF") && HasAt(b, 8, "AVI ") && HasAt(b, 12, "LIST");
}

bool Is3gp(Bytes b) { return b.size() >= 32 && HasAt(b, 4, "ftyp") && HasAt(b, 8, "3gp"); }

// An ID3v2 tag header: version bytes below 0xFF, no undefined flags, and a
// size of four 7-bit bytes.
bool IsMp3(Bytes b) {
  if (b.size() < 10 || !HasAt(b, 0, "ID3")) return false;
  if (b[3] == 0xFF || b[4] == 0xFF || (b[5] & 0x1F) != 0) return false;
  for (size_t i = 6; i < 10; ++i) {
    if (b[i] >= 0x80) return false;
  }
  return true;
}

bool IsMidi(Bytes b) {
  static constexpr std::array<uint8_t, 4> kHeaderLength{0, 0, 0, 6};
  return b.size() >= 18 && HasAt(b, 0, "MThd") && HasBytesAt(b, 4, kHeaderLength) && HasAt(b, 14, "MTrk");
}

bool IsWav(Bytes b) {
  return b.size() >= 16 && HasAt(b, 0, "RIFF") && HasAt(b, 8, "WAVE") && HasAt(b, 12, "fmt ");
}

bool IsQuickTime(Bytes b) {
  return b.size() >= 16 && (HasAt(b, 0, "moov") || (HasAt(b, 4, "ftyp") && HasAt(b, 8, "qt  ")));
}

bool IsGif(Bytes b) {
  const auto digit = [](uint8_t c) { return c >= '0' && c <= '9'; };
  return b.size() >= 8 && HasAt(b, 0, "GIF") && digit(b[3]) && digit(b[4]) && b[5] >= 'a' && b[5] <= 'z';
}

bool IsBmp(Bytes b) {
  return b.size() >= 40 && (HasAt(b, 0, "BM") || HasAt(b, 0, "BA")) && Le16(b, 6) == 0 && Le16(b, 8) == 0 &&
         Le32(b, 14) == 40;
}

bool IsJpeg(Bytes b) {
  static constexpr std::array<uint8_t, 4> kJfif{0xFF, 0xD8, 0xFF, 0xE0}, kExif{0xFF, 0xD8, 0xFF, 0xE1};
  if (b.size() < 16) return false;
  return (HasBytesAt(b, 0, kJfif) && HasAt(b, 6, "JFIF")) || (HasBytesAt(b, 0, kExif) && HasAt(b, 6, "Exif"));
}

bool IsPng(Bytes b) {
  static constexpr std::array<uint8_t, 8> kSignature{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
  return b.size() >= 8 && HasBytesAt(b, 0, kSignature);
}

// An icon directory whose images follow it back to back: every entry's offset
// is where the previous image ended. 64-bit sums, so hostile sizes cannot wrap.
bool IsIco(Bytes b) {
  static constexpr std::array<uint8_t, 4> kHeader{0, 0, 1, 0};
  if (b.size() < 16 || !HasBytesAt(b, 0, kHeader)) return false;
  const uint64_t count = Le16(b, 4);
  if (count == 0 || 16 * count + 6 > b.size()) return false;
  uint64_t expectedOffset = 16 * count + 6;
  for (uint64_t i = 0; i < count; ++i) {
    const size_t entry = static_cast<size_t>(6 + 16 * i);
    if (b[entry + 3] != 0 || Le32(b, entry + 12) != expectedOffset) return false;
    expectedOffset += Le32(b, entry + 8);
  }
  return true;
}

constexpr std::array<FileSignature, 20> kSignatures{{
    {"mpeg", 15, IsMpeg},      {"mpg", 15, IsMpeg}, {"vob", 15, IsMpeg}, {"mp4", 18, IsMp4},
    {"rmvb", 23, IsRealMedia}, {"wmv", 24, IsAsf},  {"wma", 24, IsAsf},  {"avi", 22, IsAvi},
    {"3gp", 16, Is3gp},        {"mp3", 12, IsMp3},  {"mid", 13, IsMidi}, {"wav", 21, IsWav},
    {"mov", 17, IsQuickTime},  {"gif", 31, IsGif},  {"bmp", 29, IsBmp},  {"jpg", 10, IsJpeg},
    {"jpeg", 10, IsJpeg},      {"jpe", 10, IsJpeg}, {"png", 30, IsPng},  {"ico", 46, IsIco},
}};

}  // namespace

std::span<const FileSignature> FileSignatureTable() { return kSignatures; }

std::optional<std::string_view> DetectFileTypeOfBytes(std::span<const uint8_t> head) {
  for (const auto& row : kSignatures) {
    if (!row.matches(head)) continue;
    for (const auto& first : kSignatures) {
      if (first.code == row.code) return first.name;
    }
  }
  return std::nullopt;
}

StoredFileProbe ProbeStoredFile(const std::filesystem::path& path) {
  StoredFileProbe probe;
  File file = File::OpenRead(path);
  if (!file.ok()) return probe;
  const int64_t size = file.size();
  if (size < 0) return probe;
  probe.opened = true;
  probe.size = static_cast<uint64_t>(size);
  std::array<uint8_t, kFileTypeProbeSize> head{};
  size_t got = 0;
  if (file.readAt(0, head, got) != 0 || got != head.size()) return probe;
  probe.type = DetectFileTypeOfBytes(head);
  return probe;
}

std::vector<StoredFileProbe> ProbeStoredFiles(std::span<const std::filesystem::path> paths) {
  std::vector<StoredFileProbe> probes(paths.size());
  // A thread is worth starting for a few dozen files; beyond four the file
  // system, not the processor, is what limits.
  constexpr size_t kFilesPerThread = 32;
  const size_t threads = std::min<size_t>({std::max(1u, std::thread::hardware_concurrency()), 4,
                                           (paths.size() + kFilesPerThread - 1) / kFilesPerThread});
  const auto probeEvery = [&](size_t first, size_t stride) {
    for (size_t i = first; i < paths.size(); i += stride) probes[i] = ProbeStoredFile(paths[i]);
  };
  if (threads <= 1) {
    probeEvery(0, 1);
    return probes;
  }
  {
    std::vector<std::jthread> workers;
    size_t started = 1;
    try {
      for (; started < threads; ++started) workers.emplace_back(probeEvery, started, threads);
    } catch (const std::system_error&) {
      // No thread to be had: the stripes not started are probed here.
    }
    probeEvery(0, threads);
    for (size_t t = started; t < threads; ++t) probeEvery(t, threads);
  }  // every worker has joined before the probes are handed out
  return probes;
}

std::optional<std::string_view> DetectFileType(const std::filesystem::path& path) {
  return ProbeStoredFile(path).type;
}

}  // namespace fq
