#include "engine/categories/AttributedBody.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "engine/platform/Text.h"

namespace fq {
namespace {

using Bytes = std::span<const uint8_t>;

constexpr std::string_view kHeader = "\x04\x0bstreamtyped";

// Where `needle` first occurs in `data` at or after `from`; npos when nowhere.
size_t Find(Bytes data, size_t from, std::string_view needle) {
  if (from > data.size()) return std::string_view::npos;
  const std::string_view haystack(reinterpret_cast<const char*>(data.data()), data.size());
  return haystack.find(needle, from);
}

// A typedstream integer: one signed byte, or 0x81 and 2 little-endian bytes,
// or 0x82 and 4. None when cut short, negative or another marker.
std::optional<uint64_t> ReadLength(Bytes data, size_t& at) {
  if (at >= data.size()) return std::nullopt;
  const uint8_t first = data[at++];
  size_t width = 0;
  if (first == 0x81) {
    width = 2;
  } else if (first == 0x82) {
    width = 4;
  } else if (first < 0x80) {
    return first;
  } else {
    return std::nullopt;
  }
  if (data.size() - at < width) return std::nullopt;
  uint64_t value = 0;
  for (size_t i = 0; i < width; ++i) value |= static_cast<uint64_t>(data[at + i]) << (8 * i);
  at += width;
  // The values are signed: a set top bit is a negative length.
  if ((value >> (8 * width - 1)) != 0) return std::nullopt;
  return value;
}

}  // namespace

std::string TextOfAttributedBody(Bytes blob) {
  if (Find(blob, 0, kHeader) != 0) return {};
  // The string's class comes first in the chain NSAttributedString, NSObject,
  // NSString; its contents follow as the type "+" (84 01 2B) and a length.
  const size_t classAt = std::min(Find(blob, 0, "NSString"), Find(blob, 0, "NSMutableString"));
  if (classAt == std::string_view::npos) return {};
  constexpr std::string_view kStringType = "\x84\x01\x2b";
  constexpr size_t kTypeWindow = 32;
  const size_t typeAt = Find(blob, classAt, kStringType);
  if (typeAt == std::string_view::npos || typeAt - classAt > kTypeWindow) return {};
  size_t at = typeAt + kStringType.size();
  const auto length = ReadLength(blob, at);
  if (!length || *length > blob.size() - at) return {};
  const std::string_view text(reinterpret_cast<const char*>(blob.data()) + at, static_cast<size_t>(*length));
  if (!IsAcceptedText(text)) return {};
  return std::string(text);
}

std::string TextOfAttributedBodyColumn(const RowColumn* column) {
  // Blobs have even serial types from 12 on.
  if (column == nullptr || column->serialType < 12 || column->serialType % 2 != 0) return {};
  return TextOfAttributedBody(column->bytes);
}

}  // namespace fq
