#include "engine/session/RunWorkArea.h"

#include <charconv>
#include <vector>

#include "engine/platform/Folders.h"
#include "engine/platform/ProcessState.h"
#include "engine/session/CleanUp.h"

namespace fq {

std::string RunFolderName() { return std::string(kRunFolderPrefix) + std::to_string(CurrentProcessId()); }

void RemoveStaleRunFolders(const std::filesystem::path& parent) {
  if (parent.empty()) return;
  std::vector<FolderEntry> entries;
  if (ListFolder(parent, entries) != 0) return;
  const int64_t self = CurrentProcessId();
  for (const auto& entry : entries) {
    if (!entry.isFolder || entry.name.rfind(kRunFolderPrefix, 0) != 0) continue;
    const std::string_view digits = std::string_view(entry.name).substr(kRunFolderPrefix.size());
    int64_t pid = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
    // Only names this program makes: "run-" and the digits of an id, nothing more.
    if (error != std::errc() || end != digits.data() + digits.size() || digits.empty()) continue;
    if (pid == self || ProcessIsAlive(pid)) continue;
    RemoveTree(parent / entry.name);
  }
}

}  // namespace fq
