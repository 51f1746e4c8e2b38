#include "app/CScanVrtWnd.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/CButtonGifUI.h"
#include "app/CDecryptionWnd.h"
#include "app/CFileListCtrl.h"
#include "app/CFileTreeCtrl.h"
#include "app/CPreviewVrtWnd.h"
#include "app/DialogHost.h"
#include "app/LanguageStore.h"
#include "app/MessageFormat.h"
#include "device/QuitCounter.h"
#include "engine/format/SizeText.h"
#include "engine/session/BackupStore.h"
#include "engine/session/EventSink.h"
#include "engine/session/RecoveryFactory.h"
#include "output/ItemKind.h"
#include "output/PrintPage.h"

namespace fq::app {
namespace {

constexpr int kRowHeight = 30;

QString SizeLabel(uint64_t bytes) { return QString::fromStdString(SizeText(static_cast<int64_t>(bytes))); }

// A conversation's or chat's row stands for its first message; the preview
// shows all of it.
template <typename Map>
const typename Map::mapped_type* ConversationOf(const Map& map, const void* first) {
  for (const auto& [key, messages] : map)
    if (!messages.empty() && &messages.front() == first) return &messages;
  return nullptr;
}

}  // namespace

CScanVrtWnd::CScanVrtWnd(const LanguageStore& texts, DialogHost& dialogs, BackupStore& store,
                         IEventSink& events, QWidget* parent)
    : QWidget(parent),
      m_texts(texts),
      m_dialogs(dialogs),
      m_store(store),
      m_events(events),
      m_skin(QStringLiteral("PageScan"), this),
      m_session(events, &m_poster) {
  setObjectName("ScanVtrWnd");
  m_makeRecovery = [this](int source) {
    return CreateRecovery(source, m_store, m_store.workFolders(), m_driver);
  };
  m_session.setQuitRequest([] { QuitCounter().fetch_add(1); });
  // While Stop or a close waits for the scan to end, the window still paints;
  // clicks wait until the scan has ended.
  m_session.setBetweenWaits([] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });

  m_scanBar = m_skin.control<QWidget>("ScanToolBar");
  m_recoveryBar = m_skin.control<QWidget>("ReocveryToolBar");
  m_info = m_skin.control<QWidget>("iPhoneInfoLayout");
  m_listLayout = m_skin.control<QWidget>("DataListLayout");
  m_listBar = m_skin.control<QWidget>("DataListToolBar");
  m_filterBar = m_skin.control<QWidget>("FilterToolBar");
  m_previewHost = m_skin.control<QWidget>("PreviewHost");
  m_scanGif = m_skin.control<CButtonGifUI>("BtnGifScanning");
  m_loadingGif = m_skin.control<CButtonGifUI>("BtnGifLoading");
  m_scanType = m_skin.control<QLabel>("LblScanType");
  m_remark = m_skin.control<QLabel>("LblRemark");
  m_percent = m_skin.control<QLabel>("LblPercent");
  m_statisticsLabel = m_skin.control<QLabel>("LblStatistics");
  m_filterCount = m_skin.control<QLabel>("LblFilterCount");
  m_progress = m_skin.control<QProgressBar>("ProgressScan");
  m_pause = m_skin.control<QPushButton>("BtnScanPause");
  m_stop = m_skin.control<QPushButton>("BtnScanStop");
  m_home = m_skin.control<QPushButton>("BtnHome");
  m_recovery = m_skin.control<QPushButton>("BtnRecovery");
  m_print = m_skin.control<QPushButton>("BtnPrint");
  m_backApp = m_skin.control<QPushButton>("BtnBackAppDir");
  m_previewSwitch = m_skin.control<QPushButton>("OptOnOffPreview");
  m_filter = m_skin.control<QCheckBox>("OptOnOffFilter");
  m_tree = m_skin.control<QTreeView>("NodeTree");
  m_list = m_skin.control<QTableView>("DataList");
  for (QLabel* label : {m_scanType, m_remark, m_percent, m_statisticsLabel, m_filterCount})
    label->setTextFormat(Qt::PlainText);
  m_progress->setRange(0, 100);
  m_scanGif->setGifFile(QStringLiteral(":/skins/gif/loading.gif"));
  m_loadingGif->setGifFile(QStringLiteral(":/skins/gif/loading.gif"));

