#include "tools/backupbuilder/MediaSamples.h"

#include <zlib.h>

#include <algorithm>
#include <string_view>

namespace fq::builder {
namespace {

// Byte by byte: GCC 12 warns falsely about range inserts into a small vector.
void Put(std::vector<uint8_t>& out, std::initializer_list<uint8_t> bytes) {
  for (uint8_t b : bytes) out.push_back(b);
}
void PutText(std::vector<uint8_t>& out, std::string_view text) {
  for (char c : text) out.push_back(static_cast<uint8_t>(c));
}
void PutBe16(std::vector<uint8_t>& out, uint32_t v) { Put(out, {uint8_t(v >> 8), uint8_t(v)}); }
void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
  Put(out, {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}
void PutLe16(std::vector<uint8_t>& out, uint32_t v) { Put(out, {uint8_t(v), uint8_t(v >> 8)}); }
void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
  Put(out, {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
}

// Printable padding that differs with the seed.
void PutFiller(std::vector<uint8_t>& out, size_t count, uint32_t seed) {
  uint32_t state = seed * 2654435761u + 12345u;
  for (size_t i = 0; i < count; ++i) {
    state = state * 1103515245u + 12345u;
    out.push_back(static_cast<uint8_t>('a' + (state >> 16) % 26));
  }
}

size_t Remaining(const std::vector<uint8_t>& out, size_t extraAfter, size_t minSize) {
  const size_t planned = out.size() + extraAfter;
  return minSize > planned ? minSize - planned : 0;
}

// A box (atom) of an ISO media file whose type is `type` and body `body`.
void PutBox(std::vector<uint8_t>& out, std::string_view type, const std::vector<uint8_t>& body) {
  PutBe32(out, static_cast<uint32_t>(8 + body.size()));
  PutText(out, type);
  out.insert(out.end(), body.begin(), body.end());
}

std::vector<uint8_t> IsoMediaFile(std::string_view brand, std::initializer_list<std::string_view> compatible,
                                  size_t minSize, uint32_t seed) {
  std::vector<uint8_t> ftyp;
  PutText(ftyp, brand);
  PutBe32(ftyp, brand == "qt  " ? 0x20050300 : 0x200);
  for (auto c : compatible) PutText(ftyp, c);
  std::vector<uint8_t> out;
  PutBox(out, "ftyp", ftyp);
  std::vector<uint8_t> free;
  PutFiller(free, Remaining(out, 16, minSize), seed);  // free and mdat headers
  PutBox(out, "free", free);
  PutBox(out, "mdat", {});
  return out;
}

}  // namespace

std::vector<uint8_t> JpegImage(JpegHeader header, uint16_t width, uint16_t height, size_t minSize,
                               uint32_t seed) {
  std::vector<uint8_t> out;
  Put(out, {0xFF, 0xD8});
  if (header == JpegHeader::Jfif) {
    Put(out, {0xFF, 0xE0, 0x00, 0x10});
    PutText(out, std::string_view("JFIF\0", 5));
    Put(out, {0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00});
  } else {
    // An Exif header with an empty first directory, big-endian TIFF.
    Put(out, {0xFF, 0xE1, 0x00, 0x16});
    PutText(out, std::string_view("Exif\0\0", 6));
    Put(out, {'M', 'M', 0x00, 0x2A, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
  }
  // One quantisation table of ones.
  Put(out, {0xFF, 0xDB, 0x00, 0x43, 0x00});
  out.insert(out.end(), 64, 0x01);
  // Baseline frame, one grey component.
  Put(out, {0xFF, 0xC0, 0x00, 0x0B, 0x08});
  PutBe16(out, height);
  PutBe16(out, width);
  Put(out, {0x01, 0x01, 0x11, 0x00});
  // DC and AC tables with a single one-bit code each: DC difference 0 and
  // end of block. Every block is then the two bits 00: a flat grey picture.
  for (uint8_t tableClass : {uint8_t{0x00}, uint8_t{0x10}}) {
    Put(out, {0xFF, 0xC4, 0x00, 0x14, tableClass, 0x01});
    out.insert(out.end(), 15, 0x00);
    out.push_back(0x00);
  }
  const size_t blocks = static_cast<size_t>((width + 7) / 8) * static_cast<size_t>((height + 7) / 8);
  const size_t scanBytes = (blocks * 2 + 7) / 8;
  const size_t tail = 10 + scanBytes + 2;  // start of scan, data, end of image
  for (size_t room = Remaining(out, tail, minSize); room > 0; room = Remaining(out, tail, minSize)) {
    const size_t text = room < 4 ? 0 : std::min<size_t>(room - 4, 65533);
    Put(out, {0xFF, 0xFE});
    PutBe16(out, static_cast<uint32_t>(text + 2));
    PutFiller(out, text, seed++);
  }
  Put(out, {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00});
  std::vector<uint8_t> scan(scanBytes, 0x00);
  const size_t usedBits = blocks * 2;
  if (usedBits % 8 != 0) scan.back() = static_cast<uint8_t>(0xFF >> (usedBits % 8));  // pad with one bits
  out.insert(out.end(), scan.begin(), scan.end());
  Put(out, {0xFF, 0xD9});
  return out;
}

std::vector<uint8_t> PngImage(uint32_t width, uint32_t height, uint32_t rgb, size_t minSize, uint32_t seed) {
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  const auto chunk = [&out](std::string_view type, const std::vector<uint8_t>& data) {
    PutBe32(out, static_cast<uint32_t>(data.size()));
    const size_t typeAt = out.size();
    PutText(out, type);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0L, out.data() + typeAt, static_cast<uInt>(out.size() - typeAt));
    PutBe32(out, static_cast<uint32_t>(crc));
  };
  std::vector<uint8_t> header;
  PutBe32(header, width);
  PutBe32(header, height);
  Put(header, {8, 2, 0, 0, 0});
  chunk("IHDR", header);

  std::vector<uint8_t> raw;
  for (uint32_t y = 0; y < height; ++y) {
    raw.push_back(0);  // filter: none
    for (uint32_t x = 0; x < width; ++x) Put(raw, {uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb)});
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9);
  packed.resize(packedSize);

  const size_t tail = 12 + packed.size() + 12;  // IDAT and IEND
  if (const size_t room = Remaining(out, tail, minSize); room > 0) {
    std::vector<uint8_t> text;
    PutText(text, std::string_view("Comment\0", 8));
    PutFiller(text, room > 20 ? room - 20 : 0, seed);
    chunk("tEXt", text);
  }
  chunk("IDAT", packed);
  chunk("IEND", {});
  return out;
}

std::vector<uint8_t> GifImage(size_t minSize, uint32_t seed) {
  std::vector<uint8_t> out;
  PutText(out, "GIF89a");
  Put(out, {0x01, 0x00, 0x01, 0x00, 0x80, 0x00, 0x00});        // 1x1, two-colour table
  Put(out, {0x20, 0x60, 0xA0, 0xFF, 0xFF, 0xFF});              // the table
  Put(out, {0x2C, 0, 0, 0, 0, 0x01, 0x00, 0x01, 0x00, 0x00});  // image descriptor
  Put(out, {0x02, 0x02, 0x44, 0x01, 0x00});                    // LZW data of one pixel
  if (size_t room = Remaining(out, 1, minSize); room > 0) {
    Put(out, {0x21, 0xFE});  // comment extension in blocks of up to 255 bytes
    room = room > 3 ? room - 3 : 0;
    while (room > 0) {
      const size_t block = std::min<size_t>(room, 255);
      out.push_back(static_cast<uint8_t>(block));
      PutFiller(out, block, seed++);
      room -= std::min(room, block + 1);
    }
    out.push_back(0x00);
  }
  out.push_back(0x3B);
  return out;
}

std::vector<uint8_t> QuickTimeMovie(size_t minSize, uint32_t seed) {
  return IsoMediaFile("qt  ", {"qt  "}, minSize, seed);
}

std::vector<uint8_t> Mp4Movie(size_t minSize, uint32_t seed) {
  return IsoMediaFile("isom", {"isom", "iso2", "mp41"}, minSize, seed);
}

std::vector<uint8_t> ThreeGppMovie(size_t minSize, uint32_t seed) {
  return IsoMediaFile("3gp4", {"isom", "3gp4"}, minSize, seed);
}

std::vector<uint8_t> Mp3Audio(size_t minSize, uint32_t seed) {
  std::vector<uint8_t> tag;
  Put(tag, {'T', 'I', 'T', '2'});
  std::vector<uint8_t> title = {0x00};
  PutText(title, "Voice memo ");
  PutFiller(title, 8, seed);
  PutBe32(tag, static_cast<uint32_t>(title.size()));
  Put(tag, {0x00, 0x00});
  tag.insert(tag.end(), title.begin(), title.end());

  std::vector<uint8_t> out;
  PutText(out, "ID3");
  Put(out, {0x03, 0x00, 0x00});
  const uint32_t size = static_cast<uint32_t>(tag.size());  // 7-bit bytes
  Put(out, {uint8_t((size >> 21) & 0x7F), uint8_t((size >> 14) & 0x7F), uint8_t((size >> 7) & 0x7F),
            uint8_t(size & 0x7F)});
  out.insert(out.end(), tag.begin(), tag.end());
  // MPEG-1 layer III frames, 128 kbit/s at 44.1 kHz: 417 bytes each, silent.
  while (out.size() < minSize) {
    Put(out, {0xFF, 0xFB, 0x90, 0x00});
    out.insert(out.end(), 413, 0x00);
  }
  return out;
}

std::vector<uint8_t> WavAudio(uint32_t sampleCount) {
  std::vector<uint8_t> out;
  PutText(out, "RIFF");
  PutLe32(out, 36 + sampleCount);
  PutText(out, "WAVEfmt ");
  PutLe32(out, 16);
  PutLe16(out, 1);     // PCM
  PutLe16(out, 1);     // mono
  PutLe32(out, 8000);  // samples per second
  PutLe32(out, 8000);  // bytes per second
  PutLe16(out, 1);     // block align
  PutLe16(out, 8);     // bits per sample
  PutText(out, "data");
  PutLe32(out, sampleCount);
  out.insert(out.end(), sampleCount, 0x80);
  return out;
}

}  // namespace fq::builder
