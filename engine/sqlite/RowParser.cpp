#include "engine/sqlite/RowParser.h"

#include <algorithm>

#include "engine/sqlite/RecordFormat.h"

namespace fq {

namespace {

// Reads the content of the types in bytes[typeStart, typeEnd) from
// `contentStart` on; false when any content runs past the end of `bytes`.
bool splitColumns(std::span<const uint8_t> bytes, int64_t typeStart, int64_t typeEnd, int64_t maxTypes,
                  int64_t contentStart, TableRow& row) {
  row.columns.clear();
  const auto size = static_cast<int64_t>(bytes.size());
  int64_t pos = typeStart;
  int64_t content = contentStart;
  while (pos < typeEnd && static_cast<int64_t>(row.columns.size()) < maxTypes) {
    // Nearly every serial type is one byte.
    const uint8_t head = bytes[static_cast<size_t>(pos)];
    const Varint type =
        head < 0x80 ? Varint{head, 1} : readVarint(bytes.subspan(static_cast<size_t>(pos)), typeEnd - pos);
    if (type.length == 0 || (bytes[static_cast<size_t>(pos + type.length - 1)] & 0x80) != 0) return false;
    pos += type.length;
    const int64_t length = contentLength(type.value);
    if (content > size || length > size - content) return false;
    row.columns.push_back(
        RowColumn{type.value, bytes.subspan(static_cast<size_t>(content), static_cast<size_t>(length))});
    content += length;
  }
  return true;
}

}  // namespace

bool parseIntactRecord(std::span<const uint8_t> payload, TableRow& row) {
  const auto size = static_cast<int64_t>(payload.size());
  const Varint headerSize = readVarint(payload, std::min<int64_t>(9, size));
  if (headerSize.length == 0 || (payload[static_cast<size_t>(headerSize.length - 1)] & 0x80) != 0)
    return false;
  if (headerSize.value < static_cast<uint64_t>(headerSize.length) ||
      headerSize.value > static_cast<uint64_t>(size)) {
    return false;
  }
  row.headerSize = headerSize.value;
  row.headerSizeLength = headerSize.length;
  row.firstColumn = 0;
  const auto headerEnd = static_cast<int64_t>(headerSize.value);
  return splitColumns(payload, headerSize.length, headerEnd, headerEnd, headerEnd, row);
}

}  // namespace fq
