#pragma once
// The scan's report as one JSON document: the source, the result, the events
// posted, how the scan ended and every category's records in the scan's order. It is written record
// by record, one record a line, so a large phone never needs the whole document
// in memory.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "engine/session/EventRecorder.h"
#include "engine/session/ScanOutcome.h"
#include "engine/session/ScanResults.h"

namespace fq::cli {

void WriteScanJson(std::ostream& out, const std::string& source, int32_t result,
                   const std::vector<EventRecorder::Event>& events, const ScanOutcome& outcome,
                   const ScanResults& results);

}  // namespace fq::cli