  m_treeModel = new CFileTreeCtrl(m_statistics, this);
  m_tree->setModel(m_treeModel);
  m_tree->setHeaderHidden(true);
  m_tree->setRootIsDecorated(false);
  m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
  m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // A model reset forgets which rows the view hides and which it expands.
  auto showNodes = [this] {
    m_tree->expandAll();
    for (int group = 0; group < m_treeModel->rowCount(); ++group) {
      const QModelIndex g = m_treeModel->index(group, 0);
      m_tree->setRowHidden(group, {}, m_treeModel->isHiddenNode(g));
      for (int row = 0; row < m_treeModel->rowCount(g); ++row)
        m_tree->setRowHidden(row, g, m_treeModel->isHiddenNode(m_treeModel->index(row, 0, g)));
    }
  };
  showNodes();
  connect(m_treeModel, &QAbstractItemModel::modelReset, this, showNodes);
  connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            if (const auto category = m_treeModel->categoryAt(current)) {
              m_poster.setSelection(true);
              buildList(*category);
            }
          });
  connect(m_treeModel, &CFileTreeCtrl::categoryChecked, this, [this](ScanCategory category, bool) {
    if (currentCategory() == category) m_listModel->refreshChecks();
    updateStatistics();
    updateRecoveryButton();
  });

  m_listModel = new CFileListCtrl(m_statistics, this);
  m_list->setModel(m_listModel);
  m_list->verticalHeader()->hide();
  // Fixed row heights: a list of 100,000 rows lays out without measuring them.
  m_list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  m_list->verticalHeader()->setDefaultSectionSize(kRowHeight);
  m_list->horizontalHeader()->setStretchLastSection(true);
  m_list->horizontalHeader()->setHighlightSections(false);
  m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_list->setSelectionMode(QAbstractItemView::SingleSelection);
  m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_list->setAlternatingRowColors(true);
  m_list->setShowGrid(false);
  m_list->setWordWrap(false);
  m_list->setTextElideMode(Qt::ElideRight);
  m_list->installEventFilter(this);
  connect(m_list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          &CScanVrtWnd::onRowSelected);
  connect(m_list, &QTableView::doubleClicked, this,
          [this](const QModelIndex& index) { showAppFiles(index.row()); });
  connect(m_listModel, &CFileListCtrl::checksChanged, this, [this] {
    if (const auto category = currentCategory()) {
      const QModelIndex node = m_treeModel->indexOf(*category);
      emit m_treeModel->dataChanged(node, node, {Qt::CheckStateRole});
    }
    updateStatistics();
    updateRecoveryButton();
  });

  connect(m_pause, &QPushButton::clicked, this, &CScanVrtWnd::togglePause);
  connect(m_stop, &QPushButton::clicked, this, &CScanVrtWnd::stop);
  connect(m_home, &QPushButton::clicked, this, &CScanVrtWnd::goHome);
  connect(m_recovery, &QPushButton::clicked, this, &CScanVrtWnd::recoveryRequested);
  connect(m_print, &QPushButton::clicked, this, [this] {
    if (const auto category = currentCategory()) emit printRequested(*category);
  });
  connect(m_backApp, &QPushButton::clicked, this, [this] {
    if (const auto category = currentCategory()) buildList(*category);
  });
  connect(m_filter, &QCheckBox::toggled, this, &CScanVrtWnd::onFilterChanged);
  connect(m_previewSwitch, &QAbstractButton::toggled, m_previewHost, &QWidget::setVisible);

  m_preview = new CPreviewVrtWnd(m_texts, m_previewHost);
  auto* previewLayout = new QVBoxLayout(m_previewHost);
  previewLayout->setContentsMargins(0, 0, 0, 0);
  previewLayout->addWidget(m_preview);
  m_preview->setStore(&m_store, m_store.workFolders().PreviewFolder());
  m_preview->setDialogs(&m_dialogs);
  connect(this, &CScanVrtWnd::previewRequested, this, &CScanVrtWnd::showPreview);

  // Idle: the hints, no list, no scan bar.
  m_scanBar->hide();
  m_recoveryBar->hide();
  m_listLayout->hide();
  m_info->show();
  m_recovery->setEnabled(false);
  applyTexts();
}

