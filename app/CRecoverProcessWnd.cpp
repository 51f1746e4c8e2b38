#include "app/CRecoverProcessWnd.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <thread>

#include "app/DialogHost.h"
#include "app/LanguageStore.h"
#include "app/MessageFormat.h"
#include "app/RecoveryRowsModel.h"
#include "app/WindowTexts.h"

namespace fq::app {
namespace {

namespace fs = std::filesystem;

const QEvent::Type kJobChanged = static_cast<QEvent::Type>(QEvent::registerEventType());
// At most about 20 updates a second: the worker never waits on painting.
constexpr int kUpdateIntervalMs = 50;
constexpr std::chrono::milliseconds kFinishPoll(50);

QString PathText(const fs::path& path) { return QString::fromStdString(path.string()); }

}  // namespace

CRecoverProcessWnd::CRecoverProcessWnd(const LanguageStore& texts, DialogHost& dialogs, fs::path outputRoot,
                                       const RecoveryInput& input, ReportTemplates templates, QWidget* owner)
    : CPopUpWnd(owner, QStringLiteral("RecoverProcessWnd")),
      m_texts(texts),
      m_dialogs(dialogs),
      m_templates(std::move(templates)) {
  setObjectName("RecoverProcessWnd");
  setWindowTitle(QStringLiteral("Recovering files"));
  m_job = std::make_unique<RecoveryJob>(std::move(outputRoot), input.results, input.statistics, input.session,
                                        m_templates, [this] { onJobChanged(); });
  m_job->SetSource(input.source);

  m_overall = controls().control<QProgressBar>("OverallProgress");
  m_progress = controls().control<QProgressBar>("Progress");
  m_current = controls().control<QLabel>("current");
  m_percent = controls().control<QLabel>("percent");
  m_recovered = controls().control<QLabel>("recovered");
  m_where = controls().control<QLabel>("LblOutputFolder");
  m_list = controls().control<QTableView>("DetailList");
  m_openBtn = controls().control<QPushButton>("OpenBtn");
  m_finishBtn = controls().control<QPushButton>("FinishBtn");
  m_cancelBtn = controls().control<QPushButton>("CancelBtn");
  for (QLabel* label : {m_current, m_percent, m_recovered, m_where}) label->setTextFormat(Qt::PlainText);
  m_current->setMinimumWidth(1);
  m_where->setMinimumWidth(1);
  m_where->setWordWrap(false);
  m_progress->setRange(0, 100);
  m_overall->setRange(0, 100);

  m_model = new RecoveryRowsModel(this);
  m_list->setModel(m_model);
  m_list->setTextElideMode(Qt::ElideRight);
  m_list->setWordWrap(false);
  m_list->verticalHeader()->hide();
  // Fixed row heights keep a long list cheap to scroll.
  m_list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 6);
  m_list->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  m_list->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Interactive);
  m_list->horizontalHeader()->resizeSection(1, 180);
  m_list->hide();
  m_where->hide();
  m_finishBtn->hide();
  m_openBtn->setEnabled(false);

  connect(m_cancelBtn, &QPushButton::clicked, this, [this] { requestClose(); });
  connect(m_finishBtn, &QPushButton::clicked, this, [this] { done(kResultOk); });
  connect(controls().control<QPushButton>("DetailBtn"), &QPushButton::clicked, this,
          [this] { toggleDetails(); });
  connect(m_openBtn, &QPushButton::clicked, this, [this] { openOutput(); });

  m_updateTimer.setSingleShot(true);
  connect(&m_updateTimer, &QTimer::timeout, this, [this] { refreshFromJob(); });

  texts.apply(this, "RecoverProcessWnd");
  m_percent->setText(FormatMessage(QStringLiteral("%s %d%%"), {MessageText(texts, "MSG1101"), "0"}));
  const QString total = QString::number(input.statistics.RecoveryItems().size());
  m_recovered->setText(FormatMessage(MessageText(texts, "MSG1102"), {"0", total, "0", "0"}));
  resize(kRecoverWindowWidth, kRecoverWindowHeight);
}

CRecoverProcessWnd::~CRecoverProcessWnd() {
  // The job's callback posts to this window: end the job before the window goes.
  m_job.reset();
}

int CRecoverProcessWnd::runRecovery() {
  m_sinceUpdate.start();
  m_job->Start();
  return run();
}

void CRecoverProcessWnd::onJobChanged() {
  if (!m_updatePending.exchange(true)) QCoreApplication::postEvent(this, new QEvent(kJobChanged));
}

void CRecoverProcessWnd::customEvent(QEvent* event) {
  if (event->type() != kJobChanged) return CPopUpWnd::customEvent(event);
  const qint64 since = m_sinceUpdate.isValid() ? m_sinceUpdate.elapsed() : kUpdateIntervalMs;
  if (since < kUpdateIntervalMs) {
    if (!m_updateTimer.isActive()) m_updateTimer.start(static_cast<int>(kUpdateIntervalMs - since));
    return;
  }
  refreshFromJob();
}

