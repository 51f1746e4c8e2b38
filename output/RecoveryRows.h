#pragma once
// The result rows of one recovery, one per finished item, kept compactly: a
// recovery of a large backup writes a row per copied file, so a row is its
// path's text (relative to the output root where it lies inside it) in one
// shared buffer and a number for its status, and becomes a RecoveryRow again
// only when asked for.
#include <cstdint>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

namespace fq {

// One finished item: the output path and "Success" or the system's error text.
struct RecoveryRow {
  std::filesystem::path path;
  std::string status;
  bool success = false;
};

class RecoveryRows {
 public:
  RecoveryRows() = default;
  // Paths inside `root` are kept relative to it.
  explicit RecoveryRows(const std::filesystem::path& root);

  void add(const std::filesystem::path& path, const std::string& status, bool success);
  size_t size() const { return m_rows.size(); }
  RecoveryRow at(size_t i) const;
  // The rows from `first` on.
  std::vector<RecoveryRow> from(size_t first) const;
  // The rows that failed, in order.
  std::vector<RecoveryRow> failures() const;

 private:
  struct Row {
    uint64_t end = 0;       // where the path's text ends in m_text
    uint32_t status = 0;    // index into m_statuses
    bool relative = false;  // the text is relative to m_root
    bool success = false;
  };

  std::string m_rootText;  // the root's text ending in "/"; empty: nothing is kept relative
  std::string m_text;
  std::vector<Row> m_rows;
  // The few distinct status texts, each kept once.
  std::vector<std::string> m_statuses;
  std::unordered_map<std::string, uint32_t> m_statusIndex;
};

}  // namespace fq
