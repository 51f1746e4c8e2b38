#include "output/ItemKind.h"

namespace fq {

std::optional<ScanCategory> ScanCategoryOf(ItemKind kind) {
  for (const auto& row : kScanCategoryTable) {
    if (row.treePosition == static_cast<int32_t>(kind)) return row.category;
  }
  return std::nullopt;
}

std::string_view CategoryName(ItemKind kind) {
  const auto category = ScanCategoryOf(kind);
  return category ? CategoryName(*category) : std::string_view();
}

std::optional<ItemKind> ItemKindFromCategoryName(std::string_view name) {
  for (const auto& row : kScanCategoryTable) {
    if (row.name == name) return ItemKindOf(row.category);
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
