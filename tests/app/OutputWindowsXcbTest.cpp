// The recovery and print windows on the X server over the scanned demo
// backup: pictures of a recovery running, with its details, finished with
// failures; the print window of each record category; a PDF page.
#include <gtest/gtest.h>

#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>

#include "GatedRecovery.h"
#include "GuiFixtures.h"
#include "ScannedDemo.h"
#include "ScriptedDialogs.h"
#include "XcbPictures.h"
#include "app/CPrintWnd.h"
#include "app/CRecoverProcessWnd.h"
#include "app/LanguageStore.h"
#include "app/RecoveryRowsModel.h"

namespace fq::app {
namespace {

namespace fs = std::filesystem;
using test::expectTextsFit;
using test::savePicture;

bool waitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 2000 && !done(); ++i) QTest::qWait(10);
  return done();
}

class XcbOutputWindows : public testing::Test {
 protected:
  void SetUp() override {
    test::writeProgramFolder(m_program.path());
    ASSERT_TRUE(demo.scan());
  }
  LanguageStore texts() const {
    return LanguageStore(m_program.path().string(), (m_program.path() / "user.ini").string());
  }
  testsupport::TempFolder m_program{"fq-xcb-output"};
  test::ScannedDemo demo;
};

TEST_F(XcbOutputWindows, RecoveryRunningWithDetailsAndFinishedWithFailures) {
  const fs::path out = m_program.path() / "out";
  fs::create_directories(out);
  ASSERT_TRUE(fs::remove(demo.results().cameraRoll.at(0).path));
  test::writeText(out / "Contacts", "in the way");
  ReportTemplates templates;
  ASSERT_EQ(LoadReportTemplates(fs::path(FERNQUILL_BIN_DIR) / "template", "Demo iPhone", templates), 0);
  const LanguageStore store = texts();
  test::ScriptedDialogs dialogs;
  test::GatedRecovery gated(demo.recovery(), 9);
  CRecoverProcessWnd window(store, dialogs, out, {demo.results(), demo.statistics, gated, {}},
                            std::move(templates), nullptr);
  bool finished = false;
  QTimer::singleShot(0, &window, [&] {
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(300);
    expectTextsFit(window);
    savePicture(window, QStringLiteral("recover-running"));
    QTest::mouseClick(window.findChild<QPushButton*>("DetailBtn"), Qt::LeftButton);
    QTest::qWait(200);
    savePicture(window, QStringLiteral("recover-running-details"));
    gated.open();
    auto* finish = window.findChild<QPushButton*>("FinishBtn");
    finished = waitFor([finish] { return finish->isVisible(); });
    QTest::qWait(200);
    expectTextsFit(window);
    savePicture(window, QStringLiteral("recover-finished-failures"));
    window.done(kResultOk);
  });
  EXPECT_EQ(window.runRecovery(), kResultOk);
  EXPECT_TRUE(finished);
  EXPECT_GE(window.rows().failedCount(), 2);
}

TEST_F(XcbOutputWindows, PrintWindowOfEachCategoryAndAPdfPage) {
  const LanguageStore store = texts();
  const QString folder = qEnvironmentVariable("FERNQUILL_SCREENSHOTS");
  for (ItemKind kind :
       {ItemKind::Messages, ItemKind::Contacts, ItemKind::CallHistory, ItemKind::Notes, ItemKind::WhatsApp}) {
    const QString name =
        QString::fromUtf8(CategoryName(kind).data(), static_cast<int>(CategoryName(kind).size()))
            .toLower()
            .replace(' ', '-');
    SCOPED_TRACE(name.toStdString());
    test::ScriptedDialogs dialogs;
    CPrintWnd window(store, dialogs,
                     {kind, false, demo.results(), demo.statistics,
                      fs::path(FERNQUILL_BIN_DIR) / "template" / "Print.html", m_program.path() / "work"},
                     nullptr);
    QTimer::singleShot(0, &window, [&] {
      EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
      EXPECT_TRUE(waitFor([&window] { return window.built(); }));
      QTest::qWait(200);
      savePicture(window, "print-" + name);
      if (!folder.isEmpty() && kind == ItemKind::Messages) {
        // The PDF's first page as a picture, as a printer would get it.
        const QString pdf = QString::fromStdString((m_program.path() / "print.pdf").string());
        ASSERT_TRUE(window.savePdf(pdf));
        const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
        if (!pdftoppm.isEmpty()) {
          const QString scale = QString::number(qApp->devicePixelRatio());
          const QString target = QStringLiteral("%1/print-pdf-%2@%3x").arg(folder, name, scale);
          EXPECT_EQ(QProcess::execute(pdftoppm, {"-png", "-r", QString::number(60 * qApp->devicePixelRatio()),
                                                 "-f", "1", "-l", "1", "-singlefile", pdf, target}),
                    0);
        }
      }
      window.done(kResultOk);
    });
    EXPECT_EQ(window.runPrint(), kResultOk);
  }
}

}  // namespace
}  // namespace fq::app
