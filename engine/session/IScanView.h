#pragma once
// What a scan tells the view that shows it (the GUI's scan page, the CLI's
// progress line, a test). Every call comes on the scan thread; the two made
// under the progress lock must not wait for the UI thread, which may hold that
// lock (a pause, a question) while it waits for the scan.
#include <cstddef>
#include <cstdint>

#include "engine/session/ScanCategory.h"
#include "engine/session/ScanResults.h"

namespace fq {

class IScanView {
 public:
  virtual ~IScanView() = default;

  // The first progress report arrived: switch to the scan page. Called under
  // the progress lock.
  virtual void showScanPage() {}
  // A report above the percent shown arrived (the percent shown is capped at
  // 99, so it may stay the same); the category counts may be taken again from
  // `results`. Called under the progress lock.
  virtual void percentChanged(int32_t /*percentShown*/, const ScanResults& /*results*/) {}
  // A category's records are in `results` and final from now on (see
  // ScanSession::results): add `count` to its counter. For Messages and
  // WhatsApp `count` is the number of conversations or chats that hold a
  // message, as they are listed and counted.
  virtual void categoryReady(ScanCategory /*category*/, size_t /*count*/) {}
  // True when the user already selected a node (no first display is chosen then).
  virtual bool hasSelection() const { return false; }
};

}  // namespace fq
