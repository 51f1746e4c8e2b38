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

// --- Formats of today's phones, tried after the classic table so that every
// file the classic rows recognise keeps its type.

uint32_t Be32(Bytes b, size_t offset) {
  return (static_cast<uint32_t>(b[offset]) << 24) | (static_cast<uint32_t>(b[offset + 1]) << 16) |
         (static_cast<uint32_t>(b[offset + 2]) << 8) | static_cast<uint32_t>(b[offset + 3]);
}

bool IsOneOf(std::string_view brand, std::span<const std::string_view> brands) {
  return std::find(brands.begin(), brands.end(), brand) != brands.end();
}

bool IsOneOf(std::string_view brand, std::initializer_list<std::string_view> brands) {
  return IsOneOf(brand, std::span<const std::string_view>(brands.begin(), brands.size()));
}

// The major brand of an ISO base media file ("ftyp" box first), or empty.
std::string_view MajorBrand(Bytes b) {
  if (b.size() < 16 || !HasAt(b, 4, "ftyp")) return {};
  return {reinterpret_cast<const char*>(b.data()) + 8, 4};
}

// True when one of the ftyp box's compatible brands (after the minor version,
// inside the box and inside `b`) is in `brands`.
bool HasCompatibleBrand(Bytes b, std::span<const std::string_view> brands) {
  if (MajorBrand(b).empty()) return false;
  const size_t boxEnd = std::min<size_t>(Be32(b, 0), b.size());
  for (size_t at = 16; at + 4 <= boxEnd; at += 4) {
    if (IsOneOf({reinterpret_cast<const char*>(b.data()) + at, 4}, brands)) return true;
  }
  return false;
}

constexpr std::array<std::string_view, 8> kHeicBrands = {"heic", "heix", "heim", "heis",
                                                         "hevc", "hevx", "hevm", "hevs"};
constexpr std::array<std::string_view, 2> kAvifBrands = {"avif", "avis"};
constexpr std::array<std::string_view, 2> kHeifBrands = {"mif1", "msf1"};

// HEVC-coded HEIF: named by its major brand, or a generic HEIF brand whose
// compatible brands say HEVC (the camera writes "heic"; editors often "mif1").
bool IsHeic(Bytes b) {
  const std::string_view major = MajorBrand(b);
  if (IsOneOf(major, kHeicBrands)) return true;
  return IsOneOf(major, kHeifBrands) && !HasCompatibleBrand(b, kAvifBrands) &&
         HasCompatibleBrand(b, kHeicBrands);
}

bool IsAvif(Bytes b) {
  const std::string_view major = MajorBrand(b);
  return IsOneOf(major, kAvifBrands) || (IsOneOf(major, kHeifBrands) && HasCompatibleBrand(b, kAvifBrands));
}

// A HEIF file whose codec the brands do not tell.
bool IsHeif(Bytes b) { return IsOneOf(MajorBrand(b), kHeifBrands); }

bool IsWebp(Bytes b) {
  return b.size() >= 16 && HasAt(b, 0, "RIFF") && HasAt(b, 8, "WEBP") && HasAt(b, 12, "VP8");
}

// "#!AMR\n" (narrow band) or "#!AMR-WB\n" (wide band), the storage format of voice memos.
bool IsAmr(Bytes b) { return HasAt(b, 0, "#!AMR\n") || HasAt(b, 0, "#!AMR-WB\n"); }

// Core Audio Format: "caff", file version 1, flags 0.
bool IsCaf(Bytes b) {
  static constexpr std::array<uint8_t, 4> kVersion1{0, 1, 0, 0};
  return HasAt(b, 0, "caff") && HasBytesAt(b, 4, kVersion1);
}

bool IsM4a(Bytes b) { return IsOneOf(MajorBrand(b), {"M4A "}); }

bool IsM4p(Bytes b) { return IsOneOf(MajorBrand(b), {"M4P "}); }

bool IsM4v(Bytes b) { return IsOneOf(MajorBrand(b), {"M4V ", "M4VH", "M4VP"}); }

