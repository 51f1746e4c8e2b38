#include "engine/sqlite/Carving.h"

#include <algorithm>
#include <set>

#include "engine/ResultCodes.h"
#include "engine/sqlite/RecordFormat.h"

namespace fq {

namespace {

using Bytes = std::span<const uint8_t>;
constexpr int kMaxTreeDepth = 40;

Bytes from(Bytes page, int64_t at) {
  return at >= 0 && at < static_cast<int64_t>(page.size()) ? page.subspan(static_cast<size_t>(at)) : Bytes{};
}

Varint varintAt(Bytes page, int64_t at, int64_t maxLength) { return readVarint(from(page, at), maxLength); }

void append(std::vector<Candidate>& list, int64_t offset, RowSource source, int64_t block = 0) {
  if (offset > 0 && offset <= UINT16_MAX) {
    list.push_back(Candidate{static_cast<uint16_t>(offset), source, static_cast<uint16_t>(block)});
  }
}

struct LeafLayout {
  int64_t header = 0;
  int64_t cellCount = 0;
  int64_t contentStart = 0;
  int64_t pointerArray = 0;
};

LeafLayout leafLayout(Bytes page, uint32_t pageIndex) {
  LeafLayout l;
  l.header = static_cast<int64_t>(SqliteFileReader::headerStart(pageIndex));
  l.cellCount = readBe16(page, static_cast<size_t>(l.header + 3));
  l.contentStart = readBe16(page, static_cast<size_t>(l.header + 5));
  l.pointerArray = l.header + 8;
  return l;
}

// The live cell pointers (within the cell count) that lie inside the page.
std::vector<int64_t> livePointers(Bytes page, const LeafLayout& l) {
  std::vector<int64_t> pointers;
  const auto P = static_cast<int64_t>(page.size());
  for (int64_t i = 0; i < l.cellCount; ++i) {
    const int64_t at = l.pointerArray + 2 * i;
    if (at + 2 > P) break;
    pointers.push_back(readBe16(page, static_cast<size_t>(at)));
  }
  return pointers;
}

void passFreeBlocks(Bytes page, const LeafLayout& l, const CarvingRules& rules, std::vector<Candidate>& out) {
  const auto P = static_cast<int64_t>(page.size());
  int64_t block = readBe16(page, static_cast<size_t>(l.header + 1));
  while (block != 0) {
    if (block + 4 > P) break;
    if (readBe16(page, static_cast<size_t>(block + 2)) == 0) break;
    const FreeBlockVerdict v =
        freeBlockTest(page, static_cast<size_t>(block), rules.columnCount, FreeBlockMode::FreeBlockChain);
    if (v.endWalk) break;
    if (v.accepted) {
      bool keep = true;
      if (rules.requireGuidText) {
        const int64_t guid = block + 4 + v.typeListLength;
        keep = guid + 36 <= P &&
               std::none_of(page.begin() + guid, page.begin() + guid + 36, [](uint8_t b) { return b == 0; });
      }
      if (keep) append(out, v.candidate, RowSource::FreeBlock, block);
    }
    const int64_t next = readBe16(page, static_cast<size_t>(block));
    if (next <= block) break;  // free blocks are chained in ascending order; anything else loops
    block = next;
  }
}

void passTail(Bytes page, const LeafLayout& l, const CarvingRules& rules, std::vector<Candidate>& out) {
  const auto P = static_cast<int64_t>(page.size());
  const int32_t n = rules.columnCount;
  int64_t c = 0;
  if (l.cellCount == 1) {
    c = l.contentStart;
  } else {
    for (const int64_t p : livePointers(page, l)) c = std::max(c, p);
  }
  if (c >= P) return;
  const Varint payload = varintAt(page, c, P - c);
  const Varint rowId = varintAt(page, c + payload.length, P - c - payload.length);
  const int64_t end = c + static_cast<int64_t>(std::min<uint64_t>(payload.value, uint64_t{1} << 32)) +
                      payload.length + rowId.length;

  for (int64_t pos = end; pos < P;) {
    const int64_t before = P - pos;
    const Varint v = varintAt(page, pos, P - pos);
    if (v.length == 0) break;
    pos += v.length;
    if (v.value > 0 && v.value <= static_cast<uint64_t>(n) + 5 && static_cast<int64_t>(v.value) < before &&
        n < P - pos) {
      const int64_t t =
          rules.headerCompareCount != 0 ? headerLength(from(page, pos), rules.headerCompareCount) + 1 : 0;
      if (t == static_cast<int64_t>(v.value)) {
        const int64_t r = recordLength(from(page, pos), n, t - 1, P - pos);
        if (r < P - pos) append(out, pos, RowSource::Tail);
        pos += r;
      }
    }
  }

  for (int64_t pos = end; pos + n + 9 < P;) {
    pos += 4;  // a free-block header
    const int64_t r = recordLength(from(page, pos), n, headerLength(from(page, pos), n), P - pos);
    if (r > P - pos) break;
    append(out, pos, RowSource::Tail);
    pos += r;
  }
}

void passGap(Bytes page, const LeafLayout& l, const CarvingRules& rules, std::vector<Candidate>& out) {
  const auto P = static_cast<int64_t>(page.size());
  const int32_t n = rules.columnCount;
  int64_t lo = P;
  if (l.cellCount == 1) {
    lo = l.contentStart;
  } else {
    for (const int64_t p : livePointers(page, l)) lo = std::min(lo, p);
  }
  lo = std::min(lo, P);
  if (lo / 2 <= 4) return;
  int64_t word = -1;
  for (int64_t w = l.pointerArray; w + 2 <= lo; w += 2) {
    if (readBe16(page, static_cast<size_t>(w)) == 0) {
      word = w;
      break;
    }
  }
  if (word < 0) return;
  int64_t s = word + 2;
  while (s < lo && page[static_cast<size_t>(s)] == 0) ++s;
  if (s >= lo) return;

  int64_t u = lo;
  for (int64_t k = lo - 1; k >= s; --k) {
    const Varint v = varintAt(page, k, u - k);
    if (v.length == 0) continue;
    const auto value = static_cast<int64_t>(std::min<uint64_t>(v.value, uint64_t{1} << 32));
    if (value > 0 && value >= n && value <= n + 5 && value < u - k && value < u - k - v.length) {
      const int64_t t = headerLength(from(page, k + v.length), rules.headerCompareCount) + 1;
      if (t == value) {
        const int64_t start = k + v.length;
        const int64_t r = recordLength(from(page, start), n, value, u - start);
        if (r <= u - start) {
          append(out, start, RowSource::Gap);
          u = k;
        }
      }
    }
  }

  for (int64_t m = s; m < lo; ++m) {
    if (m + 1 < P && page[static_cast<size_t>(m)] == 0 && page[static_cast<size_t>(m + 1)] == 0) continue;
    const int64_t start = m + 4;
    if (start >= P) break;
    const int64_t r = recordLength(from(page, start), n, headerLength(from(page, start), n), P - start);
    if (r <= lo - start) append(out, start, RowSource::Gap);
    break;
  }
}

void passStalePointers(Bytes page, const LeafLayout& l, const CarvingRules& rules,
                       std::vector<Candidate>& out) {
  const auto P = static_cast<int64_t>(page.size());
  const int32_t n = rules.columnCount;
  int64_t last = 0;
  for (int64_t i = 0; i < P / 2; ++i) {
    const int64_t at = l.pointerArray + 2 * i;
    if (at + 2 > P) break;
    const int64_t p = readBe16(page, static_cast<size_t>(at));
    if (p == 0 || p >= P) break;
    if (i < l.cellCount) {
      last = p;
      continue;
    }
    if (last <= p && p <= last + 6) continue;

    const FreeBlockVerdict fb = freeBlockTest(page, static_cast<size_t>(p), n, FreeBlockMode::StalePointer);
    if (fb.accepted) {
      append(out, fb.candidate, RowSource::Stale, p);
      continue;
    }
    if (p + 4 > P) continue;
    const bool intactLooking = readBe16(page, static_cast<size_t>(p)) != 0;
    int64_t limit = 0;
    int64_t headerAt = 0;
    if (intactLooking) {
      const Varint payload = varintAt(page, p, P - p);
      limit = static_cast<int64_t>(std::min<uint64_t>(payload.value, uint64_t{1} << 32)) - 1;
      if (limit > P - p) continue;
      const Varint rowId = varintAt(page, p + payload.length, P - p - payload.length);
      headerAt = p + payload.length + rowId.length;
      if (headerAt >= P) continue;
    } else {
      limit = int64_t{readBe16(page, static_cast<size_t>(p + 2))} - 5;
      headerAt = p + 4;
    }
    const Varint h = varintAt(page, headerAt, P - headerAt);
    const int64_t serial = headerAt + h.length;
    if (h.length == 0 || serial >= P) continue;
    const auto hv = static_cast<int64_t>(std::min<uint64_t>(h.value, uint64_t{1} << 32));
    if (!(n < P - serial) || headerLength(from(page, serial), n) + 1 != hv || serial + hv >= P || hv <= 0 ||
        hv >= limit) {
      continue;
    }
    const int64_t r = recordLength(from(page, serial), n, hv, P - serial);
    if (intactLooking && r != limit) continue;
    const bool tooClose = std::any_of(out.begin(), out.end(), [serial](const Candidate& c) {
      return c.offset >= serial - 6 && c.offset <= serial + 6;
    });
    if (tooClose) break;  // and no later stale pointer of this page is taken either
    append(out, serial, RowSource::Stale);
  }
}

}  // namespace

FreeBlockVerdict freeBlockTest(std::span<const uint8_t> page, size_t offset, int32_t columnCount,
                               FreeBlockMode mode) {
  FreeBlockVerdict verdict;
  const auto P = static_cast<int64_t>(page.size());
  const auto o = static_cast<int64_t>(offset);
  if (o + 4 > P) return verdict;
  int64_t rest = P - o - 4;
  int64_t size = readBe16(page, offset + 2);
  if (size == 0) return verdict;
  if (o + size > P) {
    const Varint v = varintAt(page, o + 3, P - o);
    rest -= v.length;
    const auto newSize = static_cast<int64_t>(std::min<uint64_t>(v.value, uint64_t{1} << 32));
    if (mode == FreeBlockMode::FreeBlockChain && o + newSize > P) {
      verdict.endWalk = true;
      return verdict;
    }
    if (mode == FreeBlockMode::StalePointer && newSize > P - o - v.length) return verdict;
    size = newSize;
  }
  if (rest <= 0) return verdict;
  const Varint h = varintAt(page, o + 4, rest);
  const int64_t t = headerLength(from(page, o + 4 + h.length), columnCount);
  verdict.typeListLength = t;
  const int64_t start = (h.value == static_cast<uint64_t>(t + h.length)) ? o + 4 + h.length : o + 4;
  if (start >= P) return verdict;
  const int64_t r = recordLength(from(page, start), columnCount, 0, P - start);
  if (r <= size) {
    verdict.accepted = true;
    verdict.candidate = static_cast<uint16_t>(start);
  }
  return verdict;
}

std::vector<Candidate> carvePage(std::span<const uint8_t> page, uint32_t pageIndex,
                                 const CarvingRules& rules) {
  std::vector<Candidate> list;
  const LeafLayout layout = leafLayout(page, pageIndex);
  if (static_cast<size_t>(layout.pointerArray) > page.size() || rules.columnCount <= 0) return list;
  passFreeBlocks(page, layout, rules, list);
  passTail(page, layout, rules, list);
  passGap(page, layout, rules, list);
  passStalePointers(page, layout, rules, list);
  // Several passes often find the same record; it is one row.
  std::set<uint16_t> seen;
  std::erase_if(list, [&seen, &page](const Candidate& c) {
    return c.offset >= page.size() || !seen.insert(c.offset).second;
  });
  return list;
}

namespace {

int32_t carveBelow(const SqliteFileReader& reader, Bytes page, uint32_t pageIndex, const CarvingRules& rules,
                   CandidateMap& candidates, std::set<uint32_t>& visited, int depth) {
  const uint8_t type = SqliteFileReader::pageType(page, pageIndex);
  if (type == kLeafTablePage) {
    candidates[pageIndex] = carvePage(page, pageIndex, rules);
    return kOk;
  }
  if (type != kInteriorTablePage || depth >= kMaxTreeDepth) return kOk;
  std::vector<uint8_t> child;
  for (const auto& [childIndex, key] :
       reader.childMap(page, pageIndex, reader.cellOffsets(page, pageIndex))) {
    if (!visited.insert(childIndex).second) continue;
    if (const int32_t r = reader.readPage(childIndex, child); r != kOk) return r;
    if (const int32_t r = carveBelow(reader, child, childIndex, rules, candidates, visited, depth + 1);
        r != kOk) {
      return r;
    }
  }
  return kOk;
}

}  // namespace

int32_t carveTable(const SqliteFileReader& reader, std::span<const uint8_t> page, uint32_t pageIndex,
                   const CarvingRules& rules, CandidateMap& candidates) {
  std::set<uint32_t> visited{pageIndex};
  return carveBelow(reader, page, pageIndex, rules, candidates, visited, 0);
}

}  // namespace fq
