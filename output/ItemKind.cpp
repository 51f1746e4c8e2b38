#include "output/ItemKind.h"

#include <array>

namespace fq {
namespace {

constexpr std::array<std::string_view, kLastItemKind> kCategoryNames = {
    "Camera Roll",          "Photo Stream", "App Photos",   "App Videos", "Messages",
    "Messages Attachments", "Contacts",     "Call History", "Notes",      "WhatsApp",
    "WhatsApp Attachments",
};

}  // namespace

std::string_view CategoryName(ItemKind kind) {
  const auto k = static_cast<int32_t>(kind);
  if (k < kFirstItemKind || k > kLastItemKind) return {};
  return kCategoryNames[static_cast<size_t>(k - kFirstItemKind)];
}

std::optional<ItemKind> ItemKindFromCategoryName(std::string_view name) {
  for (int32_t k = kFirstItemKind; k <= kLastItemKind; ++k) {
    if (kCategoryNames[static_cast<size_t>(k - kFirstItemKind)] == name) return static_cast<ItemKind>(k);
  }
  return std::nullopt;
}

bool IsRecordCategory(ItemKind kind) {
  switch (kind) {
    case ItemKind::Messages:
    case ItemKind::Contacts:
    case ItemKind::CallHistory:
    case ItemKind::Notes:
    case ItemKind::WhatsApp:
      return true;
    default:
      return false;
  }
}

}  // namespace fq
