#include "engine/categories/ContactNames.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace fq {
namespace {

constexpr size_t kLargestIndexedText = size_t{8} << 20;

uint32_t GramAt(std::string_view text, size_t at) {
  uint32_t gram = 0;
  std::memcpy(&gram, text.data() + at, sizeof gram);
  return gram;
}

// Sorts (gram, position) pairs pushed in increasing position by gram alone,
// keeping that order among equal grams: the same order as sorting the pairs
// whole, in four counting passes over the gram's bytes (lowest first) instead
// of a comparison sort. Phone texts use few distinct bytes, so a pass where
// every pair has the same byte moves nothing and is skipped.
void SortByGram(std::vector<std::pair<uint32_t, uint32_t>>& pairs) {
  constexpr size_t kPasses = 4;
  std::array<std::array<uint32_t, 256>, kPasses> counts{};
  for (const auto& pair : pairs) {
    for (size_t pass = 0; pass < kPasses; ++pass) ++counts[pass][(pair.first >> (8 * pass)) & 0xFF];
  }
  std::vector<std::pair<uint32_t, uint32_t>> scratch(pairs.size());
  for (size_t pass = 0; pass < kPasses; ++pass) {
    std::array<uint32_t, 256>& next = counts[pass];
    if (std::find(next.begin(), next.end(), pairs.size()) != next.end()) continue;
    uint32_t at = 0;
    for (uint32_t& count : next) at += std::exchange(count, at);
    for (const auto& pair : pairs) scratch[next[(pair.first >> (8 * pass)) & 0xFF]++] = pair;
    pairs.swap(scratch);
  }
}

}  // namespace

std::string NameOfContactHolding(const std::vector<ContactRecord>& contacts, std::string_view number) {
  if (number.empty()) return {};
  for (const ContactRecord& contact : contacts) {
    if (contact.phone.find(number) != std::string::npos) return contact.name;
  }
  return {};
}

ContactNameLookup::ContactNameLookup(const std::vector<ContactRecord>& contacts) : m_contacts(contacts) {
  size_t total = 0;
  for (const ContactRecord& contact : contacts) {
    if (contact.phone.find('\0') != std::string::npos) m_indexable = false;
    total += contact.phone.size() + 1;
  }
  // The index takes eight bytes a byte of phone text: a real address book has
  // well under a megabyte of it, so one far larger is searched plainly.
  if (total > kLargestIndexedText) m_indexable = false;
  m_phoneBytes = total;
  m_plainBudget = kIndexCostInPlainBytes * total;
}

void ContactNameLookup::buildIndex() {
  m_indexed = true;
  m_phones.reserve(m_phoneBytes);
  m_starts.reserve(m_contacts.size());
  for (const ContactRecord& contact : m_contacts) {
    m_starts.push_back(m_phones.size());
    m_phones += contact.phone;
    m_phones.push_back('\0');
  }
  // No text holds a NUL, so the pieces that hold none are those inside one
  // contact's text.
  const std::string_view phones(m_phones);
  m_grams.reserve(m_phoneBytes);
  for (size_t c = 0; c < m_contacts.size(); ++c) {
    const size_t end = m_starts[c] + m_contacts[c].phone.size();
    for (size_t at = m_starts[c]; at + kGram <= end; ++at) {
      m_grams.emplace_back(GramAt(phones, at), static_cast<uint32_t>(at));
    }
  }
  SortByGram(m_grams);
}

size_t ContactNameLookup::contactAt(size_t position) const {
  return static_cast<size_t>(std::upper_bound(m_starts.begin(), m_starts.end(), position) -
                             m_starts.begin()) -
         1;
}

size_t ContactNameLookup::firstContactHolding(std::string_view number) const {
  // A number holding no NUL can only match inside one contact's text, so the
  // first match in the joined texts belongs to the first contact holding it.
  if (number.size() < kGram) {
    const size_t at = std::string_view(m_phones).find(number);
    return at == std::string_view::npos ? std::string_view::npos : contactAt(at);
  }
  // Every match holds each of the number's pieces at a fixed distance from its
  // start; the rarest piece gives the fewest places to check, in file order.
  using Range = std::pair<decltype(m_grams)::const_iterator, decltype(m_grams)::const_iterator>;
  Range rarest{m_grams.end(), m_grams.end()};
  size_t rarestOffset = 0;
  bool first = true;
  for (size_t k = 0; k + kGram <= number.size(); ++k) {
    const uint32_t gram = GramAt(number, k);
    const auto lower = std::lower_bound(m_grams.begin(), m_grams.end(), std::make_pair(gram, uint32_t{0}));
    const auto upper = std::upper_bound(lower, m_grams.end(), std::make_pair(gram, UINT32_MAX));
    if (lower == upper) return std::string_view::npos;  // a piece found nowhere
    if (first || upper - lower < rarest.second - rarest.first) {
      rarest = {lower, upper};
      rarestOffset = k;
      first = false;
    }
  }
  const std::string_view phones(m_phones);
  for (auto it = rarest.first; it != rarest.second; ++it) {
    if (it->second < rarestOffset) continue;
    const size_t start = it->second - rarestOffset;
    if (phones.substr(start, number.size()) == number) return contactAt(start);
  }
  return std::string_view::npos;
}

const std::string& ContactNameLookup::nameFor(const std::string& number) {
  const auto found = m_names.find(number);
  if (found != m_names.end()) return found->second;
  std::string name;
  if (number.empty()) {
    // no name
  } else if (!m_indexable || number.find('\0') != std::string::npos ||
             (!m_indexed && m_plainScanned < m_plainBudget)) {
    // Searched plainly while that has cost less than building the index:
    // a phone with few correspondents, found early in the book, never needs it.
    for (const ContactRecord& contact : m_contacts) {
      m_plainScanned += contact.phone.size() + 1;
      if (contact.phone.find(number) != std::string::npos) {
        name = contact.name;
        break;
      }
    }
  } else {
    if (!m_indexed) buildIndex();
    const size_t contact = firstContactHolding(number);
    if (contact != std::string_view::npos) name = m_contacts[contact].name;
  }
  return m_names.emplace(number, std::move(name)).first->second;
}

}  // namespace fq
