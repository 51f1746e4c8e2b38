#pragma once
// Small media files written by code, for fixtures and the demo backup. Each
// is recognised by its signature; the pictures and the sound also decode.
// `minSize` pads a file (inside the format, where it has room for comments)
// to at least that many bytes; `seed` varies the padding so files differ.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace fq::builder {

enum class JpegHeader { Jfif, Exif };

// A grey baseline JPEG of width x height pixels.
std::vector<uint8_t> JpegImage(JpegHeader header, uint16_t width, uint16_t height, size_t minSize = 0,
                               uint32_t seed = 0);
// An RGB PNG of one colour.
std::vector<uint8_t> PngImage(uint32_t width, uint32_t height, uint32_t rgb, size_t minSize = 0,
                              uint32_t seed = 0);
// A 1x1 GIF89a.
std::vector<uint8_t> GifImage(size_t minSize = 0, uint32_t seed = 0);
// The file-type box of a QuickTime movie ("qt  "), an MPEG-4 ("isom") or a
// 3GPP ("3gp4") file, followed by a free box.
std::vector<uint8_t> QuickTimeMovie(size_t minSize = 1024, uint32_t seed = 0);
std::vector<uint8_t> Mp4Movie(size_t minSize = 1024, uint32_t seed = 0);
std::vector<uint8_t> ThreeGppMovie(size_t minSize = 1024, uint32_t seed = 0);
// An ID3v2.3 tag and silent MPEG audio frames.
std::vector<uint8_t> Mp3Audio(size_t minSize = 1024, uint32_t seed = 0);
// 8 kHz 8-bit mono PCM silence.
std::vector<uint8_t> WavAudio(uint32_t sampleCount);

}  // namespace fq::builder
