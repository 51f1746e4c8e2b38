#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "GuiFixtures.h"
#include "app/CDecryptionWnd.h"
#include "app/CMessageBox.h"
#include "app/DialogHost.h"
#include "app/LanguageStore.h"
#include "tests/support/TempFolder.h"

namespace fq::app {
namespace {

class Dialogs : public testing::Test {
 protected:
  void SetUp() override { test::writeProgramFolder(m_folder.path()); }
  LanguageStore texts() const {
    return LanguageStore(m_folder.path().string(), (m_folder / "user.ini").string());
  }

  // Runs `window` modally while `act` drives it from inside the modal loop.
  static int runDriven(CPopUpWnd& window, std::function<void()> act) {
    QTimer::singleShot(0, &window, [&window, act] {
      EXPECT_TRUE(window.isVisible());
      window.activateWindow();
      EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
      act();
      // Whatever `act` did, the box must not outlive the test.
      if (window.isVisible()) QTimer::singleShot(0, &window, [&window] { window.done(99); });
    });
    return window.run();
  }

  testsupport::TempFolder m_folder{"fq-gui"};
};

TEST_F(Dialogs, KindsPickTheirLookTitleAndButtons) {
  struct Case {
    int kind;
    const char* look;
    const char* title;
    bool cancel;
  };
  const Case cases[] = {
      {kError, "MessageBox_Error", "T-error", false},
      {kConfirm, "MessageBox_Confirm", "T-confirm", true},
      {kInformation, "MessageBox_Information", "T-info", false},
      {kWarning, "MessageBox_Warning", "T-warning", false},
      {kQuestion, "MessageBox_Question", "T-question", true},
      {7, "MessageBox_Error", "T-error", false},
      {-1, "MessageBox_Error", "T-error", false},
  };
  const LanguageStore store = texts();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    CMessageBox box(store, c.kind, {}, QStringLiteral("<i>body</i>"), nullptr);
    EXPECT_EQ(box.objectName(), c.look);
    EXPECT_EQ(box.findChild<QLabel*>("title")->text(), c.title);
    EXPECT_NE(box.findChild<QPushButton*>("okbtn"), nullptr);
    EXPECT_EQ(!box.findChild<QPushButton*>("cancelbtn")->isHidden(), c.cancel);
    auto* message = box.findChild<QLabel*>("message");
    EXPECT_EQ(message->textFormat(), Qt::PlainText);
    EXPECT_EQ(message->text(), QStringLiteral("<i>body</i>"));
  }
  CMessageBox titled(store, kWarning, QStringLiteral("Warning"), {}, nullptr);
  EXPECT_EQ(titled.findChild<QLabel*>("title")->text(), QStringLiteral("Warning"));
}

TEST_F(Dialogs, RealModalBoxAnswersByItsButtonsAndKeys) {
  const LanguageStore store = texts();
  struct Case {
    const char* name;
    std::function<void(CPopUpWnd&)> act;
    int expected;
  };
  auto click = [](const char* button) {
    return
        [button](CPopUpWnd& w) { QTest::mouseClick(w.findChild<QAbstractButton*>(button), Qt::LeftButton); };
  };
  const std::vector<Case> cases = {
      {"okbtn", click("okbtn"), kResultOk},
      {"cancelbtn", click("cancelbtn"), kResultCancel},
      {"closebtn as cancel", click("closebtn"), kResultCancel},
      {"Escape", [](CPopUpWnd& w) { QTest::keyClick(&w, Qt::Key_Escape); }, kResultCancel},
      // Enter leaves the box open even with the focus on OK; the driver then ends it with 99.
      {"Enter does nothing",
       [](CPopUpWnd& w) {
         w.findChild<QPushButton*>("okbtn")->setFocus();
         QTest::keyClick(w.focusWidget() ? w.focusWidget() : &w, Qt::Key_Return);
         QTest::keyClick(&w, Qt::Key_Enter);
       },
       99},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CMessageBox box(store, kQuestion, {}, QStringLiteral("Go on?"), nullptr);
    box.resize(550, 200);
    EXPECT_EQ(runDriven(box, [&] { c.act(box); }), c.expected);
  }
}

TEST_F(Dialogs, PasswordWindowHandsOutThePasswordOnceAndWipesIt) {
  const LanguageStore store = texts();
  CDecryptionWnd window(store, 1, nullptr);
  auto* edit = window.findChild<QLineEdit*>("EditPassword");
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
  EXPECT_EQ(edit->maxLength(), kPasswordMaxLength);
  const int result = runDriven(window, [&] {
    EXPECT_EQ(window.focusWidget(), edit);
    QTest::keyClicks(edit, QStringLiteral("word 1"));
    edit->home(false);
    edit->insert(QStringLiteral("pässö"));
    QTest::keyClick(edit, Qt::Key_Return);  // Enter does not accept
    EXPECT_TRUE(window.isVisible());
    QTest::mouseClick(window.findChild<QPushButton*>("BtnOK"), Qt::LeftButton);
  });
  ASSERT_EQ(result, kResultOk);
  EXPECT_TRUE(edit->text().isEmpty());
  std::string password;
  window.takePassword(password);
  EXPECT_EQ(password, "pässöword 1");
  std::string again = "left over";
  window.takePassword(again);
  EXPECT_EQ(again, "");
}

TEST_F(Dialogs, PasswordWindowCancelEndsWithTwo) {
  const LanguageStore store = texts();
  CDecryptionWnd window(store, 0, nullptr);
  EXPECT_EQ(
      runDriven(window,
                [&] { QTest::mouseClick(window.findChild<QPushButton*>("BtnCancel"), Qt::LeftButton); }),
      kResultCancel);
}

}  // namespace
}  // namespace fq::app

namespace fq::app {
namespace {

// Pictures of the dialogs for a person to look at, when asked for.
TEST_F(Dialogs, PicturesWhenAskedFor) {
  const QByteArray folder = qgetenv("FERNQUILL_SCREENSHOTS");
  if (folder.isEmpty()) GTEST_SKIP() << "set FERNQUILL_SCREENSHOTS to a folder to write the pictures";
  const LanguageStore store = texts();
  CMessageBox box(store, kQuestion, {},
                  QStringLiteral("Can not found the backup file, do you want to try again?"), nullptr);
  box.resize(550, 200);
  box.show();
  EXPECT_TRUE(box.grab().save(QString::fromUtf8(folder) + "/messagebox.png"));
  CDecryptionWnd password(store, 1, nullptr);
  password.resize(550, 200);
  password.show();
  EXPECT_TRUE(password.grab().save(QString::fromUtf8(folder) + "/password.png"));
}

}  // namespace
}  // namespace fq::app
