#pragma once
// The scan's readable summary: per category the count of live and deleted
// items, and whether its database was read.
#include <cstddef>
#include <string>
#include <vector>

#include "engine/session/ScanResults.h"

namespace fq::cli {

struct CategoryCount {
  std::string name;
  size_t live = 0;
  size_t deleted = 0;
  CategoryStatus status;
  ScanCategory category = ScanCategory::CameraRoll;
  size_t skipped = 0;  // stored files the category left out
  bool operator==(const CategoryCount&) const = default;
};

// In the scan's category order; files count as live.
std::vector<CategoryCount> CountCategories(const ScanResults& results);

}  // namespace fq::cli