CScanVrtWnd::~CScanVrtWnd() {
  shutDown();
  WipeString(m_password);
}

void CScanVrtWnd::shutDown() {
  if (m_session.finished()) return m_session.Wait();
  m_session.Cancel();
  m_session.Wait();
}

void CScanVrtWnd::applyTexts() {
  m_texts.apply(this, "PageScan");
  m_pause->setText(m_texts.text("Messages", m_session.paused() ? "MSG0506" : "MSG0507"));
  const bool device = m_source == 0;
  m_scanType->setText(m_texts.text("Messages", device ? "MSG0503" : "MSG0501"));
  m_remark->setText(m_texts.text("Messages", device ? "MSG0504" : "MSG0502"));
  updateStatistics();
}

void CScanVrtWnd::setBackupPassword(std::string password) {
  WipeString(m_password);
  m_password = std::move(password);
}

std::optional<ScanCategory> CScanVrtWnd::currentCategory() const {
  return m_treeModel->categoryAt(m_tree->currentIndex());
}

int CScanVrtWnd::ask(const char* key) {
  return m_dialogs.messageBox(window(), kQuestion, {}, m_texts.text("Messages", key), QSize(550, 200));
}

void CScanVrtWnd::start(int source) {
  m_requests.push_back(Request{source, source == 1 ? m_backup : BackupInfo{}, !m_password.empty()});
  // One scan at a time: the running one owns the lists the page shows.
  if (!m_session.finished() || (source != 0 && source != 1)) return;
  m_source = source;
  if (source == 1) m_store.SelectBackup(m_backup);
  prepareForScan();
  std::unique_ptr<IPhoneRecoveryParse> recovery = m_makeRecovery ? m_makeRecovery(source) : nullptr;
  if (!recovery) {
    m_events.postEvent(kMsgScanEvent, kScanEventFailed);
    onScanEnded();
    return;
  }
  std::string password = std::move(m_password);
  WipeString(m_password);
  m_session.Start(std::move(recovery), std::move(password));
}

void CScanVrtWnd::prepareForScan() {
  applyTexts();
  clearResults();
  m_info->hide();
  m_listLayout->show();
  m_scanBar->show();
  m_recoveryBar->hide();
  m_listBar->hide();
  m_home->setEnabled(false);
  m_recovery->setEnabled(false);
  m_progress->setValue(0);
  m_percent->setText(QStringLiteral("0%"));
  m_ended = false;
  setAnimations(true);
  updateStatistics();
}

void CScanVrtWnd::clearResults() {
  // The list and the statistics point into the session's lists: they go first.
  m_preview->clearPreview();
  m_tree->selectionModel()->clearSelection();
  m_tree->setCurrentIndex({});
  m_listModel->clear();
  m_listedApp = nullptr;
  m_statistics.Clear();
  for (int k = kFirstItemKind; k <= kLastItemKind; ++k)
    m_statistics.SetDeletedOnlyFilter(static_cast<ItemKind>(k), false);
  m_split = AppFileSplit{};
  m_treeModel->reset();
  m_heldCategories.clear();
  m_poster.setSelection(false);
  if (m_session.finished()) m_session.ClearResults();
}

void CScanVrtWnd::setAnimations(bool playing) {
  for (CButtonGifUI* gif : {m_scanGif, m_loadingGif}) {
    if (playing)
      gif->play();
    else
      gif->stop();
  }
}

