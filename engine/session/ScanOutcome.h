#pragma once
// How one scan ended, as a person is told: it finished, the user cancelled
// it, or it failed with the code that stopped it and a reason in words. The
// CLI and the window read this instead of searching the posted events.
#include <cstdint>
#include <string>
#include <string_view>

namespace fq {

enum class ScanOutcomeKind { Finished, Cancelled, Failed };

struct ScanOutcome {
  ScanOutcomeKind kind = ScanOutcomeKind::Finished;
  int32_t code = 0;    // the code that ended the scan as the operation returned it (0 when finished)
  std::string reason;  // empty when finished; never empty when failed
};

// "finished", "cancelled" or "failed": the words of the scan's JSON.
std::string_view ScanOutcomeKindName(ScanOutcomeKind kind);

}  // namespace fq
