#include "cli/ScanSummary.h"

#include "engine/session/AppFileSplit.h"
#include "engine/session/LiveDeletedCount.h"
#include "engine/session/ScanCategory.h"

namespace fq::cli {

std::vector<CategoryCount> CountCategories(const ScanResults& results) {
  const auto apps = SplitAppFiles(results.appFiles);
  std::vector<CategoryCount> counts;
  for (const auto category : kScanCategories) {
    const LiveDeletedCount found = CountCategory(results, apps, category);
    CategoryCount count{std::string(CategoryName(category)), found.live, found.deleted, {}, category, 0};
    if (const auto skipped = results.skipped.find(category); skipped != results.skipped.end()) {
      count.skipped = skipped->second.size();
    }
    if (const auto status = results.status.find(category); status != results.status.end()) {
      count.status = status->second;
    }
    counts.push_back(std::move(count));
  }
  return counts;
}

}  // namespace fq::cli