void CScanVrtWnd::customEvent(QEvent* event) {
  switch (static_cast<int>(event->type())) {
    case kScanPageShownEvent:
      // The hints and the loading animation until a category is opened.
      if (!currentCategory()) {
        m_info->show();
        m_listLayout->hide();
        if (!m_session.paused()) m_loadingGif->play();
      }
      break;
    case kScanPercentEvent: {
      const auto* percent = static_cast<ScanPercentEvent*>(event);
      if (percent->percent() > 0) {
        m_progress->setValue(percent->percent());
        m_percent->setText(QStringLiteral("%1%").arg(percent->percent()));
      }
      for (const ScanCategory category : kScanCategories)
        m_treeModel->setLiveCount(category, percent->counts()[static_cast<size_t>(category)]);
      break;
    }
    case kScanCategoryEvent: {
      const ScanCategory category = static_cast<ScanCategoryEvent*>(event)->category();
      if (m_holds > 0)
        m_heldCategories.push_back(category);
      else
        addCategory(category);
      break;
    }
    default:
      QWidget::customEvent(event);
  }
}

void CScanVrtWnd::holdCategoryEvents(bool hold) {
  m_holds += hold ? 1 : -1;
  if (m_holds < 0) m_holds = 0;
  if (m_holds > 0) return;
  while (!m_heldCategories.empty()) {
    const ScanCategory category = m_heldCategories.front();
    m_heldCategories.pop_front();
    addCategory(category);
  }
  onFirstCategory();
}

void CScanVrtWnd::addCategory(ScanCategory category) {
  // The list is final from its handover on (see ScanSession::results).
  const ScanResults& r = m_session.results();
  const ItemKind kind = ItemKindOf(category);
  switch (category) {
    case ScanCategory::CameraRoll:
      m_statistics.AddMediaFiles(kind, r.cameraRoll);
      break;
    case ScanCategory::PhotoStream:
      m_statistics.AddMediaFiles(kind, r.photoStream);
      break;
    case ScanCategory::WhatsAppAttachments:
      m_statistics.AddMediaFiles(kind, r.whatsAppAttachments);
      break;
    case ScanCategory::MessagesAttachments:
      m_statistics.AddAttachmentFiles(r.messageAttachments);
      break;
    case ScanCategory::Messages:
      m_statistics.AddConversations(r.conversations);
      break;
    case ScanCategory::Contacts:
      m_statistics.AddContacts(r.contacts);
      break;
    case ScanCategory::CallHistory:
      m_statistics.AddCalls(r.calls);
      break;
    case ScanCategory::Notes:
      m_statistics.AddNotes(r.notes);
      break;
    case ScanCategory::WhatsApp:
      m_statistics.AddWhatsAppChats(r.whatsAppChats);
      break;
    case ScanCategory::AppPhotos:
      // App Photos and App Videos come from one list, handed over together.
      m_split = SplitAppFiles(r.appFiles);
      m_statistics.AddAppFolders(kind, m_split.photos);
      break;
    case ScanCategory::AppVideos:
      m_statistics.AddAppFolders(kind, m_split.videos);
      break;
  }
  m_statistics.SetCategorySelected(kind, true);
  m_treeModel->setReady(category);
  updateStatistics();
  updateRecoveryButton();
}

void CScanVrtWnd::onCountsChanged() { m_treeModel->refresh(); }

void CScanVrtWnd::onFirstCategory() {
  if (m_tree->currentIndex().isValid()) return;
  const auto first = m_session.firstDisplay();
  if (first && m_treeModel->isReady(*first)) selectCategory(*first);
}

void CScanVrtWnd::selectCategory(ScanCategory category) {
  const QModelIndex node = m_treeModel->indexOf(category);
  m_tree->selectionModel()->setCurrentIndex(node, QItemSelectionModel::ClearAndSelect);
}

void CScanVrtWnd::onScanEnded() {
  // The thread's last act was to post this: joining it does not wait.
  if (m_session.finished()) m_session.Wait();
  m_ended = true;
  m_scanBar->hide();
  m_recoveryBar->show();
  if (currentCategory()) m_listBar->show();
  setAnimations(false);
  m_home->setEnabled(true);
  updateRecoveryButton();
  updateStatistics();
}

