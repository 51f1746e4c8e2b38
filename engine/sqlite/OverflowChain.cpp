#include "engine/sqlite/OverflowChain.h"

#include <algorithm>

#include "engine/sqlite/RecordFormat.h"
#include "engine/sqlite/SqliteFileReader.h"

namespace fq {

namespace {

using Bytes = std::span<const uint8_t>;

// A varint wholly inside [at, limit), length 0 when it runs past `limit`.
Varint varintWithin(Bytes page, uint32_t at, uint32_t limit) {
  if (at >= limit || limit > page.size()) return {};
  const Varint v = readVarint(page.subspan(at, limit - at), 9);
  if (v.length == 0 || (v.length < 9 && (page[at + static_cast<uint32_t>(v.length) - 1] & 0x80) != 0))
    return {};
  return v;
}

int32_t varintLength(uint64_t value) {
  int32_t length = 1;
  while (value >= 0x80 && length < 9) {
    value >>= 7;
    ++length;
  }
  return length;
}

// FNV-1a: two copies of one cell hash alike, other cells almost never do.
uint64_t hashOf(Bytes bytes) {
  uint64_t hash = 14695981039346656037ull;
  for (const uint8_t b : bytes) hash = (hash ^ b) * 1099511628211ull;
  return hash;
}

int64_t minLocalOf(uint32_t usable) { return ((int64_t{usable} - 12) * 32 / 255) - 23; }
int64_t maxLocalOf(uint32_t usable) { return int64_t{usable} - 35; }

}  // namespace

int64_t LocalPayloadSize(uint64_t total, uint32_t usableSize) {
  const auto payload = static_cast<int64_t>(std::min<uint64_t>(total, uint64_t{1} << 40));
  const int64_t maxLocal = maxLocalOf(usableSize);
  if (payload <= maxLocal) return payload;
  const int64_t minLocal = minLocalOf(usableSize);
  const int64_t local = minLocal + (payload - minLocal) % (int64_t{usableSize} - 4);
  return local > maxLocal ? minLocal : local;
}

FreeOverflowChains::FreeOverflowChains(const SqliteFileReader& reader)
    : m_reader(reader), m_usable(reader.usableSize()) {
  // A trunk's list overwrites the bytes after its first four, where an
  // overflow page's content starts: only free-list leaves keep a chain whole.
  for (const uint32_t index : reader.freeLeafPages()) m_freeLeaves.push_back(index + 1);
  std::sort(m_freeLeaves.begin(), m_freeLeaves.end());
  if (m_usable >= 512) m_shortestCell = static_cast<uint32_t>(minLocalOf(m_usable) + 4);
}

bool FreeOverflowChains::isFreeLeaf(uint32_t pageNumber) const {
  return std::binary_search(m_freeLeaves.begin(), m_freeLeaves.end(), pageNumber);
}

void FreeOverflowChains::readingsIn(Bytes page, const FreeRegion& region, const TableSignature& signature,
                                    std::vector<RecordReading>& out) {
  if (m_freeLeaves.empty() || signature.columns.empty() || m_usable < 512) return;
  if (region.end > page.size() || region.start >= region.end) return;
  const int64_t minLocal = minLocalOf(m_usable);
  const int64_t maxLocal = maxLocalOf(m_usable);
  const uint32_t first = region.freeBlock ? region.start + 4 : region.start;
  if (int64_t{region.end} - first < minLocal + 4) return;
  int32_t longest = 0;
  for (const int32_t count : signature.counts) longest = std::max(longest, count);
  const auto maxPage = m_freeLeaves.back();

  // The page number closing the local part: nearly every 4 bytes of free
  // space name no free leaf, and only those that do are looked behind.
  for (uint32_t pointer = first + static_cast<uint32_t>(minLocal); pointer + 4 <= region.end; ++pointer) {
    const uint32_t overflowPage = readBe32(page, pointer);
    if (overflowPage == 0 || overflowPage > maxPage || !isFreeLeaf(overflowPage)) continue;
    const auto lowest = static_cast<uint32_t>(std::max<int64_t>(first, int64_t{pointer} - maxLocal));
    // The header length takes 1 or 2 bytes before the types.
    const uint32_t highest = pointer - static_cast<uint32_t>(minLocal) + 2;
    // `at`: where the serial types start; the header length before them is
    // either intact or was overwritten with the cell's first bytes.
    for (uint32_t at = lowest; at <= highest; ++at) {
      uint32_t pos = at;
      int64_t content = 0;
      for (int32_t c = 0; c < longest; ++c) {
        const Varint type = varintWithin(page, pos, pointer);
        if (type.length == 0 || !signature.fits(c, type.value)) break;
        content += contentLength(type.value);
        pos += static_cast<uint32_t>(type.length);
        if (std::find(signature.counts.begin(), signature.counts.end(), c + 1) == signature.counts.end())
          continue;
        const int64_t types = pos - at;
        for (const int32_t lengthBytes : {1, 2}) {
          const int64_t header = types + lengthBytes;
          if (varintLength(static_cast<uint64_t>(header)) != lengthBytes ||
              at < region.start + static_cast<uint32_t>(lengthBytes))
            continue;
          const uint32_t payloadAt = at - static_cast<uint32_t>(lengthBytes);
          const int64_t payload = header + content;
          if (payload <= maxLocal ||
              LocalPayloadSize(static_cast<uint64_t>(payload), m_usable) != int64_t{pointer} - payloadAt)
            continue;
          RecordReading r;
          r.count = c + 1;
          r.end = pointer + 4;
          r.overflowPage = overflowPage;
          r.spilled = static_cast<uint32_t>(payload - (pointer - payloadAt));
          const Varint length = varintWithin(page, payloadAt, at);
          if (length.length == lengthBytes && length.value == static_cast<uint64_t>(header)) {
            r.form = ReadingForm::Intact;
            r.typesAt = payloadAt;
            r.start = payloadAt;
            // The payload length and row id of an intact cell stand before it.
            const int32_t payloadBytes = varintLength(static_cast<uint64_t>(payload));
            for (uint32_t rowIdBytes = 1; rowIdBytes <= 9 && !r.prefixed; ++rowIdBytes) {
              if (payloadAt < first + rowIdBytes + static_cast<uint32_t>(payloadBytes)) break;
              const uint32_t cell = payloadAt - rowIdBytes - static_cast<uint32_t>(payloadBytes);
              const Varint p = varintWithin(page, cell, payloadAt);
              const Varint rowId = varintWithin(page, cell + static_cast<uint32_t>(payloadBytes), payloadAt);
              if (p.length != payloadBytes || p.value != static_cast<uint64_t>(payload) ||
                  rowId.length != static_cast<int32_t>(rowIdBytes))
                continue;
              r.prefixed = true;
              r.start = cell;
              r.rowId = static_cast<int64_t>(rowId.value);
            }
          } else {
            r.form = ReadingForm::NoLength;
            r.typesAt = at;
            r.start = at >= region.start + 4 ? at - 4 : at;
          }
          out.push_back(r);
          claim(page, pointer, static_cast<uint32_t>(minLocal));
        }
      }
    }
  }
}

void FreeOverflowChains::claim(Bytes page, uint32_t pointer, uint32_t minLocal) {
  // The last bytes of the local part stand for the cell, whatever reading
  // of it was made. A cell copied elsewhere by rebalancing before it was
  // freed is the same claim twice: the same bytes in both.
  const uint64_t local = hashOf(page.subspan(pointer - minLocal, minLocal + 4));
  const uint32_t overflowPage = readBe32(page, pointer);
  const auto [claimed, firstClaim] = m_claims.emplace(overflowPage, local);
  if (!firstClaim && claimed->second != local) m_contested.insert(overflowPage);
}

bool FreeOverflowChains::assemble(Bytes page, const RecordReading& reading, std::vector<uint8_t>& out) const {
  out.clear();
  if (reading.overflowPage == 0 || reading.end > page.size() || reading.typesAt + 4 > reading.end)
    return false;
  const uint32_t perPage = m_usable - 4;
  // A chain holds at most what the free leaves hold.
  if (uint64_t{reading.spilled} > uint64_t{perPage} * m_freeLeaves.size()) return false;
  out.assign(page.begin() + reading.typesAt, page.begin() + (reading.end - 4));
  uint32_t next = reading.overflowPage;
  uint32_t remaining = reading.spilled;
  std::vector<uint32_t> met;
  while (remaining > 0) {
    if (!isFreeLeaf(next) || std::find(met.begin(), met.end(), next) != met.end()) return false;
    // A page further down the chain that a cell names first was taken again.
    if (m_contested.contains(next) || (!met.empty() && m_claims.contains(next))) return false;
    met.push_back(next);
    if (m_reader.readPage(next - 1, m_page) != 0 || m_page.size() < m_usable) return false;
    const uint32_t take = std::min(remaining, perPage);
    out.insert(out.end(), m_page.begin() + 4, m_page.begin() + 4 + take);
    remaining -= take;
    next = readBe32(m_page, 0);
  }
  // The last page of a chain points nowhere: a page taken for something else
  // and freed again does not.
  return next == 0;
}

}  // namespace fq