void CRecoverProcessWnd::refreshFromJob() {
  if (m_held) {
    // The question is up and this thread holds the worker's lock: look again later.
    m_updateTimer.start(kUpdateIntervalMs);
    return;
  }
  // Cleared before reading, so a change after the read posts again.
  m_updatePending = false;
  m_sinceUpdate.restart();
  const RecoveryProgress p = m_job->Progress();
  const size_t rowCount = m_job->RowCount();
  if (rowCount > m_rowsShown) {
    m_model->append(m_job->RowsFrom(m_rowsShown));
    m_rowsShown = rowCount;
  }
  m_progress->setValue(std::clamp(p.percent, 0, 100));
  m_overall->setValue(p.total == 0
                          ? (p.finished ? 100 : 0)
                          : static_cast<int>(std::min<uint64_t>(100, uint64_t{p.processed} * 100 / p.total)));
  m_currentPath = PathText(p.current);
  showPaths();
  m_percent->setText(
      FormatMessage(QStringLiteral("%s %d%%"),
                    {MessageText(m_texts, "MSG1101"), QString::number(std::clamp(p.percent, 0, 100))}));
  m_recovered->setText(FormatMessage(MessageText(m_texts, "MSG1102"),
                                     {QString::number(p.processed), QString::number(p.total),
                                      QString::number(p.Succeeded()), QString::number(p.failed)}));
  if (p.finished && m_finishBtn->isHidden()) {
    m_finishBtn->show();
    m_cancelBtn->hide();
    m_openBtn->setEnabled(true);
    m_whereText = FormatMessage(MessageText(m_texts, "MSG1110"), {PathText(m_job->OutputRoot())});
    m_where->show();
    showPaths();
  }
}

void CRecoverProcessWnd::showPaths() {
  const int width = std::max(40, m_current->width());
  m_current->setText(m_current->fontMetrics().elidedText(m_currentPath, Qt::ElideMiddle, width));
  m_current->setToolTip(m_currentPath);
  // Long paths are shortened in the middle, never allowed to widen the window.
  m_where->setText(
      m_where->fontMetrics().elidedText(m_whereText, Qt::ElideMiddle, std::max(40, m_where->width())));
  m_where->setToolTip(m_whereText);
}

void CRecoverProcessWnd::resizeEvent(QResizeEvent* event) {
  CPopUpWnd::resizeEvent(event);
  showPaths();
}

void CRecoverProcessWnd::toggleDetails() {
  m_detailsShown = !m_detailsShown;
  if (m_detailsShown) {
    const QSize now = size();
    m_list->show();
    resize(now.width() + 150, now.height() + 300);
    keepOnScreen();
  } else {
    m_list->hide();
    resize(kRecoverWindowWidth, kRecoverWindowHeight);
  }
}

// The details grow the window down and right from where it stands; on a small
// screen that would push Finish and Open below its edge.
void CRecoverProcessWnd::keepOnScreen() {
  const QScreen* shown = screen();
  if (shown == nullptr) return;
  const QRect room = shown->availableGeometry();
  const QSize outer = size() + (frameGeometry().size() - geometry().size());
  QPoint at = pos();
  at.setX(std::max(room.left(), std::min(at.x(), room.right() + 1 - outer.width())));
  at.setY(std::max(room.top(), std::min(at.y(), room.bottom() + 1 - outer.height())));
  if (at != pos()) move(at);
}

void CRecoverProcessWnd::openOutput() {
  const fs::path index = m_job->OutputRoot() / "index.html";
  std::error_code ec;
  const fs::path target = fs::is_regular_file(index, ec) ? index : m_job->OutputRoot();
  m_dialogs.openUrl(QUrl::fromLocalFile(PathText(target)).toString());
}

void CRecoverProcessWnd::requestClose() {
  if (m_closing) return;
  if (m_job->IsFinished()) {
    // Everything is written: closing is finishing.
    refreshFromJob();
    done(kResultOk);
    return;
  }
  auto held = m_job->HoldProgress();
  m_held = true;
  // The window stays up under the question: hiding a modal dialog would end its run.
  const int answer =
      m_dialogs.messageBox(this, kQuestion, {}, MessageText(m_texts, "MSG1103"), QSize(550, 200));
  if (answer != kResultOk) {
    m_held = false;
    return;
  }
  m_job->Cancel(held);
  held.unlock();
  m_held = false;
  m_closing = true;
  while (!m_job->IsFinished()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, kUpdateIntervalMs);
    std::this_thread::sleep_for(kFinishPoll);
  }
  m_job->Join();
  done(kResultCancel);
}

}  // namespace fq::app