// MPEG-4 brands the classic row does not know (it takes "iso*" and "mp42").
bool IsMp4Brand(Bytes b) { return IsOneOf(MajorBrand(b), {"mp41", "avc1", "MSNV", "dash", "mmp4", "f4v "}); }

bool Is3g2(Bytes b) { return MajorBrand(b).starts_with("3g2"); }

// QuickTime files without an ftyp box start with one of these atoms; the atom
// size must at least hold its own header (0 means "to the end of the file").
bool IsQuickTimeAtom(Bytes b) {
  if (b.size() < 16) return false;
  const uint32_t size = Be32(b, 0);
  if (size != 0 && size != 1 && size < 8) return false;
  const std::string_view type(reinterpret_cast<const char*>(b.data()) + 4, 4);
  return IsOneOf(type, {"moov", "mdat", "wide", "free", "skip", "pnot"});
}

// An Ogg page carrying Opus, the codec of most chat voice notes.
bool IsOpus(Bytes b) {
  return HasAt(b, 0, "OggS") && b.size() >= 36 && b[4] == 0 && HasAt(b, 28, "OpusHead");
}

bool IsOgg(Bytes b) { return b.size() >= 28 && HasAt(b, 0, "OggS") && b[4] == 0; }

// An ADTS frame header: 12 sync bits, layer 0, a valid sampling index and a
// frame at least as long as its header.
bool IsAdtsAac(Bytes b) {
  if (b.size() < 7 || b[0] != 0xFF || (b[1] & 0xF6) != 0xF0) return false;
  if (((b[2] >> 2) & 0x0F) > 12) return false;
  const uint32_t frameLength = ((b[3] & 0x03u) << 11) | (static_cast<uint32_t>(b[4]) << 3) | (b[5] >> 5);
  return frameLength >= 7;
}

// A JPEG whose first segment is not the JFIF or Exif application segment (a
// quantisation table, an ICC profile, another APPn, a comment, a frame
// header), as many editing apps write it. The segment length must be sane.
bool IsJpegOtherSegment(Bytes b) {
  if (b.size() < 6 || b[0] != 0xFF || b[1] != 0xD8 || b[2] != 0xFF) return false;
  const uint8_t marker = b[3];
  const bool known = marker == 0xDB || marker == 0xC4 || marker == 0xDD || marker == 0xFE ||
                     (marker >= 0xE0 && marker <= 0xEF) || marker == 0xC0 || marker == 0xC1 || marker == 0xC2;
  return known && ((b[4] << 8) | b[5]) >= 2;
}

constexpr std::array<FileSignature, 36> kSignatures{{
    {"mpeg", 15, IsMpeg},
    {"mpg", 15, IsMpeg},
    {"vob", 15, IsMpeg},
    {"mp4", 18, IsMp4},
    {"rmvb", 23, IsRealMedia},
    {"wmv", 24, IsAsf},
    {"wma", 24, IsAsf},
    {"avi", 22, IsAvi},
    {"3gp", 16, Is3gp},
    {"mp3", 12, IsMp3},
    {"mid", 13, IsMidi},
    {"wav", 21, IsWav},
    {"mov", 17, IsQuickTime},
    {"gif", 31, IsGif},
    {"bmp", 29, IsBmp},
    {"jpg", 10, IsJpeg},
    {"jpeg", 10, IsJpeg},
    {"jpe", 10, IsJpeg},
    {"png", 30, IsPng},
    {"ico", 46, IsIco},
    // Today's phones; after the classic rows, which keep their answers.
    {"heic", 50, IsHeic},
    {"avif", 51, IsAvif},
    {"heif", 52, IsHeif},
    {"webp", 53, IsWebp},
    {"jpg", 54, IsJpegOtherSegment},
    {"amr", 55, IsAmr},
    {"caf", 56, IsCaf},
    {"m4a", 57, IsM4a},
    {"m4p", 58, IsM4p},
    {"m4v", 59, IsM4v},
    {"mp4", 60, IsMp4Brand},
    {"3g2", 61, Is3g2},
    {"mov", 62, IsQuickTimeAtom},
    {"opus", 63, IsOpus},
    {"ogg", 64, IsOgg},
    {"aac", 65, IsAdtsAac},
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
