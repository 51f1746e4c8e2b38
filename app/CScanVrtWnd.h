#pragma once
// The scan page: it runs one scan at a time (ScanSession) and shows it — the
// progress while it runs, the category tree with counts as categories
// complete, the data list of the chosen category with its check boxes and
// deleted-only filter, and the selection statistics that decide what a
// recovery writes. The preview, recovery and print windows hang on its signals.
//
// Threads: the scan thread reaches the page only through posted events
// (ScanViewPoster, and the engine messages the main window passes on); the
// statistics, the tree and the list belong to the GUI thread.
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/ScanViewPoster.h"
#include "app/Skin.h"
#include "engine/backup/BackupInfo.h"
#include "engine/session/AppFileSplit.h"
#include "engine/session/ScanCategory.h"
#include "engine/session/ScanSession.h"
#include "output/CStatisticsObj.h"

class QAbstractButton;
class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;
class QTreeView;

namespace fq {
class BackupStore;
class IDeviceBackupDriver;
class IEventSink;
class IPhoneRecoveryParse;
}  // namespace fq

namespace fq::app {

class CButtonGifUI;
class CFileListCtrl;
class CFileTreeCtrl;
class CPreviewVrtWnd;
class DialogHost;
class LanguageStore;

class CScanVrtWnd : public QWidget {
  Q_OBJECT
 public:
  // What a scan request asked for (kept for the windows' tests).
  struct Request {
    int source = 0;
    BackupInfo backup;
    bool withPassword = false;
  };
  // Builds the recovery object of a scan source (0 device, 1 backup).
  using RecoveryMaker = std::function<std::unique_ptr<IPhoneRecoveryParse>(int source)>;

  CScanVrtWnd(const LanguageStore& texts, DialogHost& dialogs, BackupStore& store, IEventSink& events,
              QWidget* parent);
  ~CScanVrtWnd() override;
  void applyTexts();

  void setBackup(const BackupInfo& backup) { m_backup = backup; }
  // Kept until the scan's Open reads it, then wiped.
  void setBackupPassword(std::string password);
  // The connected device's driver for device scans; none: a device scan fails.
  void setDeviceDriver(IDeviceBackupDriver* driver) { m_driver = driver; }
  void setRecoveryMaker(RecoveryMaker maker) { m_makeRecovery = std::move(maker); }

  // A scan request (message 1031): prepares the page and starts the scan.
  void start(int source);
  // The engine messages the main window receives for the page.
  void onCountsChanged();
  void onFirstCategory();
  void onScanEnded();
  // Closing the main window: 1 to go ahead (a running scan is then cancelled
  // and waited for), anything else keeps the window open.
  int askClose();
  // Ends a running scan without asking (the window is being destroyed).
  void shutDown();

  // While a recovery or print worker reads the statistics, categories that
  // complete wait; released, they are added.
  void holdCategoryEvents(bool hold);

  int source() const { return m_source; }
  const std::vector<Request>& requests() const { return m_requests; }
  const Skin& skin() const { return m_skin; }
  ScanSession& session() { return m_session; }
  CStatisticsObj& statistics() { return m_statistics; }
  // The App Photos / App Videos split the statistics point into.
  const AppFileSplit& appFiles() const { return m_split; }
  // The file list of the application the data list shows, or null.
  const std::vector<AppFileRecord>* listedAppFiles() const { return m_listedApp; }
  std::optional<ScanCategory> currentCategory() const;
  CFileTreeCtrl& treeModel() const { return *m_treeModel; }
  CFileListCtrl& listModel() const { return *m_listModel; }
  bool scanEnded() const { return m_ended; }
  CPreviewVrtWnd& preview() const { return *m_preview; }

 signals:
  void homeRequested();
  // The row to preview: its place in the category's list as the data list
  // orders it (the nth conversation or chat for Messages and WhatsApp; for App
  // Photos and App Videos, the place in listedAppFiles()).
  void previewRequested(fq::ScanCategory category, int row);
  void recoveryRequested();
  void printRequested(fq::ScanCategory category);

 protected:
  void customEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void prepareForScan();
  void clearResults();
  void addCategory(ScanCategory category);
  void selectCategory(ScanCategory category);
  void buildList(ScanCategory category);
  void setColumns();
  void showAppFiles(int row);
  void onFilterChanged(bool on);
  void onRowSelected();
  // Shows the record behind a source row of the data list in the preview panel.
  void showPreview(ScanCategory category, int row);
  void togglePause();
  void stop();
  void goHome();
  void setAnimations(bool playing);
  void updateStatistics();
  void updateRecoveryButton();
  void updateFilterCount();
  int ask(const char* key);

  const LanguageStore& m_texts;
  DialogHost& m_dialogs;
  BackupStore& m_store;
  IEventSink& m_events;
  Skin m_skin;
  BackupInfo m_backup;
  std::string m_password;
  int m_source = 0;
  std::vector<Request> m_requests;
  IDeviceBackupDriver* m_driver = nullptr;
  RecoveryMaker m_makeRecovery;

  QWidget* m_scanBar;
  QWidget* m_recoveryBar;
  QWidget* m_info;
  QWidget* m_listLayout;
  QWidget* m_listBar;
  QWidget* m_filterBar;
  QWidget* m_previewHost;
  CPreviewVrtWnd* m_preview;
  CButtonGifUI* m_scanGif;
  CButtonGifUI* m_loadingGif;
  QLabel* m_scanType;
  QLabel* m_remark;
  QLabel* m_percent;
  QLabel* m_statisticsLabel;
  QLabel* m_filterCount;
  QProgressBar* m_progress;
  QPushButton* m_pause;
  QPushButton* m_stop;
  QPushButton* m_home;
  QPushButton* m_recovery;
  QPushButton* m_print;
  QPushButton* m_backApp;
  QAbstractButton* m_previewSwitch;
  QCheckBox* m_filter;
  QTreeView* m_tree;
  QTableView* m_list;

  // The statistics and the split point into the session's lists: the session
  // is declared after them, so it (and its scan thread) ends first.
  CStatisticsObj m_statistics;
  AppFileSplit m_split;
  CFileTreeCtrl* m_treeModel;
  CFileListCtrl* m_listModel;
  const std::vector<AppFileRecord>* m_listedApp = nullptr;
  std::deque<ScanCategory> m_heldCategories;
  int m_holds = 0;
  bool m_ended = true;
  bool m_waiting = false;
  ScanViewPoster m_poster{this};
  ScanSession m_session;
};

}  // namespace fq::app
