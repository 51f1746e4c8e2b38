#include "engine/session/ScanOutcome.h"

namespace fq {

std::string_view ScanOutcomeKindName(ScanOutcomeKind kind) {
  switch (kind) {
    case ScanOutcomeKind::Finished:
      return "finished";
    case ScanOutcomeKind::Cancelled:
      return "cancelled";
    case ScanOutcomeKind::Failed:
      return "failed";
  }
  return "failed";
}

}  // namespace fq
