#pragma once
// A list report (the contacts, call-history and notes pages) written while
// its rows come: the head and the file at the first row, the rows through a
// small buffer, the tail at the end. Only the buffer is held, whatever the
// number of rows.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "engine/platform/File.h"
#include "output/ReportTemplates.h"

namespace fq {

class ListReportFile {
 public:
  // Adds a row; the first one creates the file at `path` (and its folders,
  // replacing a file of that name) and writes the head of `report`.
  void addRow(const std::filesystem::path& path, const ReportTemplate& report, std::string_view row);
  uint32_t items() const { return m_items; }
  const std::filesystem::path& path() const { return m_path; }
  // Writes the tail and closes the file: 0, or the errno of the first failed
  // step (a file that failed is not left behind).
  int32_t finish(const ReportTemplate& report);
  // Removes a report that was started but will not be finished.
  void discard();

 private:
  void flush();

  std::filesystem::path m_path;
  File m_file;
  std::string m_buffer;
  uint32_t m_items = 0;
  int32_t m_failure = 0;  // of the folders or the creation
};

}  // namespace fq
