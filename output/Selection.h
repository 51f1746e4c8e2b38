#pragma once
// The CLI's selections: which items of a scan a recovery writes — everything,
// the named categories, and optionally only the records deleted on the phone.
#include <string>
#include <vector>

#include "engine/session/ScanResults.h"
#include "output/CStatisticsObj.h"
#include "output/ItemKind.h"

namespace fq {

struct RecoveryRequest {
  std::vector<ItemKind> categories;  // empty: every category
  // Only records whose deleted flag is set (a conversation or chat when any of
  // its messages is, as the scan view lists it). Files carry no such flag and
  // are left out.
  bool deletedOnly = false;
};

// Category names as the scan's JSON spells them ("Camera Roll", "Messages", ...).
// False, with the offending name in `unknown`, when a name is not a category.
bool ParseCategoryNames(const std::vector<std::string>& names, std::vector<ItemKind>& kinds,
                        std::string& unknown);

// Rebuilds `statistics` over the whole scan and selects what `request` asks
// for. `appPhotos` and `appVideos` are the scan's application files split by
// extension (the engine's SplitAppFiles). All three must outlive `statistics`.
void SelectForRecovery(const ScanResults& results, const AppFolderMap& appPhotos,
                       const AppFolderMap& appVideos, const RecoveryRequest& request,
                       CStatisticsObj& statistics);

}  // namespace fq
