#include "engine/sqlite/RecordScan.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>

#include "engine/sqlite/OverflowChain.h"
#include "engine/sqlite/RecordFormat.h"

namespace fq {

namespace {

using Bytes = std::span<const uint8_t>;

// A varint wholly inside [at, limit): its value and length, length 0 when it
// runs past `limit` or is longer than `maxLength`.
inline Varint varintIn(Bytes page, uint32_t at, uint32_t limit, int64_t maxLength) {
  if (at >= limit || limit > page.size()) return {};
  if (page[at] < 0x80 && maxLength >= 1) return Varint{page[at], 1};
  const Varint v = readVarint(page.subspan(at, limit - at), maxLength);
  if (v.length == 0 || (page[at + static_cast<uint32_t>(v.length) - 1] & 0x80) != 0) return {};
  return v;
}

// Longest content a column of a record inside one page can have.
constexpr int64_t kMaxContent = int64_t{1} << 17;

int64_t formBonus(const RecordReading& r) {
  if (r.prefixed) return 12;
  switch (r.form) {
    case ReadingForm::Intact:
      return 8;
    case ReadingForm::NoLength:
      return 4;
    default:
      return 0;
  }
}

// The first byte a reading interprets.
uint32_t readFrom(const RecordReading& r) { return r.prefixed ? r.start : r.typesAt; }

// A serial type at `at`: one byte nearly always, so that byte is read first.
inline Varint typeAt(Bytes page, uint32_t at, uint32_t limit) {
  if (at < limit && page[at] < 0x80) return Varint{page[at], 1};
  return varintIn(page, at, limit, 9);
}

}  // namespace

RecordScanner::RecordScanner(const TableSignature& signature, FreeOverflowChains* chains)
    : m_signature(signature), m_chains(chains) {
  // Every offset of free space is tried against the columns: the answers for
  // one-byte serial types, nearly all of them, are looked up, not worked out.
  m_smallFits.resize(signature.columns.size() * kSmallTypes);
  for (size_t c = 0; c < signature.columns.size(); ++c) {
    for (uint64_t t = 0; t < kSmallTypes; ++t) {
      m_smallFits[c * kSmallTypes + t] = signature.fits(static_cast<int32_t>(c), t) ? 1 : 0;
    }
  }
  for (uint64_t t = 0; t < kSmallTypes; ++t) m_smallLengths[t] = static_cast<uint8_t>(contentLength(t));
  m_walkEnds.resize(signature.columns.size() + 1);
  m_walkContent.resize(signature.columns.size() + 1);
  m_intactEnds.resize(signature.columns.size() + 1);
  m_intactContent.resize(signature.columns.size() + 1);
  // A walk yields a reading only when it reaches the shortest count: its
  // first types are matched against the columns for all offsets of a region
  // at once, a bit per offset still in flight.
  int32_t shortest = 0;
  int32_t shortestPastFirst = 0;  // the shortest count a reading without column 0's type can have
  for (const int32_t count : signature.counts) {
    m_longest = std::max(m_longest, count);
    if (count > 0 && (shortest == 0 || count < shortest)) shortest = count;
    if (count > 1 && (shortestPastFirst == 0 || count < shortestPastFirst)) shortestPastFirst = count;
  }
  constexpr int32_t kBits = 64;
  m_need0 = std::min(shortest, kBits);
  m_need1 = shortestPastFirst > 1 ? std::min(shortestPastFirst - 1, kBits) : 0;
  for (uint64_t t = 0; t < kSmallTypes; ++t) {
    for (int32_t i = 0; i < m_need0; ++i) {
      if (fits(i, t)) m_fitsFrom0[t] |= uint64_t{1} << i;
    }
    for (int32_t i = 0; i < m_need1; ++i) {
      if (fits(i + 1, t)) m_fitsFrom1[t] |= uint64_t{1} << i;
    }
  }
}

void RecordScanner::markWalkable(Bytes page, uint32_t from, uint32_t to) {
  // Shift-and over the region: bit i of `from0` is set at byte q when the
  // one-byte types q-i..q fit columns 0..i; a start whose bit reaches
  // m_need0 - 1 may be a reading. A type of several bytes breaks the
  // byte-per-column alignment: every start still in flight there is walked.
  m_walkable.assign(to - from, 0);
  const uint64_t top0 = m_need0 > 0 ? uint64_t{1} << (m_need0 - 1) : 0;
  const uint64_t top1 = m_need1 > 0 ? uint64_t{1} << (m_need1 - 1) : 0;
  const uint64_t inFlight0 = top0 == 0 ? 0 : top0 | (top0 - 1);
  const uint64_t inFlight1 = top1 == 0 ? 0 : top1 | (top1 - 1);
  // A start of column 0's types one byte after a header length that fits
  // the region may be an intact record's: kIntact marks the header length.
  const auto walkFrom0 = [this, page, from, to](uint32_t start) {
    m_walkable[start - from] |= kWalkFrom0;
    if (start == from) return;
    const uint8_t length = page[start - 1];
    if (length > 1 && length < kSmallTypes && length <= to - (start - 1))
      m_walkable[start - 1 - from] |= kIntact;
  };
  uint64_t from0 = 0;
  uint64_t from1 = 0;
  for (uint32_t q = from; q < to; ++q) {
    const uint8_t b = page[q];
    if (b < kSmallTypes) {
      from0 = ((from0 << 1) | 1) & m_fitsFrom0[b];
      from1 = ((from1 << 1) | 1) & m_fitsFrom1[b];
      if ((from0 & top0) != 0) walkFrom0(q - static_cast<uint32_t>(m_need0 - 1));
      if ((from1 & top1) != 0) m_walkable[q - from - static_cast<uint32_t>(m_need1 - 1)] |= kWalkFrom1;
      continue;
    }
    // A header length of two bytes is always tried. The type of several
    // bytes is a text or a blob: the starts it does not fit (in the column it
    // falls on) stop there, as does every start when it or its content runs
    // past the region.
    m_walkable[q - from] |= kIntact;
    const Varint type = varintIn(page, q, to, 9);
    if (type.length != 0 && contentLength(type.value) <= to - (q + static_cast<uint32_t>(type.length))) {
      const uint64_t sameKind = 12 + (type.value & 1);  // the one-byte type of that kind
      for (uint64_t alive = ((from0 << 1) | 1) & inFlight0 & m_fitsFrom0[sameKind]; alive != 0;
           alive &= alive - 1)
        walkFrom0(q - static_cast<uint32_t>(std::countr_zero(alive)));
      for (uint64_t alive = ((from1 << 1) | 1) & inFlight1 & m_fitsFrom1[sameKind]; alive != 0;
           alive &= alive - 1)
        m_walkable[q - from - static_cast<uint32_t>(std::countr_zero(alive))] |= kWalkFrom1;
    }
    from0 = 0;
    from1 = 0;
  }
}

std::vector<RecordReading> RecordScanner::scan(Bytes page, std::span<const FreeRegion> regions) {
  std::vector<RecordReading> selected;
  m_keptColumns.clear();
  m_kept.clear();
  m_keptPage = page.data();
  if (m_signature.columns.empty()) return selected;
  for (const FreeRegion& region : regions) {
    if (region.end > page.size() || region.start >= region.end) continue;
    m_readings.clear();
    m_judged.clear();
    m_nextJudged = 0;
    m_intactTypesFrom = UINT32_MAX;
    m_intactSecondType = UINT32_MAX;
    // A free block's own header holds no record bytes. A run of zero bytes
    // reads only as records of NULLs, which the gate refuses: the scan steps
    // over such runs.
    const uint32_t first = region.freeBlock ? region.start + 4 : region.start;
    uint32_t zeroRunEnd = first;
    if (first >= region.end) continue;
    markWalkable(page, first, region.end);
    const uint32_t length = region.end - first;
    for (uint32_t i = 0; i < length; ++i) {
      // Most offsets start no walk of any form: eight marks at a time are
      // stepped over while none is set.
      if (i % 8 == 0 && i + 8 <= length) {
        uint64_t marks = 0;
        std::memcpy(&marks, m_walkable.data() + i, 8);
        if (marks == 0) {
          i += 7;
          continue;
        }
      }
      const uint8_t walkable = m_walkable[i];
      if (walkable == 0) continue;
      const uint32_t at = first + i;
      if (page[at] == 0) {
        if (zeroRunEnd <= at) {
          zeroRunEnd = at;
          while (zeroRunEnd < region.end && page[zeroRunEnd] == 0) ++zeroRunEnd;
        }
        if (zeroRunEnd - at > m_signature.columns.size() + 1) continue;
      }
      readAt(page, region, walkable, at);
    }
    if (m_chains != nullptr) readSpilling(page, region);
    prove();
    select(selected);
  }
  return selected;
}

void RecordScanner::readSpilling(Bytes page, const FreeRegion& region) {
  if (!m_chains->mayHold(region)) return;
  m_spilling.clear();
  m_chains->readingsIn(page, region, m_signature, m_spilling);
  for (const RecordReading& reading : m_spilling) keep(page, region, reading);
}

void RecordScanner::readAt(Bytes page, const FreeRegion& region, uint8_t walkable, uint32_t at) {
  if ((walkable & kIntact) != 0) tryIntact(page, region, at);
  if ((walkable & kWalkFrom0) != 0) tryTypes(page, region, at, ReadingForm::NoLength);
  // With column 0 the row id (stored as NULL), a reading that lost its
  // first type has that type 0; a 0 just before it is that type, and keep()
  // refuses the reading: such offsets are not walked.
  const bool firstTypeBefore = m_signature.columns[0].rowIdAlias && at > region.start && page[at - 1] == 0;
  if ((walkable & kWalkFrom1) != 0 && !firstTypeBefore) tryTypes(page, region, at, ReadingForm::LostFirst);
}

void RecordScanner::tryIntact(Bytes page, const FreeRegion& region, uint32_t at) {
  const Varint length = varintIn(page, at, region.end, 2);
  if (length.length == 0 || length.value <= static_cast<uint64_t>(length.length)) return;
  if (length.value > region.end - at) return;
  const uint32_t headerEnd = at + static_cast<uint32_t>(length.value);
  const auto n = static_cast<int32_t>(m_signature.columns.size());
  int64_t content = 0;
  int32_t count = 0;
  for (uint32_t pos = at + static_cast<uint32_t>(length.length); pos < headerEnd; ++count) {
    if (count >= n) return;
    const Varint type = typeAt(page, pos, headerEnd);
    if (type.length == 0 || !fits(count, type.value)) return;
    content += lengthOf(type.value);
    if (content > region.end - headerEnd) return;
    pos += static_cast<uint32_t>(type.length);
    m_walkEnds[static_cast<size_t>(count) + 1] = pos;
    m_walkContent[static_cast<size_t>(count) + 1] = content;
  }
  // The walks without the header length, one and two types further on, go
  // over the same types and stop where this one did: they take its ends.
  if (count == m_longest) {
    std::swap(m_walkEnds, m_intactEnds);
    std::swap(m_walkContent, m_intactContent);
    m_intactTypesFrom = at + static_cast<uint32_t>(length.length);
    m_intactSecondType = count > 1 ? m_intactEnds[1] : UINT32_MAX;
  }
  if (std::find(m_signature.counts.begin(), m_signature.counts.end(), count) == m_signature.counts.end())
    return;
  RecordReading r;
  r.form = ReadingForm::Intact;
  r.typesAt = at;
  r.start = at;
  r.count = count;
  r.end = headerEnd + static_cast<uint32_t>(content);
  // The payload length and row id of an intact cell stand before its record.
  const int64_t payload = r.end - at;
  for (uint32_t rowIdLength = 1; rowIdLength <= 9 && !r.prefixed; ++rowIdLength) {
    for (uint32_t payloadLength = 1; payloadLength <= 3; ++payloadLength) {
      if (at < region.start + rowIdLength + payloadLength) break;
      const uint32_t q = at - rowIdLength - payloadLength;
      const Varint p = varintIn(page, q, at, 9);
      if (p.length != static_cast<int32_t>(payloadLength) || p.value != static_cast<uint64_t>(payload))
        continue;
      const Varint rowId = varintIn(page, q + payloadLength, at, 9);
      if (rowId.length != static_cast<int32_t>(rowIdLength)) continue;
      r.prefixed = true;
      r.start = q;
      r.rowId = static_cast<int64_t>(rowId.value);
      break;
    }
  }
  keep(page, region, r);
}

void RecordScanner::tryTypes(Bytes page, const FreeRegion& region, uint32_t at, ReadingForm form) {
  const int32_t first = form == ReadingForm::LostFirst ? 1 : 0;
  // The counts share their first columns: one walk as far as the longest
  // count goes, noting where each column's types and content end.
  const int32_t longest = m_longest;
  int32_t reached = first;  // columns [first, reached) read and fit
  const uint32_t* ends = m_walkEnds.data();
  const int64_t* contents = m_walkContent.data();
  int64_t contentBefore = 0;  // column 0's content in `contents`, for a walk from column 1
  if (at == (form == ReadingForm::LostFirst ? m_intactSecondType : m_intactTypesFrom)) {
    reached = longest;
    ends = m_intactEnds.data();
    contents = m_intactContent.data();
    if (form == ReadingForm::LostFirst) contentBefore = contents[1];
  } else {
    uint32_t pos = at;
    int64_t content = 0;
    for (int32_t c = first; c < longest; ++c) {
      const Varint type = typeAt(page, pos, region.end);
      if (type.length == 0 || !fits(c, type.value)) break;
      content += lengthOf(type.value);
      pos += static_cast<uint32_t>(type.length);
      if (content > region.end - pos) break;
      reached = c + 1;
      m_walkEnds[static_cast<size_t>(reached)] = pos;
      m_walkContent[static_cast<size_t>(reached)] = content;
    }
  }
  for (const int32_t count : m_signature.counts) {
    if (count <= first || count > reached) continue;
    const uint32_t pos = ends[count];
    const int64_t content = contents[count] - contentBefore;
    RecordReading r;
    r.form = form;
    r.typesAt = at;
    r.count = count;
    r.start = at >= region.start + 4 ? at - 4 : at;
    const uint32_t rest = pos + static_cast<uint32_t>(content);  // end without column 0's content
    if (form == ReadingForm::NoLength) {
      r.end = rest;
      keep(page, region, r);
      continue;
    }
    const ColumnRule& rule = m_signature.columns[0];
    if (rule.rowIdAlias) {
      r.firstType = 0;
      r.end = rest;
      keep(page, region, r);
      continue;
    }
    // Column 0's type is gone. A NULL, 0 and 1 all take no bytes and cannot
    // be told apart; NULL is taken where the column holds NULLs.
    if (m_signature.fits(0, 0) && (!m_signature.liveEvidence() || (rule.liveKinds & kKindNull) != 0)) {
      r.firstType = 0;
      r.end = rest;
      keep(page, region, r);
    }
    for (const uint64_t type : {1, 2, 3, 4, 5, 6, 7}) {
      if (!m_signature.fits(0, type) || contentLength(type) > region.end - rest) continue;
      r.firstType = type;
      r.end = rest + static_cast<uint32_t>(contentLength(type));
      keep(page, region, r);
    }
    // A text or blob: its length only from where the record must end.
    const uint32_t sizedEnd = at >= region.start + 4 ? (at - 4) + readBe16(page, at - 2) : 0;
    for (const uint32_t end : {region.end, sizedEnd == region.end ? 0 : sizedEnd}) {
      if (end < rest || end > region.end) continue;
      const uint64_t length = end - rest;
      r.end = end;
      r.firstType = length * 2 + 13;
      if (m_signature.fits(0, r.firstType) && keep(page, region, r)) continue;
      r.firstType = length * 2 + 12;
      if (m_signature.fits(0, r.firstType)) keep(page, region, r);
    }
  }
}

bool RecordScanner::keep(Bytes page, const FreeRegion& region, RecordReading reading) {
  // Column 0's type standing right before the others is not lost: that
  // record is read whole one byte earlier, with its true cell start.
  if (reading.form == ReadingForm::LostFirst && reading.typesAt > region.start &&
      page[reading.typesAt - 1] == reading.firstType) {
    return false;
  }
  if (!judge(page, reading)) return false;
  // A text or blob given to an inferred column 0 takes its length from where
  // the record must end; those bytes are no evidence of a record, and a guess
  // swallowing a whole region of unused bytes would outweigh true records.
  int64_t guessedBytes = 0;
  if (reading.form == ReadingForm::LostFirst && reading.firstType >= 12)
    guessedBytes = contentLength(reading.firstType);
  reading.weight = (int64_t{reading.end - reading.typesAt} - guessedBytes) * 16 + formBonus(reading);
  reading.anchored = endIsKnown(page, region, reading);
  m_readings.push_back(reading);
  return true;
}

bool RecordScanner::judge(Bytes page, RecordReading& reading) {
  // The same record is read in several forms (an intact header at one offset,
  // the same types without it at the next): readings whose types start at
  // the same byte and that end at the same byte hold the same columns, and
  // get the verdict already given.
  Judged key;
  key.typesFrom = typesFrom(page, reading);
  if (key.typesFrom == reading.typesAt && reading.form == ReadingForm::Intact)
    return false;  // no header length: columnsOf() refuses it
  key.end = reading.end;
  key.count = reading.count;
  key.lostFirst = reading.form == ReadingForm::LostFirst;
  key.firstType = key.lostFirst ? reading.firstType : 0;
  key.overflowPage = reading.overflowPage;
  for (const Judged& j : m_judged) {
    if (j.typesFrom == key.typesFrom && j.end == key.end && j.count == key.count &&
        j.lostFirst == key.lostFirst && j.firstType == key.firstType && j.overflowPage == key.overflowPage) {
      reading.keptColumns = j.keptColumns;
      return j.accepted;
    }
  }
  key.accepted = readColumns(page, reading, m_columns) && accepted(reading);
  // The columns of an accepted reading wholly on the page are kept: the
  // reading selected is read again for its row.
  if (key.accepted && reading.overflowPage == 0) {
    m_kept.push_back(Kept{static_cast<uint32_t>(m_keptColumns.size()), key.typesFrom, key.end, key.count,
                          key.firstType, key.lostFirst});
    m_keptColumns.insert(m_keptColumns.end(), m_columns.begin(), m_columns.end());
    key.keptColumns = static_cast<uint32_t>(m_kept.size());
  }
  reading.keptColumns = key.keptColumns;
  if (m_judged.size() < kJudgedKept) {
    m_judged.push_back(key);
  } else {
    m_judged[m_nextJudged] = key;
    m_nextJudged = (m_nextJudged + 1) % kJudgedKept;
  }
  return key.accepted;
}

uint32_t RecordScanner::typesFrom(Bytes page, const RecordReading& r) {
  if (r.form != ReadingForm::Intact) return r.typesAt;
  return r.typesAt + static_cast<uint32_t>(varintIn(page, r.typesAt, r.end, 2).length);
}

bool RecordScanner::accepted(const RecordReading& reading) const {
  const bool guessed = reading.form == ReadingForm::LostFirst && !m_signature.columns[0].rowIdAlias;
  // Every type was matched against its column by the walk.
  if (!AcceptCarvedValues(m_signature, m_columns, guessed)) return false;
  // An inferred text or blob column 0 of zero bytes is unused space, not a value.
  if (reading.form == ReadingForm::LostFirst && reading.firstType >= 12 &&
      contentLength(reading.firstType) > 0) {
    const std::span<const uint8_t> first = m_columns.front().bytes;
    if (std::all_of(first.begin(), first.end(), [](uint8_t b) { return b == 0; })) return false;
  }
  return true;
}

void RecordScanner::prove() {
  // A record ends where the cell of the next one starts, when that one's end
  // is proven in turn. Deciding the readings from the region's end backwards
  // settles every reading a chain could lean on before the reading itself.
  std::sort(m_readings.begin(), m_readings.end(),
            [](const RecordReading& a, const RecordReading& b) { return a.start > b.start; });
  m_starts.clear();
  for (RecordReading& r : m_readings) {
    if (!r.anchored && !std::binary_search(m_starts.begin(), m_starts.end(), r.end, std::greater<>()))
      continue;
    r.anchored = true;
    if (r.prefixed || r.form != ReadingForm::Intact) m_starts.push_back(r.start);
  }
  std::erase_if(m_readings, [](const RecordReading& r) { return !r.anchored; });
}

bool RecordScanner::endIsKnown(Bytes page, const FreeRegion& region, const RecordReading& r) const {
  if (r.prefixed || r.end == region.end) return true;
  // A free block header, current or left inside a larger block, gives the
  // size of the cell it was written over.
  const uint32_t nearest = r.form == ReadingForm::Intact ? 14 : 0;
  for (uint32_t back = 0; back <= nearest; ++back) {
    if (r.typesAt < region.start + 4 + back) break;
    const uint32_t block = r.typesAt - 4 - back;
    const uint32_t size = readBe16(page, block + 2);
    if (size >= 4 && block + size == r.end) return true;
    // A cell freed just before a free block takes it over: the merged block's
    // header gives the end of both, and the older block's header, left where
    // this record ends, gives the same end.
    const uint32_t blockEnd = block + size;
    if (size >= 4 && r.end < blockEnd && r.end + 4 <= page.size()) {
      const uint32_t inner = readBe16(page, r.end + 2);
      if (inner >= 4 && r.end + inner == blockEnd) return true;
    }
  }
  return false;
}

void RecordScanner::select(std::vector<RecordReading>& out) {
  if (m_readings.empty()) return;
  std::sort(m_readings.begin(), m_readings.end(), [](const RecordReading& a, const RecordReading& b) {
    return a.end != b.end ? a.end < b.end : readFrom(a) < readFrom(b);
  });
  const size_t k = m_readings.size();
  // best[i]: the heaviest choice among the first i readings; the previous
  // compatible reading is found by binary search over the sorted ends.
  std::vector<int64_t> best(k + 1, 0);
  std::vector<size_t> previous(k, 0);
  for (size_t i = 0; i < k; ++i) {
    const uint32_t from = readFrom(m_readings[i]);
    const auto it =
        std::upper_bound(m_readings.begin(), m_readings.begin() + static_cast<std::ptrdiff_t>(i), from,
                         [](uint32_t value, const RecordReading& r) { return value < r.end; });
    previous[i] = static_cast<size_t>(it - m_readings.begin());
    best[i + 1] = std::max(best[i], best[previous[i]] + m_readings[i].weight);
  }
  std::vector<RecordReading> chosen;
  for (size_t i = k; i > 0;) {
    if (best[i] == best[i - 1]) {
      --i;
      continue;
    }
    chosen.push_back(m_readings[i - 1]);
    i = previous[i - 1];
  }
  out.insert(out.end(), chosen.rbegin(), chosen.rend());
}

bool RecordScanner::columnsOf(Bytes page, const RecordReading& r, std::vector<RowColumn>& out) const {
  if (r.keptColumns != 0 && r.keptColumns <= m_kept.size() && page.data() == m_keptPage) {
    const Kept& kept = m_kept[r.keptColumns - 1];
    const bool lostFirst = r.form == ReadingForm::LostFirst;
    if (kept.end == r.end && kept.count == r.count && kept.lostFirst == lostFirst &&
        kept.firstType == (lostFirst ? r.firstType : 0) && kept.typesFrom == typesFrom(page, r)) {
      const auto first = m_keptColumns.begin() + kept.at;
      out.assign(first, first + kept.count);
      return true;
    }
  }
  return readColumns(page, r, out);
}

bool RecordScanner::readColumns(Bytes page, const RecordReading& r, std::vector<RowColumn>& out) const {
  out.clear();
  if (r.overflowPage != 0) {
    // The local part and the chain read as one run of bytes.
    if (m_chains == nullptr || !m_chains->assemble(page, r, m_assembled)) return false;
    RecordReading whole = r;
    whole.typesAt = 0;
    whole.end = static_cast<uint32_t>(m_assembled.size());
    whole.overflowPage = 0;
    whole.keptColumns = 0;
    return columnsOf(m_assembled, whole, out);
  }
  if (r.end > page.size() || r.typesAt >= r.end || r.count <= 0) return false;
  uint32_t pos = r.typesAt;
  int32_t first = 0;
  if (r.form == ReadingForm::Intact) {
    const Varint length = varintIn(page, pos, r.end, 2);
    if (length.length == 0) return false;
    pos += static_cast<uint32_t>(length.length);
  } else if (r.form == ReadingForm::LostFirst) {
    first = 1;
  }
  // Types first, then the content they describe; column 0's inferred type
  // stands first when it was lost.
  out.resize(static_cast<size_t>(r.count));
  RowColumn* const columns = out.data();
  if (first == 1) columns[0] = RowColumn{r.firstType, {}};
  for (int32_t c = first; c < r.count; ++c) {
    const Varint type = typeAt(page, pos, r.end);
    if (type.length == 0) return false;
    columns[c].serialType = type.value;
    pos += static_cast<uint32_t>(type.length);
  }
  if (r.form == ReadingForm::Intact && pos != r.typesAt + varintIn(page, r.typesAt, r.end, 2).value)
    return false;
  uint32_t content = pos;
  for (int32_t c = 0; c < r.count; ++c) {
    const int64_t length = lengthOf(columns[c].serialType);
    if (length > kMaxContent || length > int64_t{r.end} - content) return false;
    columns[c].bytes = std::span<const uint8_t>(page.data() + content, static_cast<size_t>(length));
    content += static_cast<uint32_t>(length);
  }
  return content == r.end;
}

}  // namespace fq
