#pragma once
// The scan page's side of IScanView: every call from the scan thread becomes
// an event posted to the page, which acts on it on the GUI thread. Nothing
// here waits for the GUI thread: two of the calls come under the progress
// lock, which the GUI thread holds while paused or asking a question.
#include <QEvent>
#include <array>
#include <atomic>
#include <cstddef>

#include "engine/session/IScanView.h"
#include "engine/session/ScanCategory.h"

class QObject;

namespace fq::app {

// Event types the poster sends (beyond the engine messages of SinkEvent).
inline constexpr int kScanPageShownEvent = QEvent::User + 100;
inline constexpr int kScanPercentEvent = QEvent::User + 101;
inline constexpr int kScanCategoryEvent = QEvent::User + 102;

// Per category (by its ScanCategory value), the size of its list when the
// percent was reported: the counts the tree shows while the scan runs.
using LiveCounts = std::array<size_t, kScanCategories.size()>;

class ScanPercentEvent : public QEvent {
 public:
  ScanPercentEvent(int percent, const LiveCounts& counts)
      : QEvent(static_cast<QEvent::Type>(kScanPercentEvent)), m_percent(percent), m_counts(counts) {}
  int percent() const { return m_percent; }
  const LiveCounts& counts() const { return m_counts; }

 private:
  int m_percent;
  LiveCounts m_counts;
};

class ScanCategoryEvent : public QEvent {
 public:
  ScanCategoryEvent(ScanCategory category, size_t count)
      : QEvent(static_cast<QEvent::Type>(kScanCategoryEvent)), m_category(category), m_count(count) {}
  ScanCategory category() const { return m_category; }
  size_t count() const { return m_count; }

 private:
  ScanCategory m_category;
  size_t m_count;
};

class ScanViewPoster : public IScanView {
 public:
  // `target` must outlive every scan that reports to this poster.
  explicit ScanViewPoster(QObject* target) : m_target(target) {}

  void showScanPage() override;
  void percentChanged(int32_t percentShown, const ScanResults& results) override;
  void categoryReady(ScanCategory category, size_t count) override;
  bool hasSelection() const override { return m_selection.load(); }

  // The GUI thread tells whether the user selected a tree node.
  void setSelection(bool selected) { m_selection = selected; }

 private:
  QObject* m_target;
  std::atomic<bool> m_selection{false};
};

}  // namespace fq::app
