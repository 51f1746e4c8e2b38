#pragma once
// The selection statistics of one scan: a tree of counters (root, one per
// category, one per application under App Photos and App Videos) and one entry
// per listed record or file, keyed by the record. It decides what a recovery
// writes and what the print page shows; the scan view's tree and list and the
// CLI's selections drive it.
//
// Entries point at the records they count; the records (the scan's lists and
// the application split) must outlive the object and must not move.
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "engine/records/CallRecord.h"
#include "engine/records/ContactRecord.h"
#include "engine/records/FileRecords.h"
#include "engine/records/MessageRecords.h"
#include "engine/records/NoteRecord.h"
#include "engine/records/WhatsAppRecords.h"
#include "output/ItemKind.h"

namespace fq {

// Application name -> its files: the App Photos or App Videos category as the
// scan view lists it (the split of the scan's application files by extension).
using AppFolderMap = std::map<std::string, std::vector<AppFileRecord>>;

struct StatisticsCounter {
  uint32_t total = 0;
  uint32_t selected = 0;
  uint32_t hidden = 0;
  uint32_t hiddenSelected = 0;
  int32_t parent = -1;  // index of the parent counter; -1 for the root
};

struct StatisticsEntry {
  bool group = false;  // an application folder row, not an item
  ItemKind kind = ItemKind::CameraRoll;
  int32_t deleted = 0;
  bool selected = false;
  bool hidden = false;
  uint64_t size = 0;  // in bytes, at least kMinimumItemSize
  size_t counter = 0;
  const void* record = nullptr;
};

enum class CheckState { Unchecked, Partial, Checked };

class CStatisticsObj {
 public:
  // Small items (and records, which have no size) count as this many bytes.
  static constexpr uint64_t kMinimumItemSize = 1024;

  CStatisticsObj();

  // Back to no categories, no entries and zero sizes.
  void Clear();

  // Category builders, called once per category when the scan completes it.
  // Entries start unselected; SetCategorySelected(kind, true) ticks them all.
  // A second call for a category that already has entries does nothing.
  void AddMediaFiles(
      ItemKind kind,
      std::span<const MediaFileRecord> files);  // Camera Roll, Photo Stream, WhatsApp Attachments
  void AddAttachmentFiles(std::span<const AttachmentFileRecord> files);
  void AddAppFolders(ItemKind kind, const AppFolderMap& folders);  // App Photos, App Videos
  // One item per conversation or chat; it counts as deleted when any of its messages is.
  void AddConversations(const ConversationMap& conversations);
  void AddContacts(std::span<const ContactRecord> contacts);
  void AddCalls(std::span<const CallRecord> calls);
  void AddNotes(std::span<const NoteRecord> notes);
  void AddWhatsAppChats(const WhatsAppChatMap& chats);

  // Row check box. False when the record has no item entry.
  bool SetSelected(const void* record, bool selected);
  // Category check box: every item of the category.
  void SetCategorySelected(ItemKind kind, bool selected);
  // Application row check box: every file of that application. `group` is the
  // file list of the application in the AppFolderMap given to AddAppFolders.
  bool SetGroupSelected(const void* group, bool selected);
  // Hidden by the deleted-only filter. False when the record has no item entry.
  bool SetHidden(const void* record, bool hidden);
  // The data side of the deleted-only filter: with it on, every item of the
  // category that is not deleted is hidden; off shows them again.
  void SetDeletedOnlyFilter(ItemKind kind, bool on);
  // Whether the filter is on: a conversation or chat is then written with its
  // deleted messages only.
  bool DeletedOnlyFilter(ItemKind kind) const;

  const StatisticsEntry* Find(const void* record) const;
  const StatisticsCounter& Root() const { return m_counters[0]; }
  const StatisticsCounter& CategoryCounter(ItemKind kind) const;
  CheckState CategoryCheckState(ItemKind kind) const;
  uint64_t TotalSize() const { return m_totalSize; }
  uint64_t SelectedSize() const { return m_selectedSize; }
  // Selected items the filter does not hide (never below 0).
  uint32_t SelectedVisibleCount() const;
  // Something visible is selected.
  bool CanRecover() const { return Root().selected > Root().hiddenSelected; }

  // The items a recovery writes: selected, not hidden, kinds 1 to 11, in map
  // order (the categories in tree order, the items of a list in list order).
  std::vector<const StatisticsEntry*> RecoveryItems() const;

 private:
  struct EntryKey {
    int32_t kind;
    uint32_t group;  // application index under App Photos / App Videos, else 0
    uint32_t index;  // 0 for an application's group entry, else position (+1 under an application)
    auto operator<=>(const EntryKey&) const = default;
  };

  bool HasCategory(ItemKind kind) const;
  size_t CategoryIndex(ItemKind kind) const { return static_cast<size_t>(kind); }
  void AddItem(ItemKind kind, EntryKey key, size_t counter, const void* record, int32_t deleted,
               uint64_t size);
  void AddToCounters(size_t counter, uint32_t StatisticsCounter::*field, int64_t delta);
  void SelectEntry(StatisticsEntry& entry, bool selected);
  void HideEntry(StatisticsEntry& entry, bool hidden);
  StatisticsEntry* FindItem(const void* record);

  std::vector<StatisticsCounter> m_counters;  // 0 root, 1..11 the categories, then applications
  std::map<EntryKey, StatisticsEntry> m_entries;
  std::unordered_map<const void*, EntryKey> m_keyByRecord;
  uint64_t m_totalSize = 0;
  uint64_t m_selectedSize = 0;
  std::vector<ItemKind> m_deletedOnly;  // the categories whose filter is on
};

}  // namespace fq
