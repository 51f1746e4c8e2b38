#include "app/CMainWnd.h"

#include <QApplication>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include "app/CIosDeviceVrtWnd.h"
#include "app/CItunesBackupVrtWnd.h"
#include "app/CScanVrtWnd.h"
#include "app/DialogHost.h"
#include "app/IniFile.h"
#include "app/LanguageStore.h"
#include "app/SinkEvent.h"
#include "engine/platform/ProgramFolder.h"
#include "engine/session/BackupStore.h"

namespace fq::app {
namespace {

constexpr int kCaptionBand = 90;
constexpr int kSizeBox = 4;

QToolButton* captionButton(QWidget* parent, const char* name, const char* icon, const QString& tip) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setIcon(QIcon(icon));
  button->setIconSize(QSize(16, 16));
  button->setAutoRaise(true);
  button->setToolTip(tip);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

// A source option: a checkable button with a title and a line below it.
QPushButton* sourceOption(QWidget* parent, const char* name, const char* titleName, const char* lineName,
                          const char* icon, const QString& title, const QString& line) {
  auto* option = new QPushButton(parent);
  option->setObjectName(name);
  option->setCheckable(true);
  option->setMinimumHeight(76);
  auto* layout = new QHBoxLayout(option);
  layout->setContentsMargins(14, 8, 10, 8);
  auto* image = new QLabel(option);
  image->setPixmap(QIcon(icon).pixmap(36, 36));
  image->setAttribute(Qt::WA_TransparentForMouseEvents);
  auto* texts = new QVBoxLayout;
  texts->setSpacing(2);
  auto* first = new QLabel(title, option);
  first->setObjectName(titleName);
  first->setWordWrap(true);
  first->setAttribute(Qt::WA_TransparentForMouseEvents);
  auto* second = new QLabel(line, option);
  second->setObjectName(lineName);
  second->setWordWrap(true);
  second->setAttribute(Qt::WA_TransparentForMouseEvents);
  texts->addWidget(first);
  texts->addWidget(second);
  layout->addWidget(image);
  layout->addSpacing(8);
  layout->addLayout(texts, 1);
  return option;
}

}  // namespace

CMainWnd::CMainWnd(LanguageStore& texts, DialogHost& dialogs, BackupStore& store, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      m_texts(texts),
      m_dialogs(dialogs),
      m_store(store) {
  setObjectName("MainWnd");
  setWindowTitle(QStringLiteral("Fernquill"));
  setWindowIcon(QIcon(":/skins/icons/app.svg"));
  setMinimumSize(1000, 650);
  resize(1000, 650);
  setMouseTracking(true);
  auto* root = new QVBoxLayout(this);
  // The margin is the size box: the window's own pixels, where a press resizes.
  root->setContentsMargins(kSizeBox, kSizeBox, kSizeBox, kSizeBox);
  root->setSpacing(0);
  root->addWidget(buildCaption());
  m_mainTabs = new QStackedWidget(this);
  m_mainTabs->setObjectName("MainTabPage");
  m_scan = new CScanVrtWnd(texts, m_mainTabs);
  m_mainTabs->addWidget(buildHome());
  m_mainTabs->addWidget(m_scan);
  root->addWidget(m_mainTabs, 1);
  connect(m_scan, &CScanVrtWnd::homeRequested, this, [this] { m_mainTabs->setCurrentIndex(0); });
  buildAssistMenu();
  applyTexts();
  selectSource(0);
}

CMainWnd::~CMainWnd() = default;

QWidget* CMainWnd::buildCaption() {
  auto* band = new QWidget(this);
  band->setObjectName("captionband");
  band->setFixedHeight(kCaptionBand);
  band->setAttribute(Qt::WA_StyledBackground);
  auto* layout = new QHBoxLayout(band);
  layout->setContentsMargins(20, 0, 8, 0);
  auto* logo = new QLabel(band);
  logo->setPixmap(QIcon(":/skins/icons/app.svg").pixmap(44, 44));
  m_product = new QLabel(QStringLiteral("Fernquill"), band);
  m_product->setObjectName("LblProductName");
  m_product->setTextFormat(Qt::PlainText);
  auto* assist = captionButton(band, "BtnAssist", ":/skins/icons/menu.svg", tr("Menu"));
  auto* min = captionButton(band, "minbtn", ":/skins/icons/minimize.svg", tr("Minimize"));
  m_maxButton = captionButton(band, "maxbtn", ":/skins/icons/maximize.svg", tr("Maximize"));
  m_restoreButton = captionButton(band, "restorebtn", ":/skins/icons/restore.svg", tr("Restore"));
  m_restoreButton->hide();
  auto* close = captionButton(band, "closebtn", ":/skins/icons/close.svg", tr("Close"));
  layout->addWidget(logo);
  layout->addSpacing(10);
  layout->addWidget(m_product);
  layout->addStretch(1);
  for (QToolButton* b : {assist, min, m_maxButton, m_restoreButton, close})
    layout->addWidget(b, 0, Qt::AlignTop);
  connect(assist, &QToolButton::clicked, this,
          [this, assist] { m_assist->popup(assist->mapToGlobal(QPoint(0, assist->height()))); });
  connect(min, &QToolButton::clicked, this, &QWidget::showMinimized);
  connect(m_maxButton, &QToolButton::clicked, this, &QWidget::showMaximized);
  connect(m_restoreButton, &QToolButton::clicked, this, &QWidget::showNormal);
  connect(close, &QToolButton::clicked, this, &QWidget::close);
  return band;
}

QWidget* CMainWnd::buildHome() {
  auto* home = new QWidget(m_mainTabs);
  home->setObjectName("HomePage");
  auto* layout = new QHBoxLayout(home);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* side = new QWidget(home);
  side->setObjectName("SourceColumn");
  side->setAttribute(Qt::WA_StyledBackground);
  side->setFixedWidth(270);
  auto* sideLayout = new QVBoxLayout(side);
  sideLayout->setContentsMargins(12, 16, 12, 12);
  sideLayout->setSpacing(10);
  auto* device =
      sourceOption(side, "OptIosDevice", "TxtIosDevice1", "TxtIosDevice2", ":/skins/icons/phone.svg",
                   tr("Recover from Device"), tr("Scan a connected phone"));
  auto* backup =
      sourceOption(side, "OptBackupFile", "TxtBackupFile1", "TxtBackupFile2", ":/skins/icons/backup.svg",
                   tr("Recover from Backup"), tr("Read a backup on this computer"));
  m_sources = new QButtonGroup(this);
  m_sources->setObjectName("GrpAction");
  m_sources->addButton(device, 0);
  m_sources->addButton(backup, 1);
  m_sources->setExclusive(true);
  connect(m_sources, &QButtonGroup::idClicked, this, &CMainWnd::selectSource);
  auto* version = new QPushButton(QStringLiteral("Version %1").arg(QStringLiteral(FERNQUILL_VERSION)), side);
  version->setObjectName("BtnVersion");
  version->setFlat(true);
  version->setFocusPolicy(Qt::NoFocus);
  sideLayout->addWidget(device);
  sideLayout->addWidget(backup);
  sideLayout->addStretch(1);
  sideLayout->addWidget(version, 0, Qt::AlignLeft);
  m_tabPage = new QStackedWidget(home);
  m_tabPage->setObjectName("TabPage");
  m_device = new CIosDeviceVrtWnd(m_texts, m_dialogs, m_tabPage);
  m_backup = new CItunesBackupVrtWnd(m_texts, m_dialogs, m_store, *m_scan, *this, m_tabPage);
  m_tabPage->addWidget(m_device);
  m_tabPage->addWidget(m_backup);
  layout->addWidget(side);
  layout->addWidget(m_tabPage, 1);
  return home;
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
    case kMsgScanEnded:
      m_scanStarting = false;
      setSourcePagesEnabled(true);
      break;
    case kMsgScanEvent:
      onScanEvent(sink->wParam());
      break;
    default:
      break;
  }
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
  m_scan->start(static_cast<int>(source));
}

void CMainWnd::onScanEvent(uintptr_t event) {
  const int source = m_scan->source();
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
        m_device->showOpenFailure();
      }
      setSourcePagesEnabled(true);
      break;
    default:
      break;
  }
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
  if (isMaximized()) return edges;
  if (pos.x() < kSizeBox) edges |= Qt::LeftEdge;
  if (pos.x() >= width() - kSizeBox) edges |= Qt::RightEdge;
  if (pos.y() < kSizeBox) edges |= Qt::TopEdge;
  if (pos.y() >= height() - kSizeBox) edges |= Qt::BottomEdge;
  return edges;
}

void CMainWnd::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && windowHandle()) {
    const Qt::Edges edges = edgesAt(event->position().toPoint());
    if (edges)
      windowHandle()->startSystemResize(edges);
    else if (event->position().y() < kCaptionBand + kSizeBox)
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
  // Without a compositor a translucent shadow comes out black: a 1-px border
  // marks the frameless window's edge instead.
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  painter.setPen(QColor(45, 45, 45, 120));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void CMainWnd::changeEvent(QEvent* event) {
  if (event->type() == QEvent::WindowStateChange) {
    m_maxButton->setVisible(!isMaximized());
    m_restoreButton->setVisible(isMaximized());
  }
  QWidget::changeEvent(event);
}

}  // namespace fq::app
