#pragma once
// Texts for a console run of the recovery job: the one-line progress and the
// closing summary.
#include <filesystem>
#include <string>
#include <vector>

#include "output/RecoveryJob.h"

namespace fq {

// "\r[ 45%] 3 of 12 done, 0 failed: <path>" cut to a terminal line, padded so it
// overwrites the previous one.
std::string FormatProgressLine(const RecoveryProgress& progress);

// The counts (processed, succeeded, failed), whether the run was cancelled,
// the output folder, and one line per failed item with its reason.
std::string FormatRecoverySummary(const RecoveryProgress& progress, const std::vector<RecoveryRow>& rows,
                                  const std::filesystem::path& outputRoot);

}  // namespace fq
