#include "output/CStatisticsObj.h"

#include <algorithm>

namespace fq {

CStatisticsObj::CStatisticsObj() { Clear(); }

void CStatisticsObj::Clear() {
  m_counters.assign(static_cast<size_t>(kLastItemKind) + 1, StatisticsCounter{});
  for (size_t i = 1; i < m_counters.size(); ++i) m_counters[i].parent = 0;
  m_entries.clear();
  m_keyByRecord.clear();
  m_totalSize = 0;
  m_selectedSize = 0;
}

bool CStatisticsObj::HasCategory(ItemKind kind) const { return m_counters[CategoryIndex(kind)].total > 0; }

void CStatisticsObj::AddToCounters(size_t counter, uint32_t StatisticsCounter::*field, int64_t delta) {
  for (int64_t c = static_cast<int64_t>(counter); c >= 0; c = m_counters[static_cast<size_t>(c)].parent) {
    auto& ctr = m_counters[static_cast<size_t>(c)];
    const int64_t upper = field == &StatisticsCounter::total ? INT64_MAX : ctr.total;
    const int64_t value = std::clamp<int64_t>(static_cast<int64_t>(ctr.*field) + delta, 0, upper);
    ctr.*field = static_cast<uint32_t>(std::min<int64_t>(value, UINT32_MAX));
  }
}

void CStatisticsObj::AddItem(ItemKind kind, EntryKey key, size_t counter, const void* record, int32_t deleted,
                             uint64_t size) {
  StatisticsEntry entry;
  entry.kind = kind;
  entry.deleted = deleted;
  entry.size = std::max(size, kMinimumItemSize);
  entry.counter = counter;
  entry.record = record;
  m_totalSize += entry.size;
  AddToCounters(counter, &StatisticsCounter::total, 1);
  m_entries.emplace(key, entry);
  m_keyByRecord.emplace(record, key);
}

void CStatisticsObj::AddMediaFiles(ItemKind kind, std::span<const MediaFileRecord> files) {
  if (HasCategory(kind)) return;
  uint32_t i = 0;
  for (const auto& f : files)
    AddItem(kind, {static_cast<int32_t>(kind), 0, i++}, CategoryIndex(kind), &f, 0, f.size);
}

void CStatisticsObj::AddAttachmentFiles(std::span<const AttachmentFileRecord> files) {
  constexpr auto kind = ItemKind::MessagesAttachments;
  if (HasCategory(kind)) return;
  uint32_t i = 0;
  for (const auto& f : files)
    AddItem(kind, {static_cast<int32_t>(kind), 0, i++}, CategoryIndex(kind), &f, 0, f.size);
}

void CStatisticsObj::AddAppFolders(ItemKind kind, const AppFolderMap& folders) {
  if (HasCategory(kind)) return;
  uint32_t app = 0;
  for (const auto& [name, files] : folders) {
    ++app;
    const size_t counter = m_counters.size();
    StatisticsCounter appCounter;
    appCounter.parent = static_cast<int32_t>(CategoryIndex(kind));
    m_counters.push_back(appCounter);
    StatisticsEntry group;
    group.group = true;
    group.kind = kind;
    group.counter = counter;
    group.record = &files;
    const EntryKey groupKey{static_cast<int32_t>(kind), app, 0};
    m_entries.emplace(groupKey, group);
    m_keyByRecord.emplace(&files, groupKey);
    uint32_t i = 0;
    for (const AppFileRecord& f : files)
      AddItem(kind, {static_cast<int32_t>(kind), app, ++i}, counter, &f, 0, f.size);
  }
}

namespace {

// A conversation holding any deleted message is what someone looking for
// deleted messages wants to see, whatever its first message is.
template <typename Message>
int32_t AnyDeleted(const std::vector<Message>& messages) {
  for (const auto& m : messages)
    if (m.deleted) return 1;
  return 0;
}

}  // namespace

void CStatisticsObj::AddConversations(const ConversationMap& conversations) {
  constexpr auto kind = ItemKind::Messages;
  if (HasCategory(kind)) return;
  uint32_t i = 0;
  for (const auto& [handle, messages] : conversations) {
    if (messages.empty()) continue;
    AddItem(kind, {static_cast<int32_t>(kind), 0, i++}, CategoryIndex(kind), &messages.front(),
            AnyDeleted(messages), 0);
  }
}

void CStatisticsObj::AddContacts(std::span<const ContactRecord> contacts) {
  constexpr auto kind = ItemKind::Contacts;
  if (HasCategory(kind)) return;
  uint32_t i = 0;
  for (const auto& c : contacts)
    AddItem(kind, {static_cast<int32_t>(kind), 0, i++}, CategoryIndex(kind), &c, c.deleted, 0);
}

void CStatisticsObj::AddCalls(std::span<const CallRecord> calls) {
  constexpr auto kind = ItemKind::CallHistory;
  if (HasCategory(kind)) return;
  uint32_t i = 0;
  for (const auto& c : calls)
    AddItem(kind, {static_cast<int32_t>(kind), 0, i++}, CategoryIndex(kind), &c, c.deleted, 0);
}

void CStatisticsObj::AddNotes(std::span<const NoteRecord> notes) {
  constexpr auto kind = ItemKind::Notes;
  if (HasCategory(kind)) return;
  uint32_t i = 0;
  for (const auto& n : notes)
    AddItem(kind, {static_cast<int32_t>(kind), 0, i++}, CategoryIndex(kind), &n, n.deleted, 0);
}

void CStatisticsObj::AddWhatsAppChats(const WhatsAppChatMap& chats) {
  constexpr auto kind = ItemKind::WhatsApp;
  if (HasCategory(kind)) return;
  uint32_t i = 0;
  for (const auto& [chat, messages] : chats) {
    if (messages.empty()) continue;
    AddItem(kind, {static_cast<int32_t>(kind), 0, i++}, CategoryIndex(kind), &messages.front(),
            AnyDeleted(messages), 0);
  }
}

void CStatisticsObj::SelectEntry(StatisticsEntry& entry, bool selected) {
  if (entry.group || entry.selected == selected) return;
  entry.selected = selected;
  const int64_t delta = selected ? 1 : -1;
  AddToCounters(entry.counter, &StatisticsCounter::selected, delta);
  if (entry.hidden) {
    AddToCounters(entry.counter, &StatisticsCounter::hiddenSelected, delta);
  } else if (selected) {
    m_selectedSize += entry.size;
  } else {
    m_selectedSize -= std::min(m_selectedSize, entry.size);
  }
}

void CStatisticsObj::HideEntry(StatisticsEntry& entry, bool hidden) {
  if (entry.group || entry.hidden == hidden) return;
  entry.hidden = hidden;
  const int64_t delta = hidden ? 1 : -1;
  AddToCounters(entry.counter, &StatisticsCounter::hidden, delta);
  if (!entry.selected) return;
  AddToCounters(entry.counter, &StatisticsCounter::hiddenSelected, delta);
  if (hidden) {
    m_selectedSize -= std::min(m_selectedSize, entry.size);
  } else {
    m_selectedSize += entry.size;
  }
}

StatisticsEntry* CStatisticsObj::FindItem(const void* record) {
  const auto key = m_keyByRecord.find(record);
  if (key == m_keyByRecord.end()) return nullptr;
  auto& entry = m_entries.at(key->second);
  return entry.group ? nullptr : &entry;
}

const StatisticsEntry* CStatisticsObj::Find(const void* record) const {
  const auto key = m_keyByRecord.find(record);
  return key == m_keyByRecord.end() ? nullptr : &m_entries.at(key->second);
}

bool CStatisticsObj::SetSelected(const void* record, bool selected) {
  StatisticsEntry* entry = FindItem(record);
  if (!entry) return false;
  SelectEntry(*entry, selected);
  return true;
}

void CStatisticsObj::SetCategorySelected(ItemKind kind, bool selected) {
  const int32_t k = static_cast<int32_t>(kind);
  for (auto it = m_entries.lower_bound({k, 0, 0}); it != m_entries.end() && it->first.kind == k; ++it) {
    SelectEntry(it->second, selected);
  }
}

bool CStatisticsObj::SetGroupSelected(const void* group, bool selected) {
  const auto key = m_keyByRecord.find(group);
  if (key == m_keyByRecord.end() || !m_entries.at(key->second).group) return false;
  const EntryKey first = key->second;
  for (auto it = m_entries.upper_bound(first);
       it != m_entries.end() && it->first.kind == first.kind && it->first.group == first.group; ++it) {
    SelectEntry(it->second, selected);
  }
  return true;
}

bool CStatisticsObj::SetHidden(const void* record, bool hidden) {
  StatisticsEntry* entry = FindItem(record);
  if (!entry) return false;
  HideEntry(*entry, hidden);
  return true;
}

bool CStatisticsObj::DeletedOnlyFilter(ItemKind kind) const {
  return std::find(m_deletedOnly.begin(), m_deletedOnly.end(), kind) != m_deletedOnly.end();
}

void CStatisticsObj::SetDeletedOnlyFilter(ItemKind kind, bool on) {
  std::erase(m_deletedOnly, kind);
  if (on) m_deletedOnly.push_back(kind);
  const int32_t k = static_cast<int32_t>(kind);
  for (auto it = m_entries.lower_bound({k, 0, 0}); it != m_entries.end() && it->first.kind == k; ++it) {
    if (!it->second.deleted) HideEntry(it->second, on);
  }
}

const StatisticsCounter& CStatisticsObj::CategoryCounter(ItemKind kind) const {
  const auto k = static_cast<int32_t>(kind);
  if (k < kFirstItemKind || k > kLastItemKind) return m_counters[0];
  return m_counters[CategoryIndex(kind)];
}

CheckState CStatisticsObj::CategoryCheckState(ItemKind kind) const {
  const auto& c = CategoryCounter(kind);
  if (c.total == 0 || c.selected == 0) return CheckState::Unchecked;
  return c.selected >= c.total ? CheckState::Checked : CheckState::Partial;
}

uint32_t CStatisticsObj::SelectedVisibleCount() const {
  return Root().selected > Root().hiddenSelected ? Root().selected - Root().hiddenSelected : 0;
}

std::vector<const StatisticsEntry*> CStatisticsObj::RecoveryItems() const {
  std::vector<const StatisticsEntry*> items;
  for (const auto& [key, entry] : m_entries) {
    const auto k = static_cast<int32_t>(entry.kind);
    if (entry.group || !entry.selected || entry.hidden || k < kFirstItemKind || k > kLastItemKind) continue;
    items.push_back(&entry);
  }
  return items;
}

}  // namespace fq
