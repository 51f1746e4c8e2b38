#pragma once
// Encodes records in the binary layout of Manifest.mbdb.
#include <cstdint>
#include <span>
#include <vector>

#include "tools/backupbuilder/ManifestRecord.h"

namespace fq::builder {

// The magic "mbdb", version 5.0, then one record per entry, big-endian.
std::vector<uint8_t> EncodeManifestMbdb(std::span<const ManifestRecord> records);

// One record alone, for tests that cut or splice records.
void AppendMbdbRecord(const ManifestRecord& record, std::vector<uint8_t>& out);

}  // namespace fq::builder
