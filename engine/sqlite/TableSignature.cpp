#include "engine/sqlite/TableSignature.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "engine/platform/Text.h"
#include "engine/sqlite/ColumnValues.h"

namespace fq {

namespace {

// Whether every byte is printable ASCII (0x20..0x7E): nearly every text a
// carved row holds, told eight bytes at a time.
bool isPrintableAscii(std::span<const uint8_t> bytes) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHighBits = 0x8080808080808080ull;
  size_t at = 0;
  for (; at + 8 <= bytes.size(); at += 8) {
    uint64_t word = 0;
    std::memcpy(&word, bytes.data() + at, 8);
    // A byte with its top bit set, below 0x20, or 0x7F (zero once XORed with it).
    const uint64_t del = word ^ (kOnes * 0x7F);
    if (((word | ((word - kOnes * 0x20) & ~word) | ((del - kOnes) & ~del)) & kHighBits) != 0) return false;
  }
  for (; at < bytes.size(); ++at) {
    if (bytes[at] < 0x20 || bytes[at] >= 0x7F) return false;
  }
  return true;
}

// Clean text as a person typed it: UTF-8 with no control characters other
// than tab, CR and LF. Bytes of other records read as text rarely pass.
bool isCleanText(std::span<const uint8_t> bytes) {
  if (isPrintableAscii(bytes)) return true;
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (!IsAcceptedText(text)) return false;
  return std::none_of(text.begin(), text.end(), [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b < 0x20 && b != '\t' && b != '\r' && b != '\n') || b == 0x7F;
  });
}

// UTF-16 text of a file in that encoding: whole code units, no NULs.
bool isCleanUtf16(std::span<const uint8_t> bytes) {
  if (bytes.size() % 2 != 0) return false;
  for (size_t i = 0; i < bytes.size(); i += 2) {
    if (bytes[i] == 0 && bytes[i + 1] == 0) return false;
  }
  return true;
}

bool isSaneReal(std::span<const uint8_t> bytes) {
  if (bytes.size() != 8) return false;
  uint64_t bits = 0;
  for (const uint8_t b : bytes) bits = (bits << 8) | b;
  double value = 0;
  std::memcpy(&value, &bits, sizeof value);
  if (!std::isfinite(value)) return false;
  const double magnitude = std::fabs(value);
  return magnitude == 0 || (magnitude >= 1e-300 && magnitude <= 1e300);
}

// A value that says nothing by itself: NULL, 0, 1, an empty text, or a blob
// of zero bytes (what unused space reads as).
bool isEmptyValue(const RowColumn& column) {
  const uint64_t t = column.serialType;
  if (t == 0 || t == 8 || t == 9 || t == 12 || t == 13) return true;
  if (t >= 12 && t % 2 == 0) {
    return std::all_of(column.bytes.begin(), column.bytes.end(), [](uint8_t b) { return b == 0; });
  }
  if (t >= 1 && t <= 6) {
    return std::all_of(column.bytes.begin(), column.bytes.end() - 1, [](uint8_t b) { return b == 0; }) &&
           column.bytes.back() <= 1;
  }
  return false;
}

}  // namespace

uint8_t KindOfSerialType(uint64_t serialType) {
  if (serialType == 0) return kKindNull;
  if (serialType <= 6 || serialType == 8 || serialType == 9) return kKindInteger;
  if (serialType == 7) return kKindReal;
  if (serialType < 12) return 0;
  return serialType % 2 == 1 ? kKindText : kKindBlob;
}

bool TableSignature::fits(int32_t c, uint64_t type) const {
  if (c < 0 || static_cast<size_t>(c) >= columns.size()) return false;
  const uint8_t kind = KindOfSerialType(type);
  if (kind == 0) return false;
  const ColumnRule& rule = columns[static_cast<size_t>(c)];
  if (rule.rowIdAlias) return kind == kKindNull;
  if (rule.notNull && kind == kKindNull) return false;
  switch (rule.affinity) {
    case Affinity::Text:
      // Numbers given to a TEXT column are stored as their text; a blob
      // there is legal but rare unless the table's live rows hold one.
      if ((kind & (kKindInteger | kKindReal)) != 0) return false;
      return kind != kKindBlob || (rule.liveKinds & kKindBlob) != 0;
    case Affinity::Integer:
    case Affinity::Real:
      // Legal, but so rare in a typed numeric column that text or a blob
      // there is nearly always other bytes read as serial types.
      return (kind & (kKindText | kKindBlob)) == 0 || (rule.liveKinds & kind) != 0;
    default:
      return true;
  }
}

