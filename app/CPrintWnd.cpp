#include "app/CPrintWnd.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>

#include "app/CButtonGifUI.h"
#include "app/DialogHost.h"
#include "app/LanguageStore.h"
#include "app/WindowTexts.h"
#include "engine/ResultCodes.h"
#include "output/HtmlEscape.h"
#include "output/ReportTemplates.h"

namespace fq::app {
namespace {

namespace fs = std::filesystem;

// What Qt's rich text understands: labels bold, blocks apart, a record's own
// line breaks kept. The template's own styling is for the browser.
constexpr const char* kPageStyle =
    "body { font-size: 10pt; } p { margin-top: 1px; margin-bottom: 1px; white-space: pre-wrap; } "
    "span { font-weight: bold; color: #1f3b2e; } "
    "table.block { border: 1px solid #c9d3ce; border-collapse: collapse; margin-bottom: 10px; }";
constexpr std::string_view kBlockOpen =
    "<table class=\"block\" width=\"100%\" cellspacing=\"0\" cellpadding=\"6\"><tr><td>";

}  // namespace

CPrintWnd::CPrintWnd(const LanguageStore& texts, DialogHost& dialogs, PrintInput input, QWidget* owner)
    : CPopUpWnd(owner, QStringLiteral("PrintWnd")),
      m_texts(texts),
      m_dialogs(dialogs),
      m_input(std::move(input)) {
  setObjectName("PrintWnd");
  setWindowTitle(QStringLiteral("Print"));
  m_tabs = controls().control<QStackedWidget>("PrintTabPage");
  m_browser = controls().control<QTextBrowser>("WebPagePrint");
  m_browser->setOpenLinks(false);
  m_browser->setOpenExternalLinks(false);
  m_browser->document()->setDefaultStyleSheet(QString::fromLatin1(kPageStyle));
  m_tabs->setCurrentIndex(0);
  auto* loading = controls().control<CButtonGifUI>("BtnGifPrintLoading");
  if (loading->setGifFile(QStringLiteral(":/skins/gif/loading.gif"))) loading->play();

  connect(controls().control<QPushButton>("BtnPrintPage"), &QPushButton::clicked, this, [this] { print(); });
  connect(controls().control<QPushButton>("BtnSavePdf"), &QPushButton::clicked, this, [this] {
    const QString file =
        m_pickPdfFile ? m_pickPdfFile()
                      : QFileDialog::getSaveFileName(this, tr("Save as PDF"), QStringLiteral("print.pdf"),
                                                     QStringLiteral("PDF (*.pdf)"));
    if (!file.isEmpty() && !savePdf(file))
      m_dialogs.messageBox(this, kError, {}, MessageText(m_texts, "MSG1112"), QSize(500, 200));
  });
  connect(controls().control<QPushButton>("BtnOpenInBrowser"), &QPushButton::clicked, this,
          [this] { openInBrowser(); });
  for (const char* name : {"BtnPrintPage", "BtnSavePdf", "BtnOpenInBrowser"})
    controls().control<QPushButton>(name)->setEnabled(false);
  texts.apply(this, "PrintWnd");
  resize(800, 600);
}

CPrintWnd::~CPrintWnd() { stopWorker(); }

void CPrintWnd::stopWorker() {
  m_cancel = true;
  if (m_worker.joinable()) m_worker.join();
}

void CPrintWnd::startBuilding() {
  if (m_worker.joinable() || m_built) return;
  m_building = true;
  m_worker = std::thread([this] {
    std::string content;
    const int32_t rc = BuildPrintContent(
        m_input.category, m_input.deletedOnly, m_input.results, m_input.statistics,
        [this] { return m_cancel.load(); }, content);
    if (rc == kCancelled) {
      m_building = false;
      return;
    }
    m_content = std::move(content);
    m_building = false;
    QCoreApplication::postEvent(this, new QEvent(kPrintPageReady));
  });
}

int CPrintWnd::runPrint() {
  startBuilding();
  return run();
}

void CPrintWnd::customEvent(QEvent* event) {
  if (event->type() != kPrintPageReady) return CPopUpWnd::customEvent(event);
  if (m_worker.joinable()) m_worker.join();
  showPage();
}

void CPrintWnd::showPage() {
  m_built = true;
  QString html;
  if (m_content.empty()) {
    html = QStringLiteral("<p>") + MessageText(m_texts, "MSG1111").toHtmlEscaped() + QStringLiteral("</p>");
  } else {
    // Qt's rich text neither spaces nor frames a <div>: each block becomes a
    // framed table cell, and a space parts each label from its value.
    std::string blocks = ReplaceAll(m_content, "</span>", " </span>");
    blocks = ReplaceAll(std::move(blocks), "<div>", kBlockOpen);
    blocks = ReplaceAll(std::move(blocks), "</div>", "</td></tr></table>");
    html = QString::fromStdString(blocks);
  }
  m_browser->setHtml(html);
  m_tabs->setCurrentIndex(1);
  for (const char* name : {"BtnPrintPage", "BtnSavePdf", "BtnOpenInBrowser"})
    controls().control<QPushButton>(name)->setEnabled(true);
}

bool CPrintWnd::savePdf(const QString& file) {
  if (!m_built) return false;
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(file);
  printer.setDocName(windowTitle());
  m_browser->document()->print(&printer);
  std::error_code ec;
  const auto size = fs::file_size(file.toStdString(), ec);
  return !ec && size > 0;
}

void CPrintWnd::print() {
  if (!m_built) return;
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dialog(&printer, this);
  if (dialog.exec() == QDialog::Accepted) m_browser->document()->print(&printer);
}

QString CPrintWnd::openInBrowser() {
  if (!m_built || m_input.pageFolder.empty()) return {};
  // One page per process: two programs side by side never overwrite each other's.
  const fs::path page = m_input.pageFolder / ("print-" + std::to_string(::getpid()) + ".html");
  const std::string content = m_content.empty()
                                  ? "<p>" + HtmlEscape(MessageText(m_texts, "MSG1111").toStdString()) + "</p>"
                                  : m_content;
  if (WritePrintPage(page, LoadPrintTemplate(m_input.templateFile), content) != 0) {
    m_dialogs.messageBox(this, kError, {}, MessageText(m_texts, "MSG1112"), QSize(500, 200));
    return {};
  }
  const QString path = QString::fromStdString(page.string());
  m_dialogs.openUrl(QUrl::fromLocalFile(path).toString());
  return path;
}

void CPrintWnd::requestClose() {
  if (!m_building) {
    done(m_built ? kResultOk : kResultCancel);
    return;
  }
  const int answer =
      m_dialogs.messageBox(this, kQuestion, {}, MessageText(m_texts, "MSG0903"), QSize(550, 200));
  if (answer != kResultOk) return;
  stopWorker();
  done(kResultCancel);
}

}  // namespace fq::app
