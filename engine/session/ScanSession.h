#pragma once
// One scan as the scan page runs it: the record lists, the scan thread with
// its fixed category order, the progress lock, the pause, cancel and
// scan-finished flags, and the questions that stop a scan. The GUI, the CLI
// and the tests each drive a scan through it.
//
// Threads: Start, TogglePause, Stop, AskClose, Cancel and the destructor
// belong to one controlling thread (the UI thread); the progress lock held
// for a pause is left by the thread that entered it.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "engine/session/EventSink.h"
#include "engine/session/IPhoneRecoveryParse.h"
#include "engine/session/IScanView.h"
#include "engine/session/ScanCategory.h"
#include "engine/session/ScanOutcome.h"
#include "engine/session/ScanResults.h"
#include "engine/session/WorkerControl.h"

namespace fq {

// The answer of a question box that means "go ahead".
inline constexpr int32_t kAnswerOk = 1;

class ScanSession {
 public:
  explicit ScanSession(IEventSink& events, IScanView* view = nullptr);
  // Cancels a running scan and joins its thread.
  ~ScanSession();
  ScanSession(const ScanSession&) = delete;
  ScanSession& operator=(const ScanSession&) = delete;

  // Prepares a new scan on `recovery` (the previous recovery object is deleted
  // first) and starts the scan thread. False when a scan is still running.
  bool Start(std::unique_ptr<IPhoneRecoveryParse> recovery, std::string password);
  // Waits for the scan thread to end (joins it).
  void Wait();

  // The pause button: pausing enters the progress lock and keeps it, so the
  // scan thread stops at its next progress report; resuming leaves it.
  void TogglePause();
  // The stop button: freezes the scan, asks, and on kAnswerOk cancels and
  // waits for the scan to end. Returns the answer.
  int32_t Stop(const std::function<int32_t()>& ask);
  // Closing the window: 1 at once when the scan finished without finding
  // anything; else asks like Stop. 1 means go ahead and close.
  int32_t AskClose(const std::function<int32_t()>& ask);
  // Cancels without asking (the CLI's Ctrl-C) and does not wait.
  void Cancel();
  // Asks a running device backup to stop, together with the cancel flag.
  void setQuitRequest(std::function<void()> raiseQuit) { m_raiseQuit = std::move(raiseQuit); }
  // Runs between the 50-ms waits of Stop and AskClose for the scan to end, so
  // a UI thread can repaint meanwhile; it must not block on the scan.
  void setBetweenWaits(std::function<void()> between) { m_betweenWaits = std::move(between); }
  // The pause after the first report, which lets the view switch pages.
  void setFirstReportPause(std::chrono::milliseconds pause) { m_firstReportPause = pause; }

  // The scan page's progress callback (runs on the scan thread).
  int32_t ReportProgress(int32_t percent);

  // Empties every list, the percent shown and the first-display choice.
  void ClearResults();

  // A category's list is final once IScanView::categoryReady was called for
  // it: the scan thread does not touch it again, so the view may read it from
  // then on without the progress lock, until ClearResults or the next Start.
  // Every list may be read once finished() is true.
  const ScanResults& results() const { return m_results; }
  bool finished() const { return m_control.finished(); }
  bool paused() const { return m_paused; }
  bool cancelRequested() const { return m_control.cancelRequested(); }
  int32_t result() const { return m_result.load(); }
  // How the scan ended; valid once finished() is true.
  const ScanOutcome& outcome() const { return m_outcome; }
  int32_t percentShown() const { return m_percentShown.load(); }
  std::optional<ScanCategory> firstDisplay() const;
  IPhoneRecoveryParse* recovery() const { return m_recovery.get(); }
  CountedLock& progressLock() { return m_control.lock(); }

 private:
  void Run(std::string password);
  int32_t RunCategorySteps();
  ScanOutcome OpenFailed(int32_t code) const;
  // Takes the recovery object's word on how each record database was read.
  void RecordStatus();
  // Lists the files each file category left out, once its scans ran.
  void RecordSkippedFiles();
  void HandOver(ScanCategory category, size_t count);
  void WaitUntilFinished();
  void RequestCancel();
  void ReleaseRecovery();

  IEventSink& m_events;
  IScanView* m_view;
  std::unique_ptr<IPhoneRecoveryParse> m_recovery;
  ScanResults m_results;
  WorkerControl m_control{true};
  std::thread m_thread;
  std::atomic<int32_t> m_result{0};
  ScanOutcome m_outcome;  // written by the scan thread before it is marked finished
  std::atomic<int32_t> m_percentShown{0};
  std::atomic<int> m_firstDisplay{-1};
  bool m_paused = false;
  std::function<void()> m_raiseQuit;
  std::chrono::milliseconds m_firstReportPause{100};
  std::function<void()> m_betweenWaits;
};

}  // namespace fq
