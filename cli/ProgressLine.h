#pragma once
// The scan's progress on standard error: a one-line bar redrawn in place on a
// terminal, plain lines otherwise, nothing when it has no stream (--quiet).
#include <cstdint>
#include <cstdio>

#include "engine/session/IScanView.h"

namespace fq::cli {

class ProgressLine : public IScanView {
 public:
  ProgressLine(std::FILE* out, bool terminal) : m_out(out), m_terminal(terminal) {}

  void percentChanged(int32_t percentShown, const ScanResults& results) override;
  void categoryReady(ScanCategory category, size_t count) override;
  // Ends the bar's line (the scan is over).
  void finish();

 private:
  std::FILE* m_out;
  bool m_terminal;
  bool m_barShown = false;
};

}  // namespace fq::cli
