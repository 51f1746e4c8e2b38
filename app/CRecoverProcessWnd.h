#pragma once
// The recovery window: runs a RecoveryJob on its worker and shows the overall
// and the item's progress, the counts, the result rows (failed ones on top)
// and, at the end, where the output is. Cancel asks first; the worker is held
// while the question is up. Ends with 1 (finished) or 2 (cancelled).
#include <QElapsedTimer>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <memory>

#include "app/CPopUpWnd.h"
#include "output/RecoveryJob.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;

namespace fq::app {

class DialogHost;
class LanguageStore;
class RecoveryRowsModel;

// What a recovery reads: all must outlive the window.
struct RecoveryInput {
  const ScanResults& results;
  const CStatisticsObj& statistics;
  IPhoneRecoveryParse& session;
  RecoverySource source;  // named on the index page
};

inline constexpr int kRecoverWindowWidth = 550;
inline constexpr int kRecoverWindowHeight = 250;

class CRecoverProcessWnd : public CPopUpWnd {
  Q_OBJECT
 public:
  CRecoverProcessWnd(const LanguageStore& texts, DialogHost& dialogs, std::filesystem::path outputRoot,
                     const RecoveryInput& input, ReportTemplates templates, QWidget* owner);
  ~CRecoverProcessWnd() override;

  // Starts the job and shows the window modally; its result.
  int runRecovery();
  const RecoveryJob& job() const { return *m_job; }
  const RecoveryRowsModel& rows() const { return *m_model; }
  bool detailsShown() const { return m_detailsShown; }

  // The cancel request of CancelBtn, closebtn and Escape: asks first while
  // the job runs.
  void requestClose() override;

 protected:
  void customEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void onJobChanged();  // worker thread
  void refreshFromJob();
  void showPaths();
  void toggleDetails();
  void keepOnScreen();
  void openOutput();

  const LanguageStore& m_texts;
  DialogHost& m_dialogs;
  ReportTemplates m_templates;  // before the job, which reads it
  std::unique_ptr<RecoveryJob> m_job;
  RecoveryRowsModel* m_model;
  QProgressBar* m_overall;
  QProgressBar* m_progress;
  QLabel* m_current;
  QLabel* m_percent;
  QLabel* m_recovered;
  QLabel* m_where;
  QTableView* m_list;
  QPushButton* m_openBtn;
  QPushButton* m_finishBtn;
  QPushButton* m_cancelBtn;
  QString m_currentPath;
  QString m_whereText;
  std::atomic<bool> m_updatePending{false};
  QElapsedTimer m_sinceUpdate;
  QTimer m_updateTimer;
  size_t m_rowsShown = 0;
  bool m_held = false;  // the worker is held: the UI must not take its lock again
  bool m_detailsShown = false;
  bool m_closing = false;
};

}  // namespace fq::app
