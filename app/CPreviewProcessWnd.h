#pragma once
// The progress window of a large preview copy: copies one stored file into
// the preview's work folder on a thread of its own, shows its percent, and
// asks before it cancels. Ends with 1 when the copy ran to its end (whatever
// its result) and 2 when it was cancelled.
#include <QString>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <thread>

#include "app/CPopUpWnd.h"
#include "engine/ResultCodes.h"

class QLabel;
class QProgressBar;

namespace fq {
class BackupStore;
}

namespace fq::app {

class DialogHost;
class LanguageStore;

class CPreviewProcessWnd : public CPopUpWnd {
  Q_OBJECT
 public:
  CPreviewProcessWnd(const LanguageStore& texts, DialogHost& dialogs, BackupStore& store,
                     std::filesystem::path source, const QString& displayName, QWidget* owner);
  ~CPreviewProcessWnd() override;

  // Stops a copy still running (the window ended some other way) and waits for its thread.
  void waitForCopy();
  // After waitForCopy: the copy's result code and the copy's path (empty
  // when nothing was copied).
  int32_t copyResult() const { return m_result; }
  const std::filesystem::path& outputPath() const { return m_output; }

  // The close button, Cancel and Escape: asks, and on OK stops the copy at
  // its next step. The window ends when the copy thread has returned.
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void startCopy();
  int32_t onProgress(int32_t percent);
  void showPercent(int percent);
  void copyEnded();

  const LanguageStore& m_texts;
  DialogHost& m_dialogs;
  BackupStore& m_store;
  std::filesystem::path m_source;
  // Written by the copy thread, read once it has been joined.
  std::filesystem::path m_output;
  int32_t m_result = kCancelled;
  QLabel* m_percent;
  QProgressBar* m_progress;
  // Held by the question and by each progress step: the copy waits while the user is asked.
  std::mutex m_lock;
  bool m_cancel = false;
  std::atomic<bool> m_ended{false};
  bool m_asking = false;
  std::thread m_worker;
};

}  // namespace fq::app
