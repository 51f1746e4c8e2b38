#pragma once
// The kinds of ticked items a recovery writes. The values are the tree order of
// the scan view's categories and the kind numbers stored in the selection.
#include <cstdint>
#include <optional>
#include <string_view>

namespace fq {

enum class ItemKind : int32_t {
  CameraRoll = 1,
  PhotoStream = 2,
  AppPhotos = 3,
  AppVideos = 4,
  Messages = 5,  // one item per conversation: its first MessageRecord
  MessagesAttachments = 6,
  Contacts = 7,
  CallHistory = 8,
  Notes = 9,
  WhatsApp = 10,  // one item per chat: its first WhatsAppMessageRecord
  WhatsAppAttachments = 11,
};

inline constexpr int32_t kFirstItemKind = 1;
inline constexpr int32_t kLastItemKind = 11;

// The category name as the tree and the scan's JSON show it ("Camera Roll", ...).
std::string_view CategoryName(ItemKind kind);

// The kind of a category name; exact match, as the scan's JSON spells it.
std::optional<ItemKind> ItemKindFromCategoryName(std::string_view name);

// Messages, Contacts, Call History, Notes and WhatsApp hold records with a
// deleted flag; the other categories hold files.
bool IsRecordCategory(ItemKind kind);

}  // namespace fq
