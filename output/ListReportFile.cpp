#include "output/ListReportFile.h"

#include <system_error>

#include "engine/platform/Folders.h"

namespace fq {

namespace {
constexpr size_t kFlushBytes = 64 * 1024;
}  // namespace

void ListReportFile::addRow(const std::filesystem::path& path, const ReportTemplate& report,
                            std::string_view row) {
  if (m_items++ == 0) {
    m_path = path;
    m_failure = CreateFolders(path.parent_path());
    if (m_failure == 0) {
      m_file = File::CreateOutput(path);
      if (!m_file.ok()) m_failure = m_file.error();
    }
    if (m_failure == 0) m_buffer = report.head;
  }
  if (m_failure != 0) return;
  m_buffer += row;
  if (m_buffer.size() >= kFlushBytes) flush();
}

void ListReportFile::flush() {
  // A failed write sticks in the file and comes back from close().
  m_file.write(m_buffer);
  m_buffer.clear();
}

int32_t ListReportFile::finish(const ReportTemplate& report) {
  if (m_failure != 0) return m_failure;
  m_buffer += report.tail;
  flush();
  m_buffer.shrink_to_fit();
  return m_file.close();
}

void ListReportFile::discard() {
  if (m_items == 0 || m_failure != 0) return;
  m_file = File();
  std::error_code ec;
  std::filesystem::remove(m_path, ec);
}

}  // namespace fq
