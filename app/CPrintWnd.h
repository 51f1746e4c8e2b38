#pragma once
// The print window: a worker gathers the ticked records of one category as
// blocks, the window shows them with a plain stylesheet and offers to print,
// to save a PDF, or to open the whole templated page in the desktop's browser.
// Nothing is written to the program folder; the page lives in memory.
#include <QEvent>
#include <QString>
#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "app/CPopUpWnd.h"
#include "output/ItemKind.h"
#include "output/PrintPage.h"

class QStackedWidget;
class QTextBrowser;

namespace fq::app {

class DialogHost;
class LanguageStore;

// What a print reads: the references must outlive the window.
struct PrintInput {
  ItemKind category = ItemKind::Contacts;
  bool deletedOnly = false;  // the category node's "D" state, read on the UI thread
  const ScanResults& results;
  const CStatisticsObj& statistics;
  std::filesystem::path templateFile;  // usually ProgramFolder() / "template" / "Print.html"
  std::filesystem::path pageFolder;    // where "Open in browser" writes the page (the work folder)
};

// Posted by the worker when the page is built (message 1036).
inline constexpr QEvent::Type kPrintPageReady = static_cast<QEvent::Type>(QEvent::User + 12);

class CPrintWnd : public CPopUpWnd {
  Q_OBJECT
 public:
  CPrintWnd(const LanguageStore& texts, DialogHost& dialogs, PrintInput input, QWidget* owner);
  ~CPrintWnd() override;

  // Starts the worker and shows the window modally; 1, or 2 after a cancel.
  int runPrint();
  // Starts the worker without showing the window (tests, pictures).
  void startBuilding();
  bool built() const { return m_built; }
  // The page's blocks as built (empty when nothing is ticked).
  const std::string& content() const { return m_content; }
  QTextBrowser* browser() const { return m_browser; }

  // Writes the shown page as a PDF; true when a non-empty file was written.
  bool savePdf(const QString& file);
  // The whole templated page into the page folder, opened by the desktop; its path or empty.
  QString openInBrowser();
  // Replaces the save dialog of "Save as PDF…" (tests).
  void setPdfFilePicker(std::function<QString()> picker) { m_pickPdfFile = std::move(picker); }

  // The close request of closebtn and Escape: asks first while building.
  void requestClose() override;

 protected:
  void customEvent(QEvent* event) override;

 private:
  void showPage();
  void print();
  void stopWorker();

  const LanguageStore& m_texts;
  DialogHost& m_dialogs;
  PrintInput m_input;
  QStackedWidget* m_tabs;
  QTextBrowser* m_browser;
  std::function<QString()> m_pickPdfFile;
  std::string m_content;  // written by the worker until it posts
  std::atomic<bool> m_cancel{false};
  std::atomic<bool> m_building{false};
  bool m_built = false;
  std::thread m_worker;
};

}  // namespace fq::app
