#include "output/RecoveryRows.h"

namespace fq {

namespace fs = std::filesystem;

RecoveryRows::RecoveryRows(const fs::path& root) : m_rootText(root.native()) {
  if (!m_rootText.empty() && m_rootText.back() != '/') m_rootText.push_back('/');
}

void RecoveryRows::add(const fs::path& path, const std::string& status, bool success) {
  const std::string& text = path.native();
  Row row;
  // A path whose text starts with the root's is stored without it; at() joins
  // them again, which gives back the same text.
  row.relative = !m_rootText.empty() && text.size() > m_rootText.size() &&
                 text.compare(0, m_rootText.size(), m_rootText) == 0;
  m_text.append(text, row.relative ? m_rootText.size() : 0, std::string::npos);
  row.end = m_text.size();
  const auto [found, added] = m_statusIndex.try_emplace(status, static_cast<uint32_t>(m_statuses.size()));
  if (added) m_statuses.push_back(status);
  row.status = found->second;
  row.success = success;
  m_rows.push_back(row);
}

RecoveryRow RecoveryRows::at(size_t i) const {
  const Row& row = m_rows[i];
  const uint64_t begin = i == 0 ? 0 : m_rows[i - 1].end;
  std::string text;
  if (row.relative) text = m_rootText;
  text.append(m_text, begin, row.end - begin);
  return {fs::path(std::move(text)), m_statuses[row.status], row.success};
}

std::vector<RecoveryRow> RecoveryRows::from(size_t first) const {
  std::vector<RecoveryRow> rows;
  if (first >= m_rows.size()) return rows;
  rows.reserve(m_rows.size() - first);
  for (size_t i = first; i < m_rows.size(); ++i) rows.push_back(at(i));
  return rows;
}

std::vector<RecoveryRow> RecoveryRows::failures() const {
  std::vector<RecoveryRow> rows;
  for (size_t i = 0; i < m_rows.size(); ++i)
    if (!m_rows[i].success) rows.push_back(at(i));
  return rows;
}

}  // namespace fq
