#include "cli/ProgressLine.h"

#include <string>

namespace fq::cli {

void ProgressLine::percentChanged(int32_t percentShown, const ScanResults&) {
  if (!m_out) return;
  if (!m_terminal) {
    std::fprintf(m_out, "scan: %d%%\n", percentShown);
    return;
  }
  constexpr int kWidth = 40;
  const int filled = percentShown * kWidth / 100;
  std::string bar(static_cast<size_t>(filled), '#');
  bar.append(static_cast<size_t>(kWidth - filled), '.');
  std::fprintf(m_out, "\rScanning [%s] %3d%%", bar.c_str(), percentShown);
  std::fflush(m_out);
  m_barShown = true;
}

void ProgressLine::categoryReady(ScanCategory category, size_t count) {
  if (!m_out || m_terminal) return;  // the bar alone; the summary follows at the end
  const std::string name(CategoryName(category));
  std::fprintf(m_out, "scan: %s: %zu\n", name.c_str(), count);
}

void ProgressLine::finish() {
  if (m_barShown) std::fprintf(m_out, "\n");
  m_barShown = false;
}

}  // namespace fq::cli
