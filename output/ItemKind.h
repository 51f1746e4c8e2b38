#pragma once
// The kinds of ticked items a recovery writes: the scan's categories numbered
// by their place in the category tree, as the selection stores them. Names and
// numbers come from the one category table (engine/session/ScanCategory.h).
#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/session/ScanCategory.h"

namespace fq {

namespace detail {
constexpr int32_t TreePosition(ScanCategory category) { return RowOf(category).treePosition; }
}  // namespace detail

enum class ItemKind : int32_t {
  CameraRoll = detail::TreePosition(ScanCategory::CameraRoll),
  PhotoStream = detail::TreePosition(ScanCategory::PhotoStream),
  AppPhotos = detail::TreePosition(ScanCategory::AppPhotos),
  AppVideos = detail::TreePosition(ScanCategory::AppVideos),
  Messages =
      detail::TreePosition(ScanCategory::Messages),  // one item per conversation: its first MessageRecord
  MessagesAttachments = detail::TreePosition(ScanCategory::MessagesAttachments),
  Contacts = detail::TreePosition(ScanCategory::Contacts),
  CallHistory = detail::TreePosition(ScanCategory::CallHistory),
  Notes = detail::TreePosition(ScanCategory::Notes),
  WhatsApp =
      detail::TreePosition(ScanCategory::WhatsApp),  // one item per chat: its first WhatsAppMessageRecord
  WhatsAppAttachments = detail::TreePosition(ScanCategory::WhatsAppAttachments),
};

inline constexpr int32_t kFirstItemKind = 1;
inline constexpr int32_t kLastItemKind = static_cast<int32_t>(kScanCategoryTable.size());

// The item kind of a scan category and back, by the table's tree positions.
constexpr ItemKind ItemKindOf(ScanCategory category) {
  return static_cast<ItemKind>(RowOf(category).treePosition);
}
std::optional<ScanCategory> ScanCategoryOf(ItemKind kind);

// The category name as the tree and the scan's JSON show it ("Camera Roll", ...).
std::string_view CategoryName(ItemKind kind);

// The kind of a category name; exact match, as the scan's JSON spells it.
std::optional<ItemKind> ItemKindFromCategoryName(std::string_view name);

// Messages, Contacts, Call History, Notes and WhatsApp hold records with a
// deleted flag; the other categories hold files.
bool IsRecordCategory(ItemKind kind);

}  // namespace fq