void CScanVrtWnd::buildList(ScanCategory category) {
  const ItemKind kind = ItemKindOf(category);
  const bool records = IsRecordCategory(kind);
  m_info->hide();
  m_listLayout->show();
  m_loadingGif->stop();
  m_backApp->hide();
  m_listBar->show();
  m_filterBar->setVisible(records);
  m_print->setEnabled(CanPrint(kind));
  m_preview->clearPreview();
  m_listedApp = nullptr;
  m_listModel->showCategory(category, m_session.results(), m_split);
  setColumns();
  m_list->scrollToTop();
  if (m_listModel->rowCount() > 0)
    m_list->selectionModel()->setCurrentIndex(
        m_listModel->index(0, 1), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  if (records) {
    const QSignalBlocker quiet(m_filter);
    m_filter->setChecked(m_treeModel->filterState(category));
    updateFilterCount();
  }
  // The preview panel: hidden for application folders and calls, and for
  // contacts until a row is chosen (the panel's own window decides the rest).
  const bool preview = category != ScanCategory::AppPhotos && category != ScanCategory::AppVideos &&
                       category != ScanCategory::CallHistory;
  m_previewSwitch->setVisible(preview);
  m_previewHost->setVisible(preview && m_previewSwitch->isChecked());
}

void CScanVrtWnd::setColumns() {
  const auto& columns = m_listModel->columns();
  QHeaderView* header = m_list->horizontalHeader();
  for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
    const int width = columns[static_cast<size_t>(i)].width;
    header->setSectionResizeMode(i, i == 0 ? QHeaderView::Fixed : QHeaderView::Interactive);
    if (width > 0) m_list->setColumnWidth(i, width);
  }
}

void CScanVrtWnd::showAppFiles(int row) {
  const auto category = currentCategory();
  if (!category || m_listModel->listsAppFiles() || !m_listModel->isApplicationRow(row)) return;
  const auto* files = static_cast<const std::vector<AppFileRecord>*>(m_listModel->recordAt(row));
  if (!m_statistics.Find(files)) return;
  m_listedApp = files;
  m_listModel->showAppFiles(*category, *files);
  setColumns();
  m_backApp->show();
  m_list->scrollToTop();
  m_previewSwitch->setVisible(true);
  m_previewHost->setVisible(m_previewSwitch->isChecked());
}

void CScanVrtWnd::onRowSelected() {
  const auto category = currentCategory();
  const int row = m_list->currentIndex().row();
  const int source = m_listModel->sourceRow(row);
  if (!category || source < 0 || *category == ScanCategory::CallHistory) return;
  const bool appCategory = *category == ScanCategory::AppPhotos || *category == ScanCategory::AppVideos;
  if (appCategory && !m_listModel->listsAppFiles()) return;
  if (*category == ScanCategory::Contacts) {
    m_previewSwitch->setVisible(true);
    m_previewHost->setVisible(m_previewSwitch->isChecked());
  }
  emit previewRequested(*category, source);
}

void CScanVrtWnd::showPreview(ScanCategory category, int row) {
  const void* record = m_listModel->recordOfSource(row);
  if (!record) return;
  const ScanResults& results = m_session.results();
  switch (category) {
    case ScanCategory::CameraRoll:
    case ScanCategory::PhotoStream:
    case ScanCategory::WhatsAppAttachments:
      m_preview->showFile(*static_cast<const MediaFileRecord*>(record));
      break;
    case ScanCategory::MessagesAttachments:
      m_preview->showFile(*static_cast<const AttachmentFileRecord*>(record));
      break;
    case ScanCategory::AppPhotos:
    case ScanCategory::AppVideos:
      if (m_listModel->listsAppFiles()) m_preview->showFile(*static_cast<const AppFileRecord*>(record));
      break;
    case ScanCategory::Messages:
      if (const auto* messages = ConversationOf(results.conversations, record))
        m_preview->showConversation(*messages);
      break;
    case ScanCategory::WhatsApp:
      if (const auto* messages = ConversationOf(results.whatsAppChats, record))
        m_preview->showWhatsAppChat(*messages);
      break;
    case ScanCategory::Contacts:
      m_preview->showContact(*static_cast<const ContactRecord*>(record));
      break;
    case ScanCategory::Notes:
      m_preview->showNote(*static_cast<const NoteRecord*>(record));
      break;
    case ScanCategory::CallHistory:
      break;
  }
}

