#include "app/CMainWnd.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>
#include <QWindow>

#include "app/CButtonGifUI.h"
#include "app/CFileTreeCtrl.h"
#include "app/CIosDeviceVrtWnd.h"
#include "app/CItunesBackupVrtWnd.h"
#include "app/CPrintWnd.h"
#include "app/CScanVrtWnd.h"
#include "app/DialogHost.h"
#include "app/IniFile.h"
#include "app/LanguageStore.h"
#include "app/RecoveryFlow.h"
#include "app/SinkEvent.h"
#include "device/CDeviceBackupDriver.h"
#include "engine/backup/BackupDiscovery.h"
#include "engine/platform/ProgramFolder.h"
#include "engine/session/BackupStore.h"

namespace fq::app {
namespace {
// Presses this far down the window move it (the skin's caption band).
constexpr int kCaptionBand = 90;
}  // namespace

CMainWnd::CMainWnd(LanguageStore& texts, DialogHost& dialogs, BackupStore& store, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      m_texts(texts),
      m_dialogs(dialogs),
      m_store(store),
      m_skin(QStringLiteral("MainWnd"), this),
      m_shadow(CWndShadow::Look{}) {
  setObjectName("MainWnd");
  setWindowTitle(QStringLiteral("Fernquill"));
  setWindowIcon(QIcon(":/skins/icons/app.svg"));
  setMinimumSize(1000, 650);
  resize(1000, 650);
  setMouseTracking(true);
  m_shadow.attach(*this);
  updateMargins();

  m_product = m_skin.control<QLabel>("LblProductName");
  m_product->setTextFormat(Qt::PlainText);
  m_maxButton = m_skin.control<QToolButton>("maxbtn");
  m_restoreButton = m_skin.control<QToolButton>("restorebtn");
  m_restoreButton->hide();
  auto* assist = m_skin.control<QToolButton>("BtnAssist");
  connect(assist, &QToolButton::clicked, this,
          [this, assist] { m_assist->popup(assist->mapToGlobal(QPoint(0, assist->height()))); });
  connect(m_skin.control<QToolButton>("minbtn"), &QToolButton::clicked, this, &QWidget::showMinimized);
  connect(m_maxButton, &QToolButton::clicked, this, &QWidget::showMaximized);
  connect(m_restoreButton, &QToolButton::clicked, this, &QWidget::showNormal);
  connect(m_skin.control<QToolButton>("closebtn"), &QToolButton::clicked, this, &QWidget::close);

  m_mainTabs = m_skin.control<QStackedWidget>("MainTabPage");
  m_tabPage = m_skin.control<QStackedWidget>("TabPage");
  m_scan = new CScanVrtWnd(texts, m_dialogs, m_store, *this, m_mainTabs);
  m_mainTabs->addWidget(m_scan);
  m_device = new CIosDeviceVrtWnd(m_texts, m_dialogs, *m_scan, *this, m_tabPage);
  m_backup = new CItunesBackupVrtWnd(m_texts, m_dialogs, m_store, *m_scan, *this, m_tabPage);
  m_tabPage->addWidget(m_device);
  m_tabPage->addWidget(m_backup);
  connect(m_scan, &CScanVrtWnd::homeRequested, this, [this] { m_mainTabs->setCurrentIndex(0); });
  connect(m_scan, &CScanVrtWnd::recoveryRequested, this, &CMainWnd::runRecovery);
  connect(m_scan, &CScanVrtWnd::printRequested, this, &CMainWnd::runPrint);
  // Device scans back up through the process's one device connection; the
  // device page's thread connects and disconnects it.
  m_scan->setDeviceDriver(&CDeviceBackupDriver::Instance());

  // The ids are the sources of a scan request: 0 the device, 1 a backup.
  m_sources = m_skin.control<QButtonGroup>("GrpAction");
  m_sources->addButton(m_skin.control<QPushButton>("OptIosDevice"), 0);
  m_sources->addButton(m_skin.control<QPushButton>("OptBackupFile"), 1);
  m_sources->setExclusive(true);
  connect(m_sources, &QButtonGroup::idClicked, this, &CMainWnd::selectSource);
  m_skin.control<QPushButton>("BtnVersion")
      ->setText(QStringLiteral("Version %1").arg(QStringLiteral(FERNQUILL_VERSION)));

  m_opening = m_skin.control<QWidget>("OpeningBar");
  m_openingGif = m_skin.control<CButtonGifUI>("BtnGifOpening");
  m_openingGif->setGifFile(QStringLiteral(":/skins/gif/loading.gif"));
  setBusy(false);

  buildAssistMenu();
  applyTexts();
  selectSource(0);
}

CMainWnd::~CMainWnd() {
  // The scan thread posts to this window: it ends before the window does.
  m_scan->shutDown();
}

void CMainWnd::updateMargins() {
  const int margin = m_shadow.margin(*this);
  if (layout()) layout()->setContentsMargins(margin, margin, margin, margin);
}

void CMainWnd::setBusy(bool busy) {
  m_opening->setVisible(busy);
  if (busy)
    m_openingGif->play();
  else
    m_openingGif->stop();
}

void CMainWnd::buildAssistMenu() {
  m_assist = new QMenu(this);
  m_assist->setObjectName("menu_assist");
  auto url = [](const char* key) {
    const std::string folder = ProgramFolder().string();
    return QString::fromStdString(IniFile::Load(folder + "/config.ini").value("Web", key));
  };
  auto addItem = [this](const char* name, const QString& text) {
    QAction* action = m_assist->addAction(text);
    action->setObjectName(name);
    return action;
  };
  connect(addItem("item_help", tr("Help")), &QAction::triggered, this,
          [this, url] { m_dialogs.openUrl(url("Help")); });
  m_languages = new QMenu(tr("Language"), m_assist);
  QAction* language = m_assist->addMenu(m_languages);
  language->setObjectName("item_language");
  connect(m_languages, &QMenu::aboutToShow, this, [this] {
    m_languages->clear();
    for (const auto& [name, shown] : m_texts.languages()) {
      QAction* item = m_languages->addAction(QString::fromStdString(shown));
      item->setObjectName(QString::fromStdString(name));
      item->setCheckable(true);
      item->setChecked(name == m_texts.currentLanguage());
      connect(item, &QAction::triggered, this, [this, name = name] {
        m_texts.setLanguage(name);
        postEvent(kMsgLanguageChanged, 0);
      });
    }
  });
  QAction* faq = addItem("item_faq", tr("FAQ"));
  connect(faq, &QAction::triggered, this, [this, url] { m_dialogs.openUrl(url("Help")); });
  m_assist->addSeparator();
  connect(addItem("item_about", tr("About")), &QAction::triggered, this,
          [this, url] { m_dialogs.openUrl(url("Product")); });
  connect(addItem("item_support", tr("Support")), &QAction::triggered, this,
          [this, url] { m_dialogs.openUrl(url("Support")); });
  m_assist->addSeparator();
  connect(addItem("item_exit", tr("Exit")), &QAction::triggered, this, &QWidget::close);
  // Neither the FAQ nor the language choice is offered in this menu.
  connect(m_assist, &QMenu::aboutToShow, this, [faq, language] {
    faq->setVisible(false);
    language->setVisible(false);
  });
}

void CMainWnd::applyTexts() {
  m_texts.apply(this, "MainWnd");
  m_texts.apply(m_assist, "MenuWnd");
  const QString product = m_texts.text("Messages", "MSG1209");
  if (!product.isEmpty()) m_product->setText(product);
  m_device->applyTexts();
  m_backup->applyTexts();
  m_scan->applyTexts();
}

void CMainWnd::selectSource(int source) {
  if (source != 0 && source != 1) return;
  m_sources->button(source)->setChecked(true);
  const char* on = source == 0 ? "Device" : "BackupFile";
  for (const char* name : {"TxtIosDevice1", "TxtIosDevice2", "TxtBackupFile1", "TxtBackupFile2"}) {
    if (auto* label = findChild<QLabel*>(name)) {
      label->setProperty("selected", QString::fromLatin1(name).contains(QLatin1String(on)));
      label->style()->unpolish(label);
      label->style()->polish(label);
    }
  }
  m_tabPage->setCurrentIndex(source);
}

void CMainWnd::postEvent(uint32_t message, uintptr_t wParam) {
  if (message < kFirstPrivateMessage) return;
  QCoreApplication::postEvent(this, new SinkEvent(message, wParam));
}

void CMainWnd::customEvent(QEvent* event) {
  if (event->type() < QEvent::User) return QWidget::customEvent(event);
  const auto* sink = static_cast<SinkEvent*>(event);
  switch (sink->message()) {
    case kMsgLanguageChanged:
      applyTexts();
      break;
    case kMsgStartScan:
      onStartScan(sink->wParam());
      break;
    case kMsgCountsChanged:
      m_scan->onCountsChanged();
      break;
    case kMsgFirstCategory:
      m_scan->onFirstCategory();
      break;
    case kMsgScanEnded:
      m_scan->onScanEnded();
      m_scanStarting = false;
      setBusy(false);
      setSourcePagesEnabled(true);
      // Whatever the source: the device page switches encryption back on
      // when it was switched off for this scan, then disconnects.
      m_device->onDeviceScanEnded(0, {});
      break;
    case kMsgScanEvent:
      onScanEvent(sink->wParam());
      break;
    default:
      break;
  }
}

bool CMainWnd::openBackupFolder(const QString& folder) {
  BackupInfo backup;
  if (ReadBackupFolder(std::filesystem::path(folder.toStdString()), backup) != 0) {
    m_dialogs.messageBox(this, kError, {}, tr("%1 is not a backup folder.").arg(folder), QSize(550, 200));
    return false;
  }
  selectSource(1);
  if (!m_backup->passwordStep(backup)) return false;
  m_store.SelectBackup(backup);
  m_scan->setBackup(backup);
  postEvent(kMsgStartScan, 1);
  return true;
}

void CMainWnd::setSourcePagesEnabled(bool enabled) {
  m_device->setControlsEnabled(enabled);
  m_backup->setControlsEnabled(enabled);
  for (auto* b : m_sources->buttons()) b->setEnabled(enabled);
}

void CMainWnd::onStartScan(uintptr_t source) {
  // One scan at a time: a second request would replace the recovery object
  // the running scan is reading.
  if (m_scanStarting || source > 1) return;
  m_scanStarting = true;
  setSourcePagesEnabled(false);
  setBusy(true);
  m_scan->start(static_cast<int>(source));
}

void CMainWnd::onScanEvent(uintptr_t event) {
  const int source = m_scan->source();
  // Any answer of the scan's Open ends the wait (key derivation takes seconds).
  setBusy(false);
  switch (event) {
    case kScanEventFirstProgress:
      // The source pages stay disabled until the scan ends: a scan started
      // from them now would select another backup under the running one.
      m_mainTabs->setCurrentIndex(1);
      break;
    case kScanEventWrongPassword:
      m_scanStarting = false;
      if (source != 1) {
        setSourcePagesEnabled(true);
        break;
      }
      m_dialogs.messageBox(this, kInformation, {}, m_texts.text("Messages", "MSG0302"), QSize(550, 180));
      setSourcePagesEnabled(true);
      if (m_backup->passwordStep(m_store.selectedBackup())) {
        m_backup->setControlsEnabled(false);
        postEvent(kMsgStartScan, 1);
      }
      break;
    case kScanEventFailed:
      m_scanStarting = false;
      if (source == 1) {
        QString why = QString::fromStdString(m_store.openFailure());
        if (why.isEmpty()) why = tr("The backup could not be opened.");
        m_dialogs.messageBox(this, kError, {}, why, QSize(550, 200));
      } else {
        // The recovery object lives until the next scan: its reason is final now.
        const IPhoneRecoveryParse* recovery = m_scan->session().recovery();
        m_device->onDeviceScanEnded(static_cast<int>(kScanEventFailed),
                                    recovery ? recovery->OpenFailureReason() : std::string());
      }
      setSourcePagesEnabled(true);
      break;
    default:
      break;
  }
}

RecoverySource CMainWnd::recoverySource() const {
  RecoverySource source;
  if (m_scan->source() == 0) {
    source.deviceName = m_device->deviceText().toStdString();
    source.device = true;
  } else {
    const BackupInfo& backup = m_store.selectedBackup();
    source.deviceName = backup.displayName;
    source.serialNumber = backup.serialNumber;
    source.backupDate = backup.lastBackupDate;
    source.encrypted = backup.encrypted;
  }
  source.program = std::string("fernquill ") + FERNQUILL_VERSION;
  return source;
}

void CMainWnd::runRecovery() {
  IPhoneRecoveryParse* recovery = m_scan->session().recovery();
  if (!recovery) return;
  const std::filesystem::path backup =
      m_scan->source() == 0 ? std::filesystem::path() : m_store.selectedBackup().folder;
  RecoverySource source = recoverySource();
  const std::string name = source.deviceName;
  RecoveryFlowInput input{
      RecoveryInput{m_scan->session().results(), m_scan->statistics(), *recovery, std::move(source)}, name,
      ProgramFolder() / "template", ProtectedFoldersOf(backup, m_store.workFolders())};
  // A paused scan's categories wait while the job walks the statistics.
  m_scan->holdCategoryEvents(true);
  RunRecoveryFlow(this, m_texts, m_dialogs, input);
  m_scan->holdCategoryEvents(false);
}

void CMainWnd::runPrint(ScanCategory category) {
  if (!CanPrint(category)) return;
  PrintInput input{
      ItemKindOf(category), m_scan->treeModel().filterState(category),   m_scan->session().results(),
      m_scan->statistics(), ProgramFolder() / "template" / "Print.html", m_store.workFolders().workFolder()};
  m_scan->holdCategoryEvents(true);
  {
    CPrintWnd window(m_texts, m_dialogs, std::move(input), this);
    window.runPrint();
  }
  m_scan->holdCategoryEvents(false);
}

void CMainWnd::closeEvent(QCloseEvent* event) {
  // A running scan, or results not yet recovered, are asked about first.
  if (m_scan->askClose() != kResultOk) {
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
}

void CMainWnd::keyPressEvent(QKeyEvent* event) {
  // Neither key may close or act on the main window.
  if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

Qt::Edges CMainWnd::edgesAt(QPoint pos) const {
  Qt::Edges edges;
  const int box = m_shadow.margin(*this);
  if (pos.x() < box) edges |= Qt::LeftEdge;
  if (pos.x() >= width() - box) edges |= Qt::RightEdge;
  if (pos.y() < box) edges |= Qt::TopEdge;
  if (pos.y() >= height() - box) edges |= Qt::BottomEdge;
  return edges;
}

void CMainWnd::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && windowHandle()) {
    const Qt::Edges edges = edgesAt(event->position().toPoint());
    if (edges)
      windowHandle()->startSystemResize(edges);
    else if (event->position().y() < kCaptionBand + m_shadow.margin(*this))
      windowHandle()->startSystemMove();
  }
  QWidget::mousePressEvent(event);
}

void CMainWnd::mouseMoveEvent(QMouseEvent* event) {
  const Qt::Edges edges = edgesAt(event->position().toPoint());
  if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
    setCursor(Qt::SizeFDiagCursor);
  else if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge))
    setCursor(Qt::SizeBDiagCursor);
  else if (edges & (Qt::LeftEdge | Qt::RightEdge))
    setCursor(Qt::SizeHorCursor);
  else if (edges)
    setCursor(Qt::SizeVerCursor);
  else
    unsetCursor();
  QWidget::mouseMoveEvent(event);
}

void CMainWnd::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  m_shadow.paint(painter, *this);
}

void CMainWnd::changeEvent(QEvent* event) {
  if (event->type() == QEvent::WindowStateChange) {
    m_maxButton->setVisible(!isMaximized());
    m_restoreButton->setVisible(isMaximized());
    updateMargins();
    update();
  }
  QWidget::changeEvent(event);
}

}  // namespace fq::app
