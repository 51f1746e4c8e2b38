#include "app/CItunesBackupVrtWnd.h"

#include <QFile>
#include <QHeaderView>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTreeView>

#include "app/CDecryptionWnd.h"
#include "app/CScanVrtWnd.h"
#include "app/DialogHost.h"
#include "app/LanguageStore.h"
#include "engine/backup/BackupDiscovery.h"
#include "engine/session/BackupStore.h"
#include "engine/session/EventSink.h"

namespace fq::app {
namespace {

constexpr int kRowHeight = 40;

QString fromBytes(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QStandardItem* plainItem(const QString& text) {
  auto* item = new QStandardItem(text);
  item->setEditable(false);
  item->setToolTip(text);  // the column may elide it
  item->setSizeHint(QSize(-1, kRowHeight));
  return item;
}

}  // namespace

CItunesBackupVrtWnd::CItunesBackupVrtWnd(const LanguageStore& texts, DialogHost& dialogs, BackupStore& store,
                                         CScanVrtWnd& scan, IEventSink& sink, QWidget* parent)
    : QWidget(parent),
      m_texts(texts),
      m_dialogs(dialogs),
      m_store(store),
      m_scan(scan),
      m_sink(sink),
      m_skin(QStringLiteral("PageItunesBackup"), this) {
  setObjectName("ItunesVtrWnd");
  m_list = m_skin.control<QTreeView>("BackupFileList");
  m_selDir = m_skin.control<QPushButton>("BtnSelDir");
  m_scanButton = m_skin.control<QPushButton>("BtnScan");
  m_model = new QStandardItemModel(0, 3, this);
  m_list->setModel(m_model);
  m_list->header()->setStretchLastSection(false);
  m_list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  m_list->header()->setSectionResizeMode(1, QHeaderView::Fixed);
  m_list->header()->setSectionResizeMode(2, QHeaderView::Fixed);
  m_list->header()->resizeSection(1, 170);
  m_list->header()->resizeSection(2, 150);
  connect(m_scanButton, &QPushButton::clicked, this, &CItunesBackupVrtWnd::scanSelected);
  connect(m_selDir, &QPushButton::clicked, this, &CItunesBackupVrtWnd::selectFolder);
  // A double click takes exactly the Start Scan path.
  connect(m_list, &QTreeView::doubleClicked, m_scanButton, &QPushButton::click);
  applyTexts();
  refresh();
}

void CItunesBackupVrtWnd::applyTexts() {
  m_texts.apply(this, "PageItunesBackup");
  auto header = [this](const char* key, const QString& fallback) {
    const QString text = m_texts.text("PageItunesBackup", key);
    return text.isEmpty() ? fallback : text;
  };
  m_model->setHorizontalHeaderLabels({header("ColName", tr("Name")),
                                      header("ColDate", tr("Last Backup Date")),
                                      header("ColSerial", tr("Serial Number"))});
}

void CItunesBackupVrtWnd::refresh() {
  m_store.RereadBackupRoot();
  m_backups.clear();
  m_store.ListBackups(m_backups);
  m_model->removeRows(0, m_model->rowCount());
  const QIcon locked(":/skins/icons/lock.svg");
  const QIcon open(":/skins/icons/backup.svg");
  for (const BackupInfo& backup : m_backups) {
    auto* name = plainItem(fromBytes(backup.displayName));
    name->setIcon(backup.encrypted ? locked : open);
    name->setData(backup.encrypted, Qt::UserRole);
    m_model->appendRow(
        {name, plainItem(fromBytes(backup.lastBackupDate)), plainItem(fromBytes(backup.serialNumber))});
  }
  if (!m_backups.empty()) m_list->setCurrentIndex(m_model->index(0, 0));
  m_scanButton->setEnabled(m_enabled && !m_backups.empty());
}

void CItunesBackupVrtWnd::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (m_enabled) refresh();
}

void CItunesBackupVrtWnd::setControlsEnabled(bool enabled) {
  m_enabled = enabled;
  m_selDir->setEnabled(enabled);
  m_scanButton->setEnabled(enabled && !m_backups.empty());
  m_list->setEnabled(enabled);
}

bool CItunesBackupVrtWnd::passwordStep(const BackupInfo& backup) {
  if (!backup.encrypted) return true;
  for (;;) {
    std::string password;
    if (m_dialogs.askPassword(window(), 1, password) != kResultOk) return false;
    if (!password.empty()) {
      m_scan.setBackupPassword(std::move(password));
      return true;
    }
    // Closing the warning ends the step: a scan with no password can only fail.
    if (m_dialogs.messageBox(window(), kWarning, tr("Warning"), m_texts.text("Messages", "MSG0301"),
                             QSize(550, 200)) != kResultOk)
      return false;
  }
}

void CItunesBackupVrtWnd::startScan(const BackupInfo& backup) {
  m_store.SelectBackup(backup);
  m_scan.setBackup(backup);
  m_sink.postEvent(kMsgStartScan, 1);
}

void CItunesBackupVrtWnd::scanSelected() {
  const int row = m_list->currentIndex().row();
  if (row < 0 || static_cast<size_t>(row) >= m_backups.size()) return;
  setControlsEnabled(false);
  const BackupInfo backup = m_backups[static_cast<size_t>(row)];
  if (!passwordStep(backup)) {
    setControlsEnabled(true);
    return;
  }
  startScan(backup);
}

void CItunesBackupVrtWnd::selectFolder() {
  setControlsEnabled(false);
  for (;;) {
    const QString chosen = m_dialogs.pickFolder(
        window(), QStringLiteral("Select the iTunes backup file from other folder to recover your data."));
    if (chosen.isEmpty()) break;
    BackupInfo backup;
    if (ReadBackupFolder(std::filesystem::path(QFile::encodeName(chosen).toStdString()), backup) == 0) {
      if (!passwordStep(backup)) break;
      startScan(backup);
      return;
    }
    if (m_dialogs.messageBox(window(), kQuestion, QStringLiteral("Question"),
                             QStringLiteral("Can not found the backup file, do you want to try again?"),
                             QSize(550, 200)) != kResultOk)
      break;
  }
  setControlsEnabled(true);
}

}  // namespace fq::app