bool CScanVrtWnd::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_list && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const int row = m_list->currentIndex().row();
    if (key->key() == Qt::Key_Space && row >= 0) {
      m_listModel->toggle(row);
      return true;
    }
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && row >= 0) {
      if (m_listModel->isApplicationRow(row))
        showAppFiles(row);
      else
        onRowSelected();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void CScanVrtWnd::onFilterChanged(bool on) {
  const auto category = currentCategory();
  if (!category || !IsRecordCategory(ItemKindOf(*category))) return;
  m_statistics.SetDeletedOnlyFilter(ItemKindOf(*category), on);
  m_treeModel->setFilterState(*category, on);
  m_listModel->refilter();
  if (m_listModel->rowCount() > 0)
    m_list->selectionModel()->setCurrentIndex(
        m_listModel->index(0, 1), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  updateFilterCount();
  updateStatistics();
  updateRecoveryButton();
}

void CScanVrtWnd::updateFilterCount() {
  const auto category = currentCategory();
  const bool on = category && m_treeModel->filterState(*category);
  m_filterCount->setVisible(on);
  if (!on) return;
  const uint32_t hidden = m_statistics.CategoryCounter(ItemKindOf(*category)).hidden;
  m_filterCount->setText(QStringLiteral("Files Filtered: %1 item(s)").arg(hidden));
}

void CScanVrtWnd::updateStatistics() {
  const auto& root = m_statistics.Root();
  const bool any = root.total > 0;
  const QString none = QStringLiteral("0 MB");
  m_statisticsLabel->setText(
      FormatMessage(m_texts.text("Messages", "MSG0514"),
                    {any ? SizeLabel(m_statistics.SelectedSize()) : none,
                     QString::number(m_statistics.SelectedVisibleCount()),
                     any ? SizeLabel(m_statistics.TotalSize()) : none, QString::number(root.total)}));
}

void CScanVrtWnd::updateRecoveryButton() {
  m_recovery->setEnabled((m_ended || m_session.paused()) && m_statistics.CanRecover());
}

void CScanVrtWnd::togglePause() {
  if (m_ended) return;
  m_session.TogglePause();
  const bool paused = m_session.paused();
  m_pause->setText(m_texts.text("Messages", paused ? "MSG0506" : "MSG0507"));
  setAnimations(!paused);
  updateRecoveryButton();
}

void CScanVrtWnd::stop() {
  if (m_ended || m_waiting) return;
  const bool paused = m_session.paused();
  if (!paused) setAnimations(false);
  m_waiting = true;
  const int answer = m_session.Stop([this] { return ask("MSG0508"); });
  m_waiting = false;
  if (answer == kAnswerOk) {
    m_pause->setText(m_texts.text("Messages", "MSG0507"));
  } else if (!paused) {
    setAnimations(true);
  }
  updateRecoveryButton();
}

int CScanVrtWnd::askClose() {
  // A close that comes while a stop waits is answered by that stop.
  if (m_waiting) return kResultCancel;
  const bool running = !m_session.finished();
  const bool paused = m_session.paused();
  if (running && !paused) setAnimations(false);
  m_waiting = true;
  const int answer = m_session.AskClose([this] { return ask("MSG0511"); });
  m_waiting = false;
  if (answer != kAnswerOk && running && !paused) setAnimations(true);
  return answer;
}

void CScanVrtWnd::goHome() {
  if (m_session.firstDisplay() && ask("MSG0510") != kResultOk) return;
  clearResults();
  m_listLayout->hide();
  m_recoveryBar->hide();
  m_info->show();
  updateStatistics();
  updateRecoveryButton();
  emit homeRequested();
}

}  // namespace fq::app
