#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "engine/media/FileType.h"
#include "tests/support/TempFolder.h"
#include "tools/backupbuilder/MediaSamples.h"

namespace fq {
namespace {

using Bytes = std::vector<uint8_t>;

// `prefix` at the start of a 512-byte block of zeros, with `more` placed at `at`.
Bytes Head(std::initializer_list<uint8_t> prefix, size_t at = 0, std::initializer_list<uint8_t> more = {}) {
  Bytes b(kFileTypeProbeSize, 0);
  std::copy(prefix.begin(), prefix.end(), b.begin());
  std::copy(more.begin(), more.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
  return b;
}

Bytes Text(std::string_view text, size_t at = 0, Bytes b = Bytes(kFileTypeProbeSize, 0)) {
  std::copy(text.begin(), text.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
  return b;
}

void PutLe32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

// An icon directory of `sizes.size()` images laid back to back, with the
// offset of image `badIndex` off by one when given.
Bytes Icon(std::vector<uint32_t> sizes, int badIndex = -1, uint8_t reserved = 0) {
  Bytes b(std::max(kFileTypeProbeSize, 6 + 16 * sizes.size()), 0);
  b[2] = 1;
  b[4] = static_cast<uint8_t>(sizes.size());
  b[5] = static_cast<uint8_t>(sizes.size() >> 8);
  uint32_t offset = static_cast<uint32_t>(16 * sizes.size() + 6);
  for (size_t i = 0; i < sizes.size(); ++i) {
    const size_t entry = 6 + 16 * i;
    b[entry] = 16;
    b[entry + 1] = 16;
    b[entry + 3] = reserved;
    PutLe32(b, entry + 8, sizes[i]);
    PutLe32(b, entry + 12, offset + (static_cast<int>(i) == badIndex ? 1 : 0));
    offset += sizes[i];
  }
  b.resize(kFileTypeProbeSize);  // what recognition gets to see
  return b;
}

Bytes Bmp(const char* magic, uint32_t headerSize, uint8_t reservedByte = 0) {
  Bytes b = Text(magic);
  b[6] = reservedByte;
  PutLe32(b, 14, headerSize);
  return b;
}

TEST(DetectFileTypeOfBytes, RecognisesEachSignatureAndRefusesNearMisses) {
  const std::string_view none;
  const Bytes asf =
      Head({0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C});
  struct Case {
    const char* what;
    Bytes head;
    std::string_view type;
  };
  const Case cases[] = {
      {"pack header, system header at 14", Head({0, 0, 1, 0xBA}, 14, {0, 0, 1, 0xBB}), "mpeg"},
      {"pack header, system header at 28", Head({0, 0, 1, 0xBA}, 28, {0, 0, 1, 0xBB}), "mpeg"},
      {"pack header, system header at 29", Head({0, 0, 1, 0xBA}, 29, {0, 0, 1, 0xBB}), none},
      {"pack header, system header at 40", Head({0, 0, 1, 0xBA}, 40, {0, 0, 1, 0xBB}), none},
      {"sequence header, group at 12", Head({0, 0, 1, 0xB3}, 12, {0, 0, 1, 0xB8}), "mpeg"},
      {"sequence header alone", Head({0, 0, 1, 0xB3}), none},
      {"pack header with a group", Head({0, 0, 1, 0xBA}, 12, {0, 0, 1, 0xB8}), none},
      {"ftypisom", Text("....ftypisom"), "mp4"},
      {"ftypiso5", Text("....ftypiso5"), "mp4"},
      {"ftypmp42", Text("....ftypmp42"), "mp4"},
      {"ftypmp41", Text("....ftypmp41"), "mp4"},  // a later row
      {"ftypM4V ", Text("....ftypM4V "), "m4v"},  // a later row
      {".RMF", Text(".RMF"), "rmvb"},
      {"ASF header object", asf, "wmv"},
      {"RIFF AVI LIST", Text("RIFF....AVI LIST"), "avi"},
      {"RIFF AVI JUNK", Text("RIFF....AVI JUNK"), none},
      {"ftyp3gp4", Text("....ftyp3gp4"), "3gp"},
      {"ftyp3g2a", Text("....ftyp3g2a"), "3g2"},  // a later row
      {"ID3 v2.3", Head({'I', 'D', '3', 3, 0, 0, 0, 0, 0x1F, 0x76}), "mp3"},
      {"ID3 version FF", Head({'I', 'D', '3', 0xFF, 0, 0}), none},
      {"ID3 undefined flag", Head({'I', 'D', '3', 3, 0, 0x10}), none},
      {"ID3 flags in the top bits", Head({'I', 'D', '3', 4, 0, 0xE0}), "mp3"},
      {"ID3 size byte with its top bit", Head({'I', 'D', '3', 3, 0, 0, 0, 0x80}), none},
      {"MThd length 6 and MTrk", Text("MTrk", 14, Head({'M', 'T', 'h', 'd', 0, 0, 0, 6})), "mid"},
      {"MThd length 7", Text("MTrk", 14, Head({'M', 'T', 'h', 'd', 0, 0, 0, 7})), none},
      {"RIFF WAVE fmt", Text("RIFF....WAVEfmt "), "wav"},
      {"RIFF WAVE data", Text("RIFF....WAVEdata"), none},
      {"moov at the start", Text("moov"), "mov"},
      {"ftypqt and two spaces", Text("....ftypqt  "), "mov"},
      {"ftypqt and one space", Text("....ftypqt x"), none},
      {"GIF89a", Text("GIF89a"), "gif"},
      {"GIF87a", Text("GIF87a"), "gif"},
      {"GIF8xa", Text("GIF8xa"), none},
      {"GIF89A", Text("GIF89A"), none},
      {"BM with a 40-byte header", Bmp("BM", 40), "bmp"},
      {"BA with a 40-byte header", Bmp("BA", 40), "bmp"},
      {"BM with a 12-byte header", Bmp("BM", 12), none},
      {"BM with reserved bytes set", Bmp("BM", 40, 1), none},
      {"JFIF", Text("JFIF", 6, Head({0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10})), "jpg"},
      {"Exif", Text("Exif", 6, Head({0xFF, 0xD8, 0xFF, 0xE1, 0x10, 0})), "jpg"},
      {"APP0 with Exif, no length", Text("Exif", 6, Head({0xFF, 0xD8, 0xFF, 0xE0})), none},
      {"APP1 with JFIF, no length", Text("JFIF", 6, Head({0xFF, 0xD8, 0xFF, 0xE1})), none},
      {"quantisation table of no length", Head({0xFF, 0xD8, 0xFF, 0xDB}), none},
      {"PNG", Head({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}), "png"},
      {"PNG with a damaged line ending", Head({0x89, 'P', 'N', 'G', 0x0D, 0x0D, 0x1A, 0x0A}), none},
      {"icon with one image", Icon({100}), "ico"},
      {"icon with three images back to back", Icon({100, 2000, 0xFFFFFF00u}), "ico"},
      {"icon whose second offset is off", Icon({100, 2000}, 1), none},
      {"icon with a reserved byte set", Icon({100}, -1, 1), none},
      {"icon with no images", Icon({}), none},
      {"icon directory of 31 entries fits 512 bytes", Icon(std::vector<uint32_t>(31, 10)), "ico"},
      {"icon directory of 32 entries does not", Icon(std::vector<uint32_t>(32, 10)), none},
      {"zeros", Bytes(kFileTypeProbeSize, 0), none},
      {"text", Text("hello, this is a note"), none},
  };
  for (const auto& c : cases) {
    const auto type = DetectFileTypeOfBytes(c.head);
    EXPECT_EQ(type.value_or(""), c.type) << c.what;
  }
}

// `brands` as an ftyp box at the start: major brand, minor version 0, then
// the compatible brands; the box size covers exactly these.
Bytes Ftyp(std::string_view major, std::vector<std::string_view> compatible = {}) {
  Bytes b(kFileTypeProbeSize, 0);
  const size_t size = 16 + 4 * compatible.size();
  b[3] = static_cast<uint8_t>(size);
  b = Text("ftyp", 4, b);
  b = Text(major, 8, b);
  for (size_t i = 0; i < compatible.size(); ++i) b = Text(compatible[i], 16 + 4 * i, b);
  return b;
}

TEST(DetectFileTypeOfBytes, RecognisesTodaysPhoneFormats) {
  const std::string_view none;
  struct Case {
    const char* what;
    Bytes head;
    std::string_view type;
  };
  Bytes brandOutsideBox = Ftyp("mif1", {"mif1"});
  brandOutsideBox = Text("heic", 20, brandOutsideBox);  // past the box's 20 bytes
  const Case cases[] = {
      {"camera HEIC", Ftyp("heic", {"mif1", "heic"}), "heic"},
      {"HEIC with extensions", Ftyp("heix", {"mif1", "heix"}), "heic"},
      {"HEVC image sequence", Ftyp("hevc", {"msf1", "hevc"}), "heic"},
      {"generic HEIF saying HEVC", Ftyp("mif1", {"mif1", "heic"}), "heic"},
      {"generic HEIF sequence saying HEVC", Ftyp("msf1", {"msf1", "hevc"}), "heic"},
      {"generic HEIF, brand outside its box", brandOutsideBox, "heif"},
      {"generic HEIF saying nothing more", Ftyp("mif1", {"mif1", "miaf"}), "heif"},
      {"AVIF", Ftyp("avif", {"mif1", "avif"}), "avif"},
      {"AVIF sequence", Ftyp("avis", {"msf1", "avis"}), "avif"},
      {"generic HEIF saying AV1", Ftyp("mif1", {"mif1", "avif"}), "avif"},
      {"WebP lossy", Text("RIFF....WEBPVP8 "), "webp"},
      {"WebP lossless", Text("RIFF....WEBPVP8L"), "webp"},
      {"RIFF WEBP without a chunk", Text("RIFF....WEBPJUNK"), none},
      {"AMR narrow band", Text("#!AMR\n"), "amr"},
      {"AMR wide band", Text("#!AMR-WB\n"), "amr"},
      {"AMR without its line feed", Text("#!AMR "), none},
      {"CAF version 1", Head({'c', 'a', 'f', 'f', 0, 1, 0, 0}), "caf"},
      {"CAF version 2", Head({'c', 'a', 'f', 'f', 0, 2, 0, 0}), none},
      {"M4A", Ftyp("M4A ", {"M4A ", "mp42", "isom"}), "m4a"},
      {"protected M4P", Ftyp("M4P "), "m4p"},
      {"M4V", Ftyp("M4V ", {"M4V ", "M4A ", "mp42"}), "m4v"},
      {"M4V with HD flag", Ftyp("M4VH"), "m4v"},
      {"MPEG-4 v1", Ftyp("mp41"), "mp4"},
      {"AVC brand", Ftyp("avc1"), "mp4"},
      {"3GPP2", Ftyp("3g2a"), "3g2"},
      {"3GPP still the classic row", Ftyp("3gp5"), "3gp"},
      {"QuickTime with ftyp", Ftyp("qt  "), "mov"},
      {"QuickTime starting with wide", Head({0, 0, 0, 8, 'w', 'i', 'd', 'e'}), "mov"},
      {"QuickTime starting with mdat", Head({0, 0x10, 0, 0, 'm', 'd', 'a', 't'}), "mov"},
      {"QuickTime atom too short", Head({0, 0, 0, 4, 'w', 'i', 'd', 'e'}), none},
      {"unknown ftyp brand", Ftyp("abcd"), none},
      {"ftyp too short", Bytes{0, 0, 0, 16, 'f', 't', 'y', 'p', 'h', 'e', 'i', 'c'}, none},
      {"Ogg Opus", Text("OpusHead", 28, Text("OggS")), "opus"},
      {"Ogg Vorbis", Text("\x01vorbis", 28, Text("OggS")), "ogg"},
      {"Ogg of another stream version", Text("OpusHead", 28, Head({'O', 'g', 'g', 'S', 1})), none},
      {"ADTS AAC", Head({0xFF, 0xF1, 0x50, 0x80, 0x2E, 0x7F, 0xFC}), "aac"},
      {"ADTS of bad sampling index", Head({0xFF, 0xF1, 0x7C, 0x80, 0x2E, 0x7F, 0xFC}), none},
      {"ADTS shorter than its header", Head({0xFF, 0xF1, 0x50, 0x80, 0x00, 0x1F, 0xFC}), none},
      {"MPEG audio layer 3 frame", Head({0xFF, 0xFB, 0x90, 0x64}), none},
      {"JPEG starting with a quantisation table", Head({0xFF, 0xD8, 0xFF, 0xDB, 0, 0x43}), "jpg"},
      {"JPEG starting with an ICC profile", Head({0xFF, 0xD8, 0xFF, 0xE2, 0x0C, 0x58}), "jpg"},
      {"JPEG starting with a comment", Head({0xFF, 0xD8, 0xFF, 0xFE, 0, 0x10}), "jpg"},
      {"JPEG starting with APP0 but no JFIF", Head({0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10}), "jpg"},
      {"JPEG starting with a frame header", Head({0xFF, 0xD8, 0xFF, 0xC0, 0, 0x11}), "jpg"},
      {"JPEG start then padding", Head({0xFF, 0xD8, 0xFF, 0xFF, 0, 0x11}), none},
  };
  for (const auto& c : cases) {
    const auto type = DetectFileTypeOfBytes(c.head);
    EXPECT_EQ(type.value_or(""), c.type) << c.what;
  }
}

TEST(DetectFileTypeOfBytes, NeverReadsPastShortInput) {
  // Every prefix of every sample, down to nothing: each detector checks its length.
  const Bytes samples[] = {Icon({100, 2000}),
                           Head({0, 0, 1, 0xBA}, 28, {0, 0, 1, 0xBB}),
                           Text("MTrk", 14, Head({'M', 'T', 'h', 'd', 0, 0, 0, 6})),
                           Head({'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0}),
                           Bmp("BM", 40),
                           Ftyp("mif1", {"mif1", "heic", "avif"}),
                           Text("OpusHead", 28, Text("OggS")),
                           Head({0xFF, 0xF1, 0x50, 0x80, 0x2E, 0x7F, 0xFC}),
                           Text("#!AMR-WB\n"),
                           Head({0, 0, 0, 8, 'w', 'i', 'd', 'e'})};
  for (const auto& sample : samples) {
    for (size_t n = 0; n <= 48; ++n) {
      const Bytes cut(sample.begin(), sample.begin() + static_cast<std::ptrdiff_t>(n));
      DetectFileTypeOfBytes(cut);  // the sanitizers watch the reads
    }
  }
  EXPECT_FALSE(DetectFileTypeOfBytes({}).has_value());
}

TEST(FileSignatureTable, NamesTheTypeByTheFirstRowOfItsCode) {
  const std::vector<std::pair<std::string_view, int32_t>> expected = {
      {"mpeg", 15}, {"mpg", 15}, {"vob", 15},  {"mp4", 18},  {"rmvb", 23}, {"wmv", 24},
      {"wma", 24},  {"avi", 22}, {"3gp", 16},  {"mp3", 12},  {"mid", 13},  {"wav", 21},
      {"mov", 17},  {"gif", 31}, {"bmp", 29},  {"jpg", 10},  {"jpeg", 10}, {"jpe", 10},
      {"png", 30},  {"ico", 46}, {"heic", 50}, {"avif", 51}, {"heif", 52}, {"webp", 53},
      {"jpg", 54},  {"amr", 55}, {"caf", 56},  {"m4a", 57},  {"m4p", 58},  {"m4v", 59},
      {"mp4", 60},  {"3g2", 61}, {"mov", 62},  {"opus", 63}, {"ogg", 64},  {"aac", 65}};
  const auto table = FileSignatureTable();
  ASSERT_EQ(table.size(), expected.size());
  for (size_t i = 0; i < table.size(); ++i) {
    EXPECT_EQ(table[i].name, expected[i].first);
    EXPECT_EQ(table[i].code, expected[i].second) << table[i].name;
  }
  // Rows sharing a code answer as the first of them.
  EXPECT_EQ(DetectFileTypeOfBytes(Text("JFIF", 6, Head({0xFF, 0xD8, 0xFF, 0xE0}))), "jpg");
}

class DetectFileTypeOnDisk : public ::testing::Test {
 protected:
  std::filesystem::path write(const std::string& name, const Bytes& bytes) {
    const auto path = m_dir / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  testsupport::TempFolder m_dir;
};

TEST_F(DetectFileTypeOnDisk, NeedsAFull512ByteHead) {
  Bytes jpeg = builder::JpegImage(builder::JpegHeader::Jfif, 8, 8, 0);
  ASSERT_LT(jpeg.size(), 511u);
  jpeg.resize(511, 0);
  EXPECT_FALSE(DetectFileType(write("short.jpg", jpeg)).has_value());
  jpeg.resize(512, 0);
  EXPECT_EQ(DetectFileType(write("full.jpg", jpeg)), "jpg");
  const auto probe = ProbeStoredFile(m_dir / "full.jpg");
  EXPECT_TRUE(probe.opened);
  EXPECT_EQ(probe.size, 512u);
}

TEST_F(DetectFileTypeOnDisk, RefusesWhatIsNotARegularFileWithoutBlocking) {
  EXPECT_FALSE(ProbeStoredFile(m_dir / "missing").opened);
  EXPECT_FALSE(ProbeStoredFile(m_dir.path()).opened);
  EXPECT_FALSE(ProbeStoredFile("").opened);
  const auto fifo = m_dir / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(ProbeStoredFile(fifo).opened) << "a FIFO in a backup folder must not hang a scan";
}

// Many files probed at once on several threads answer exactly what one probe
// each answers, in the order asked.
TEST_F(DetectFileTypeOnDisk, ProbesManyFilesInTheOrderAsked) {
  std::vector<std::filesystem::path> paths;
  for (int i = 0; i < 300; ++i) {
    const std::string name = std::to_string(i);
    const auto size = static_cast<size_t>(600 + i);
    switch (i % 6) {
      case 0:
        paths.push_back(write(name, builder::JpegImage(builder::JpegHeader::Jfif, 8, 8, size)));
        break;
      case 1:
        paths.push_back(write(name, builder::PngImage(4, 4, 0x102030, size)));
        break;
      case 2:
        paths.push_back(write(name, builder::QuickTimeMovie(size, static_cast<uint32_t>(i))));
        break;
      case 3:
        paths.push_back(write(name, Bytes(size, 0x5A)));
        break;
      case 4:
        paths.push_back(m_dir / ("missing" + name));
        break;
      default:
        paths.push_back(m_dir.path());
        break;
    }
  }
  ASSERT_EQ(::mkfifo((m_dir / "fifo").c_str(), 0600), 0);
  paths[150] = m_dir / "fifo";
  const std::vector<StoredFileProbe> probes = ProbeStoredFiles(paths);
  ASSERT_EQ(probes.size(), paths.size());
  for (size_t i = 0; i < paths.size(); ++i) {
    const StoredFileProbe one = ProbeStoredFile(paths[i]);
    EXPECT_EQ(probes[i].opened, one.opened) << i;
    EXPECT_EQ(probes[i].size, one.size) << i;
    EXPECT_EQ(probes[i].type, one.type) << i;
  }
  EXPECT_EQ(probes[0].type, "jpg");
  EXPECT_EQ(probes[1].type, "png");
  EXPECT_FALSE(probes[150].opened);
  EXPECT_TRUE(ProbeStoredFiles({}).empty());
}

TEST_F(DetectFileTypeOnDisk, RecognisesTheBuildersSamples) {
  struct Case {
    const char* name;
    Bytes bytes;
    std::string_view type;
  };
  const Case cases[] = {
      {"jfif", builder::JpegImage(builder::JpegHeader::Jfif, 16, 16, 600), "jpg"},
      {"exif", builder::JpegImage(builder::JpegHeader::Exif, 16, 16, 600), "jpg"},
      {"png", builder::PngImage(4, 4, 0x123456, 600), "png"},
      {"gif", builder::GifImage(600), "gif"},
      {"mov", builder::QuickTimeMovie(600), "mov"},
      {"mp4", builder::Mp4Movie(600), "mp4"},
      {"3gp", builder::ThreeGppMovie(600), "3gp"},
      {"mp3", builder::Mp3Audio(600), "mp3"},
      {"wav", builder::WavAudio(600), "wav"},
  };
  for (const auto& c : cases) {
    EXPECT_GE(c.bytes.size(), 600u) << c.name;
    EXPECT_EQ(DetectFileType(write(c.name, c.bytes)).value_or(""), c.type) << c.name;
  }
}

}  // namespace
}  // namespace fq
