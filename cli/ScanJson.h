#pragma once
// The scan's report as one JSON document: the source, the result, the events
// posted and every category's records in the scan's order.
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "engine/session/EventRecorder.h"
#include "engine/session/ScanResults.h"

namespace fq::cli {

nlohmann::ordered_json CategoriesJson(const ScanResults& results);

nlohmann::ordered_json ScanJson(const std::string& source, int32_t result,
                                const std::vector<EventRecorder::Event>& events, const ScanResults& results);

}  // namespace fq::cli
