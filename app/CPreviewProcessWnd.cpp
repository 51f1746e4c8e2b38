#include "app/CPreviewProcessWnd.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "app/DialogHost.h"
#include "app/LanguageStore.h"
#include "engine/ResultCodes.h"
#include "engine/session/BackupStore.h"

namespace fq::app {

CPreviewProcessWnd::CPreviewProcessWnd(const LanguageStore& texts, DialogHost& dialogs, BackupStore& store,
                                       std::filesystem::path source, const QString& displayName,
                                       QWidget* owner)
    : CPopUpWnd(owner, QStringLiteral("PreviewProcessWnd")),
      m_texts(texts),
      m_dialogs(dialogs),
      m_store(store),
      m_source(std::move(source)),
      m_percent(controls().control<QLabel>("LblPercent")),
      m_progress(controls().control<QProgressBar>("Progress")) {
  setObjectName("PreviewProcessWnd");
  m_progress->setRange(0, 100);
  texts.apply(this, "PreviewProcessWnd");
  setWindowTitle(controls().control<QLabel>("Title")->text());
  auto* name = controls().control<QLabel>("LblFileName");
  name->setTextFormat(Qt::PlainText);
  name->setText(QStringLiteral("%1 %2").arg(texts.text("Messages", "MSG0902"), displayName));
  m_percent->setTextFormat(Qt::PlainText);
  showPercent(0);
  connect(controls().control<QPushButton>("BtnCancel"), &QPushButton::clicked, this,
          [this] { done(kResultCancel); });
  resize(500, 200);
}

CPreviewProcessWnd::~CPreviewProcessWnd() { waitForCopy(); }

void CPreviewProcessWnd::waitForCopy() {
  if (!m_worker.joinable()) return;
  {
    const std::lock_guard lock(m_lock);
    m_cancel = true;
  }
  m_worker.join();
}

void CPreviewProcessWnd::showEvent(QShowEvent* event) {
  CPopUpWnd::showEvent(event);
  // Started once the window is up, so a cancel can never come before it.
  if (!m_worker.joinable() && !m_ended)
    QMetaObject::invokeMethod(this, &CPreviewProcessWnd::startCopy, Qt::QueuedConnection);
}

void CPreviewProcessWnd::startCopy() {
  if (m_worker.joinable() || m_ended) return;
  m_worker = std::thread([this] {
    std::filesystem::path output;
    const int32_t result =
        m_store.ExtractPreview(m_source, output, [this](int32_t percent) { return onProgress(percent); });
    m_output = std::move(output);
    m_result = result;
    QMetaObject::invokeMethod(this, &CPreviewProcessWnd::copyEnded, Qt::QueuedConnection);
  });
}

int32_t CPreviewProcessWnd::onProgress(int32_t percent) {
  const std::lock_guard lock(m_lock);
  if (m_cancel) return kCancelled;
  QMetaObject::invokeMethod(
      this, [this, percent] { showPercent(percent); }, Qt::QueuedConnection);
  return kOk;
}

void CPreviewProcessWnd::showPercent(int percent) {
  m_progress->setValue(std::clamp(percent, 0, 100));
  m_percent->setText(QStringLiteral("%1 %2%").arg(m_texts.text("Messages", "MSG0901")).arg(percent));
}

void CPreviewProcessWnd::copyEnded() {
  if (m_worker.joinable()) m_worker.join();
  m_ended = true;
  // A question still open ends first; its answer no longer matters.
  if (!m_asking) CPopUpWnd::done(m_result == kCancelled ? kResultCancel : kResultOk);
}

void CPreviewProcessWnd::done(int result) {
  if (m_ended) {
    CPopUpWnd::done(result);
    return;
  }
  if (m_asking) return;
  m_asking = true;
  int answer = kResultCancel;
  {
    // The copy stops at its next step while the user is asked.
    const std::lock_guard lock(m_lock);
    answer = m_dialogs.messageBox(this, kQuestion, {}, m_texts.text("Messages", "MSG0903"), QSize(550, 200));
    if (answer == kResultOk) m_cancel = true;
  }
  m_asking = false;
  // The copy ended while the question was up: the window ends as the copy did.
  if (m_ended) CPopUpWnd::done(m_result == kCancelled ? kResultCancel : kResultOk);
}

}  // namespace fq::app
