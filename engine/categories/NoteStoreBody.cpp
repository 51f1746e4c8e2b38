#include "engine/categories/NoteStoreBody.h"

#include <zlib.h>

#include <array>
#include <limits>

#include "engine/platform/Text.h"

namespace fq {
namespace {

using Bytes = std::span<const uint8_t>;

// A base-128 varint of at most 10 bytes; none when it runs past the end.
std::optional<uint64_t> ReadVarint(Bytes data, size_t& at) {
  uint64_t value = 0;
  for (int shift = 0; shift < 70 && at < data.size(); shift += 7) {
    const uint8_t byte = data[at++];
    value |= static_cast<uint64_t>(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0) return value;
  }
  return std::nullopt;
}

// The first length-delimited field `wanted` of a message; none when it is
// missing or any field before it is malformed.
std::optional<Bytes> LengthDelimitedField(Bytes message, uint64_t wanted) {
  size_t at = 0;
  while (at < message.size()) {
    const auto key = ReadVarint(message, at);
    if (!key) return std::nullopt;
    const uint64_t field = *key >> 3;
    switch (*key & 7) {
      case 0:
        if (!ReadVarint(message, at)) return std::nullopt;
        break;
      case 1:
        if (message.size() - at < 8) return std::nullopt;
        at += 8;
        break;
      case 5:
        if (message.size() - at < 4) return std::nullopt;
        at += 4;
        break;
      case 2: {
        const auto length = ReadVarint(message, at);
        if (!length || *length > message.size() - at) return std::nullopt;
        const Bytes value = message.subspan(at, static_cast<size_t>(*length));
        at += static_cast<size_t>(*length);
        if (field == wanted) return value;
        break;
      }
      default:
        return std::nullopt;  // groups (3, 4) are not used by these documents
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::vector<uint8_t>> InflateBounded(Bytes compressed, size_t limit) {
  if (compressed.size() > std::numeric_limits<uInt>::max()) return std::nullopt;
  z_stream stream{};
  // 15 + 32: the largest window, with the gzip or zlib header detected.
  if (inflateInit2(&stream, 15 + 32) != Z_OK) return std::nullopt;
  stream.next_in = const_cast<Bytef*>(compressed.data());
  stream.avail_in = static_cast<uInt>(compressed.size());
  std::vector<uint8_t> out;
  std::array<uint8_t, 16384> chunk{};
  int status = Z_OK;
  while (status == Z_OK) {
    stream.next_out = chunk.data();
    stream.avail_out = static_cast<uInt>(chunk.size());
    status = inflate(&stream, Z_NO_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END) break;
    const size_t produced = chunk.size() - stream.avail_out;
    if (produced > limit - out.size()) {
      status = Z_MEM_ERROR;
      break;
    }
    out.insert(out.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(produced));
    // No input left and nothing produced: the stream is cut short.
    if (status == Z_OK && produced == 0 && stream.avail_in == 0) status = Z_BUF_ERROR;
  }
  inflateEnd(&stream);
  if (status != Z_STREAM_END) return std::nullopt;
  return out;
}

std::optional<std::string> NoteTextOfDocument(Bytes document) {
  const auto root = LengthDelimitedField(document, 2);
  const auto note = root ? LengthDelimitedField(*root, 3) : std::nullopt;
  const auto text = note ? LengthDelimitedField(*note, 2) : std::nullopt;
  if (!text) return std::nullopt;
  return ToValidUtf8({reinterpret_cast<const char*>(text->data()), text->size()});
}

std::optional<std::string> NoteTextOfNoteData(Bytes zdata) {
  const auto document = InflateBounded(zdata, kMaxNoteBodyBytes);
  if (!document) return std::nullopt;
  return NoteTextOfDocument(*document);
}

}  // namespace fq
