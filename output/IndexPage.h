#pragma once
// The page at the top of what a recovery wrote: where the data came from, when
// and by which program it was written, each category's counts and status,
// links to every report and folder, and the items that failed with their
// reasons. Self-contained (inline style, no script), every text escaped.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/session/CategoryStatus.h"
#include "output/ItemKind.h"

namespace fq {

// The source of a recovery as the index page names it.
struct RecoverySource {
  std::string deviceName;
  std::string serialNumber;
  std::string backupDate;  // local time, as the backup list shows it
  bool encrypted = false;
  bool device = false;  // a fresh backup of a connected device
  std::string program;  // the program and its version that wrote the run
};

struct IndexCategory {
  ItemKind kind = ItemKind::CameraRoll;
  size_t live = 0;
  size_t deleted = 0;
  uint32_t written = 0;
  uint32_t failed = 0;
  CategoryStatus status;
};

struct IndexFailure {
  std::filesystem::path path;  // relative to the page where it lies inside the run
  std::string reason;
};

struct IndexPageInput {
  RecoverySource source;
  std::string writtenAt;  // local time of the run
  std::vector<IndexCategory> categories;
  std::vector<std::filesystem::path> links;  // relative to the page
  std::vector<IndexFailure> failures;
};

std::string BuildIndexPage(const IndexPageInput& input);

// A relative link's href: each path component percent-encoded.
std::string RelativeHref(const std::filesystem::path& relative);

}  // namespace fq
