#pragma once
// The categories a scan fills: one table that gives each its name, its place
// in the order the scan hands them to the view, and its place in the category
// tree (the order the recovery lists and numbers them).
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace fq {

// In the order the scan hands the categories to the view.
enum class ScanCategory {
  CameraRoll,
  PhotoStream,
  Messages,
  MessagesAttachments,
  Contacts,
  CallHistory,
  Notes,
  AppPhotos,
  AppVideos,
  WhatsApp,
  WhatsAppAttachments,
};

struct ScanCategoryRow {
  ScanCategory category;
  std::string_view name;  // the category tree's node name, as the scan's JSON spells it
  int32_t treePosition;   // 1-based place in the category tree
};

// One row per category, in scan order (row i is the category of value i).
inline constexpr std::array<ScanCategoryRow, 11> kScanCategoryTable = {{
    {ScanCategory::CameraRoll, "Camera Roll", 1},
    {ScanCategory::PhotoStream, "Photo Stream", 2},
    {ScanCategory::Messages, "Messages", 5},
    {ScanCategory::MessagesAttachments, "Messages Attachments", 6},
    {ScanCategory::Contacts, "Contacts", 7},
    {ScanCategory::CallHistory, "Call History", 8},
    {ScanCategory::Notes, "Notes", 9},
    {ScanCategory::AppPhotos, "App Photos", 3},
    {ScanCategory::AppVideos, "App Videos", 4},
    {ScanCategory::WhatsApp, "WhatsApp", 10},
    {ScanCategory::WhatsAppAttachments, "WhatsApp Attachments", 11},
}};

constexpr const ScanCategoryRow& RowOf(ScanCategory category) {
  return kScanCategoryTable[static_cast<size_t>(category)];
}

namespace detail {
constexpr bool TableIsInScanOrder() {
  for (size_t i = 0; i < kScanCategoryTable.size(); ++i) {
    if (static_cast<size_t>(kScanCategoryTable[i].category) != i) return false;
  }
  return true;
}
constexpr bool TreePositionsAreAPermutation() {
  for (size_t position = 1; position <= kScanCategoryTable.size(); ++position) {
    size_t holders = 0;
    for (const auto& row : kScanCategoryTable) holders += static_cast<size_t>(row.treePosition) == position;
    if (holders != 1) return false;
  }
  return true;
}
constexpr std::array<ScanCategory, kScanCategoryTable.size()> ScanOrder() {
  std::array<ScanCategory, kScanCategoryTable.size()> order{};
  for (size_t i = 0; i < order.size(); ++i) order[i] = kScanCategoryTable[i].category;
  return order;
}
}  // namespace detail

static_assert(detail::TableIsInScanOrder(), "row i must hold the category of value i");
static_assert(detail::TreePositionsAreAPermutation(), "each tree position belongs to one category");

// Every category, in scan order.
inline constexpr std::array<ScanCategory, kScanCategoryTable.size()> kScanCategories = detail::ScanOrder();

// The category tree's node name of a category.
constexpr std::string_view CategoryName(ScanCategory category) { return RowOf(category).name; }

}  // namespace fq