void TableSignature::addLiveRow(const TableRow& row) {
  ++liveRows;
  int32_t nulls = 0;
  const size_t n = std::min(row.columns.size(), columns.size());
  for (size_t c = 0; c < n; ++c) {
    const uint8_t kind = KindOfSerialType(row.columns[c].serialType);
    columns[c].liveKinds |= kind;
    if (kind == kKindNull && !columns[c].rowIdAlias) ++nulls;
  }
  mostLiveNulls = std::max(mostLiveNulls, nulls);
  const auto count = static_cast<int32_t>(row.columns.size());
  if (count > 0 && count < counts.front() && counts.size() < 4 &&
      std::find(counts.begin(), counts.end(), count) == counts.end()) {
    counts.push_back(count);
  }
}

TableSignature SignatureOf(const TableSchema& schema, int32_t fallbackCount) {
  TableSignature signature;
  const int32_t n = schema.columnCount > 0 ? schema.columnCount : fallbackCount;
  if (n <= 0) return signature;
  signature.columns.resize(static_cast<size_t>(n));
  if (schema.columnCount > 0) {
    for (int32_t c = 0; c < n; ++c) {
      ColumnRule& rule = signature.columns[static_cast<size_t>(c)];
      const auto i = static_cast<size_t>(c);
      if (i < schema.affinities.size()) rule.affinity = schema.affinities[i];
      if (i < schema.notNull.size()) rule.notNull = schema.notNull[i] != 0;
      rule.rowIdAlias = c == schema.rowIdColumn;
    }
  }
  signature.counts.push_back(n);
  return signature;
}

bool AcceptCarvedRow(const TableSignature& signature, std::span<const RowColumn> columns, bool guessedFirst) {
  if (columns.size() > signature.columns.size()) return false;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (!signature.fits(static_cast<int32_t>(i), columns[i].serialType)) return false;
  }
  return AcceptCarvedValues(signature, columns, guessedFirst);
}

bool AcceptCarvedValues(const TableSignature& signature, std::span<const RowColumn> columns,
                        bool guessedFirst) {
  if (columns.empty() || columns.size() > signature.columns.size()) return false;
  // The kinds of value first: they are cheap to judge and refuse most byte
  // runs misread as records before any text is looked at.
  bool saysSomething = false;
  int32_t nulls = 0;
  int32_t unseenKinds = 0;
  for (size_t i = 0; i < columns.size(); ++i) {
    const RowColumn& column = columns[i];
    const uint8_t kind = KindOfSerialType(column.serialType);
    if (!saysSomething && !isEmptyValue(column)) saysSomething = true;
    const ColumnRule& rule = signature.columns[i];
    if (kind == kKindNull && !rule.rowIdAlias) ++nulls;
    if ((rule.liveKinds & kind) == 0) ++unseenKinds;
  }
  if (!saysSomething) return false;
  if (signature.liveEvidence()) {
    // Many live rows show what this table's records hold; a carved row may
    // differ from them a little (a new kind of value, a few more NULLs), not
    // in most of its columns.
    const auto n = static_cast<int32_t>(signature.columns.size());
    if (unseenKinds * 4 > n) return false;
    if (nulls > signature.mostLiveNulls + std::max(2, n / 8)) return false;
    if (guessedFirst && (signature.columns[0].liveKinds & KindOfSerialType(columns[0].serialType)) == 0)
      return false;
  }
  for (const RowColumn& column : columns) {
    const uint8_t kind = KindOfSerialType(column.serialType);
    if (kind == kKindText && !(signature.utf8 ? isCleanText(column.bytes) : isCleanUtf16(column.bytes))) {
      return false;
    }
    if (kind == kKindReal && !isSaneReal(column.bytes)) return false;
  }
  return true;
}

}  // namespace fq
