#pragma once
// How many live and deleted items of one category a scan found. Files count
// as live; a conversation or chat counts each of its messages.
#include <cstddef>

#include "engine/session/AppFileSplit.h"
#include "engine/session/ScanCategory.h"
#include "engine/session/ScanResults.h"

namespace fq {

struct LiveDeletedCount {
  size_t live = 0;
  size_t deleted = 0;
};

// `apps` is SplitAppFiles(results.appFiles), split once by the caller.
LiveDeletedCount CountCategory(const ScanResults& results, const AppFileSplit& apps, ScanCategory category);

}  // namespace fq
