#include "output/RecoverySummary.h"

#include <fmt/format.h>

namespace fq {
namespace {

constexpr size_t kLineWidth = 100;

// Keeps the end of a long path (the file name matters most), on a UTF-8 boundary.
std::string KeepTail(const std::string& text, size_t width) {
  if (text.size() <= width) return text;
  size_t start = text.size() - (width - 3);
  while (start < text.size() && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) ++start;
  return "..." + text.substr(start);
}

}  // namespace

std::string FormatProgressLine(const RecoveryProgress& p) {
  std::string line =
      fmt::format("[{:3d}%] {} of {} done, {} failed", p.percent, p.processed, p.total, p.failed);
  if (!p.current.empty()) {
    line += ": ";
    line += KeepTail(p.current.string(), kLineWidth > line.size() + 10 ? kLineWidth - line.size() : 10);
  }
  if (line.size() < kLineWidth) line.append(kLineWidth - line.size(), ' ');
  return "\r" + line;
}

std::string FormatRecoverySummary(const RecoveryProgress& p, const std::vector<RecoveryRow>& rows,
                                  const std::filesystem::path& outputRoot) {
  std::string text;
  if (p.cancelled) text += "Recovery cancelled.\n";
  text += fmt::format("Processed: {}, succeeded: {}, failed: {}\n", p.processed, p.Succeeded(), p.failed);
  if (p.otherFailures != 0) text += fmt::format("Other failures (listed below): {}\n", p.otherFailures);
  text += "Output folder: " + outputRoot.string() + "\n";
  bool heading = false;
  for (const auto& row : rows) {
    if (row.success) continue;
    if (!heading) text += "Failed:\n";
    heading = true;
    text += "  " + row.path.string() + ": " + row.status + "\n";
  }
  return text;
}

}  // namespace fq
