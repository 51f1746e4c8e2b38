#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <memory>

#include "GuiFixtures.h"
#include "ScriptedDialogs.h"
#include "app/CButtonGifUI.h"
#include "app/CDecryptionWnd.h"
#include "app/CIosDeviceVrtWnd.h"
#include "app/CItunesBackupVrtWnd.h"
#include "app/CMainWnd.h"
#include "app/CMessageBox.h"
#include "app/CScanVrtWnd.h"
#include "app/LanguageStore.h"
#include "app/Skin.h"
#include "engine/session/BackupStore.h"
#include "engine/session/EventRecorder.h"
#include "engine/session/WorkFolders.h"
#include "tests/support/TempFolder.h"

namespace fq::app {
namespace {

// Every control a window looks up is in its packed skin, with the type the
// code expects: a lookup that fails records the name in missing().
TEST(Skins, EveryWindowFindsEachControlItLooksUp) {
  testsupport::TempFolder folder{"fq-skin"};
  test::writeProgramFolder(folder.path());
  LanguageStore texts(folder.path().string(), (folder / "user.ini").string());
  test::ScriptedDialogs dialogs;
  WorkFolders work(folder / "data");
  BackupStore store(work, folder / "data/backup");
  CMainWnd main(texts, dialogs, store);
  CMessageBox box(texts, kQuestion, {}, QStringLiteral("text"), nullptr);
  CDecryptionWnd password(texts, 1, nullptr);
  const std::pair<const char*, const Skin*> skins[] = {
      {"MainWnd", &main.skin()},
      {"PageIosDevice", &main.devicePage().skin()},
      {"PageItunesBackup", &main.backupPage().skin()},
      {"PageScan", &main.scanPage().skin()},
      {"MessageBox", &box.skin()},
      {"DecryptionWnd", &password.skin()},
  };
  for (const auto& [name, skin] : skins) {
    SCOPED_TRACE(name);
    EXPECT_NE(skin->form(), nullptr);
    EXPECT_TRUE(skin->missing().isEmpty()) << skin->missing().join(QLatin1Char(' ')).toStdString();
  }
  // The pages sit where the main skin's stacks show them, the sources are one group.
  auto* tabs = main.findChild<QStackedWidget*>("TabPage");
  EXPECT_EQ(tabs->indexOf(&main.devicePage()), 0);
  EXPECT_EQ(tabs->indexOf(&main.backupPage()), 1);
  EXPECT_EQ(main.findChild<QStackedWidget*>("MainTabPage")->indexOf(&main.scanPage()), 1);
  auto* group = main.findChild<QButtonGroup*>("GrpAction");
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->id(main.findChild<QPushButton*>("OptBackupFile")), 1);
  EXPECT_NE(qobject_cast<CButtonGifUI*>(main.findChild<QWidget*>("BtnGifOpening")), nullptr);
}

TEST(Skins, MissingFormOrControlGivesAHiddenStandIn) {
  QWidget host;
  Skin skin(QStringLiteral("NoSuchWindow"), &host);
  EXPECT_EQ(skin.form(), nullptr);
  auto* button = skin.control<QPushButton>("BtnAbsent");
  ASSERT_NE(button, nullptr);
  EXPECT_TRUE(button->isHidden());
  EXPECT_EQ(button->objectName(), QStringLiteral("BtnAbsent"));
  // Asked again, the stand-in is found, not made twice.
  EXPECT_EQ(skin.control<QPushButton>("BtnAbsent"), button);
  EXPECT_EQ(skin.missing(), (QStringList{QStringLiteral("NoSuchWindow"), QStringLiteral("BtnAbsent")}));
}

TEST(Skins, ControlOfAnotherTypeCountsAsMissing) {
  QWidget host;
  Skin skin(QStringLiteral("PageScan"), &host);
  ASSERT_NE(skin.form(), nullptr);
  // BtnHome is a push button, not a stack.
  EXPECT_NE(skin.control<QPushButton>("BtnHome"), nullptr);
  EXPECT_TRUE(skin.missing().isEmpty());
  skin.control<QStackedWidget>("BtnHome");
  EXPECT_EQ(skin.missing(), QStringList{QStringLiteral("BtnHome")});
}

// A form found under the "skin" search path is used instead of the packed
// one; the window built on it still works when it lacks a control.
TEST(Skins, AFormOnTheSkinPathReplacesThePackedOne) {
  testsupport::TempFolder folder{"fq-skin"};
  test::writeProgramFolder(folder.path());
  test::writeText(folder / "skins/ui/PageScan.ui",
                  "<ui version=\"4.0\"><widget class=\"QWidget\" name=\"SwappedForm\">"
                  "<layout class=\"QVBoxLayout\" name=\"l\"><item><widget class=\"QLabel\" "
                  "name=\"LblScanStatus\"><property name=\"text\"><string>swapped</string></property>"
                  "</widget></item></layout></widget></ui>");
  LanguageStore texts(folder.path().string(), (folder / "user.ini").string());
  QDir::setSearchPaths(QStringLiteral("skin"), {QString::fromStdString((folder / "skins").string())});
  test::ScriptedDialogs dialogs;
  WorkFolders work(folder / "data");
  BackupStore store(work, folder / "data/backup");
  EventRecorder events;
  CScanVrtWnd page(texts, dialogs, store, events, nullptr);
  QDir::setSearchPaths(QStringLiteral("skin"), {});
  ASSERT_NE(page.skin().form(), nullptr);
  EXPECT_EQ(page.skin().form()->objectName(), QStringLiteral("SwappedForm"));
  EXPECT_EQ(page.findChild<QLabel*>("LblScanStatus")->text(), QStringLiteral("swapped"));
  // Without its Home button the page has a hidden stand-in; the language text still lands on it.
  EXPECT_TRUE(page.skin().missing().contains(QStringLiteral("BtnHome")));
  EXPECT_TRUE(page.skin().missing().contains(QStringLiteral("DataList")));
  auto* home = page.findChild<QPushButton*>("BtnHome");
  ASSERT_NE(home, nullptr);
  EXPECT_TRUE(home->isHidden());
  EXPECT_EQ(home->text(), QStringLiteral("T-home"));
}

}  // namespace
}  // namespace fq::app
