#pragma once
// The program's one top-level window: a frameless window with a caption band,
// the home page (device and backup pages) and the scan page. It is the
// engine's event sink: engine threads post to it, it acts on the GUI thread.
#include <QWidget>

#include "app/CWndShadow.h"
#include "app/Skin.h"
#include "engine/session/EventSink.h"
#include "engine/session/ScanCategory.h"
#include "output/IndexPage.h"

class QButtonGroup;
class QLabel;
class QMenu;
class QPushButton;
class QStackedWidget;
class QToolButton;

namespace fq {
class BackupStore;
}

namespace fq::app {

class CButtonGifUI;
class CIosDeviceVrtWnd;
class CItunesBackupVrtWnd;
class CScanVrtWnd;
class DialogHost;
class LanguageStore;

class CMainWnd : public QWidget, public IEventSink {
  Q_OBJECT
 public:
  CMainWnd(LanguageStore& texts, DialogHost& dialogs, BackupStore& store, QWidget* parent = nullptr);
  ~CMainWnd() override;

  // Any thread: delivered to customEvent on the GUI thread.
  void postEvent(uint32_t message, uintptr_t wParam) override;

  CScanVrtWnd& scanPage() const { return *m_scan; }
  // A backup folder named on the command line: its scan starts, after the
  // password when it is encrypted. False when it is no backup (the user is told).
  bool openBackupFolder(const QString& folder);
  CItunesBackupVrtWnd& backupPage() const { return *m_backup; }
  QMenu& assistMenu() const { return *m_assist; }
  bool scanStarting() const { return m_scanStarting; }
  bool busy() const { return !m_opening->isHidden(); }
  const Skin& skin() const { return m_skin; }
  CIosDeviceVrtWnd& devicePage() const { return *m_device; }

 protected:
  void customEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void updateMargins();
  // The busy indicator between a scan request and the first answer of its Open.
  void setBusy(bool busy);
  void buildAssistMenu();
  void applyTexts();
  void selectSource(int source);
  void onStartScan(uintptr_t source);
  void onScanEvent(uintptr_t event);
  // The scan page's Recover and Print buttons.
  void runRecovery();
  void runPrint(ScanCategory category);
  RecoverySource recoverySource() const;
  void setSourcePagesEnabled(bool enabled);
  Qt::Edges edgesAt(QPoint pos) const;

  LanguageStore& m_texts;
  DialogHost& m_dialogs;
  BackupStore& m_store;
  Skin m_skin;
  CWndShadow m_shadow;
  QLabel* m_product = nullptr;
  QToolButton* m_maxButton = nullptr;
  QToolButton* m_restoreButton = nullptr;
  QStackedWidget* m_mainTabs = nullptr;
  QStackedWidget* m_tabPage = nullptr;
  QButtonGroup* m_sources = nullptr;
  CScanVrtWnd* m_scan = nullptr;
  CIosDeviceVrtWnd* m_device = nullptr;
  CItunesBackupVrtWnd* m_backup = nullptr;
  QMenu* m_assist = nullptr;
  QMenu* m_languages = nullptr;
  QWidget* m_opening = nullptr;
  CButtonGifUI* m_openingGif = nullptr;
  // From a scan request until its Open failed or the scan ended.
  bool m_scanStarting = false;
};

}  // namespace fq::app
