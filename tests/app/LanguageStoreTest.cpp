#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTreeView>

#include "GuiFixtures.h"
#include "ScriptedDialogs.h"
#include "app/CDecryptionWnd.h"
#include "app/CMainWnd.h"
#include "app/CMessageBox.h"
#include "app/IniFile.h"
#include "app/LanguageStore.h"
#include "engine/session/BackupStore.h"
#include "engine/session/WorkFolders.h"
#include "tests/support/TempFolder.h"

namespace fq::app {
namespace {

using test::writeProgramFolder;

QString textOf(QObject* root, const char* name) {
  QObject* o = root->findChild<QObject*>(name);
  if (auto* l = qobject_cast<QLabel*>(o)) return l->text();
  if (auto* b = qobject_cast<QAbstractButton*>(o)) return b->text();
  if (auto* a = qobject_cast<QAction*>(o)) return a->text();
  return QStringLiteral("<no control %1>").arg(name);
}

TEST(LanguageStore, MissingFilesLeaveEnglishAndEmptyTexts) {
  testsupport::TempFolder folder("fq-gui");
  LanguageStore texts(folder.path().string(), (folder / "user.ini").string());
  EXPECT_EQ(texts.currentLanguage(), "English");
  EXPECT_TRUE(texts.languages().empty());
  EXPECT_EQ(texts.text("Messages", "MSG0301"), QString());
  // Windows keep their own texts.
  CMessageBox box(texts, kError, {}, QStringLiteral("body"), nullptr);
  EXPECT_EQ(textOf(&box, "okbtn"), QStringLiteral("OK"));
  EXPECT_EQ(textOf(&box, "title"), QString());
}

TEST(LanguageStore, TestLanguageReachesEveryWindow) {
  testsupport::TempFolder folder("fq-gui");
  writeProgramFolder(folder.path());
  LanguageStore texts(folder.path().string(), (folder / "user.ini").string());
  ASSERT_EQ(texts.currentLanguage(), "Test");
  ASSERT_EQ(texts.languages().size(), 2u);
  EXPECT_EQ(texts.languages()[0].second, "Test texts");

  test::ScriptedDialogs dialogs;
  WorkFolders work(folder / "data");
  BackupStore store(work, folder / "data/backups");
  CMainWnd main(texts, dialogs, store);
  EXPECT_EQ(textOf(&main, "LblProductName"), QStringLiteral("T-product"));
  EXPECT_EQ(textOf(&main, "TxtBackupFile1"), QStringLiteral("T-backup-option"));
  EXPECT_EQ(textOf(&main, "BtnScan"), QStringLiteral("T-scan"));
  EXPECT_EQ(textOf(&main, "BtnHome"), QStringLiteral("T-home"));
  EXPECT_EQ(textOf(&main, "item_help"), QStringLiteral("T-help"));
  auto* list = main.findChild<QTreeView*>("BackupFileList");
  EXPECT_EQ(list->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("T-name"));
  // Markup in a text is shown as it is written, never interpreted.
  auto* connect = main.findChild<QLabel*>("LblDesc4");
  EXPECT_EQ(connect->textFormat(), Qt::PlainText);
  EXPECT_EQ(connect->text(), QStringLiteral("<b>T-connect</b>"));

  CMessageBox box(texts, kQuestion, {}, QStringLiteral("body"), nullptr);
  EXPECT_EQ(textOf(&box, "okbtn"), QStringLiteral("T-ok"));
  EXPECT_EQ(textOf(&box, "cancelbtn"), QStringLiteral("T-cancel"));
  EXPECT_EQ(textOf(&box, "title"), QStringLiteral("T-question"));

  CDecryptionWnd password(texts, 1, nullptr);
  EXPECT_EQ(textOf(&password, "LblPassword"), QStringLiteral("T-password"));
  EXPECT_EQ(textOf(&password, "Description"), QStringLiteral("T-describe-backup"));
}

TEST(LanguageStore, ChoiceIsKeptInTheUsersConfigAndReappliedOn1030) {
  testsupport::TempFolder folder("fq-gui");
  writeProgramFolder(folder.path());
  const auto user = folder / "config/fernquill/config.ini";
  LanguageStore texts(folder.path().string(), user.string());
  test::ScriptedDialogs dialogs;
  WorkFolders work(folder / "data");
  BackupStore store(work, folder / "data/backups");
  CMainWnd main(texts, dialogs, store);

  ASSERT_TRUE(texts.setLanguage("Other"));
  EXPECT_EQ(textOf(&main, "LblProductName"), QStringLiteral("T-product"));  // not before 1030
  main.postEvent(kMsgLanguageChanged, 0);
  QCoreApplication::sendPostedEvents(&main);
  EXPECT_EQ(textOf(&main, "LblProductName"), QStringLiteral("O-product"));

  // The program's own config.ini is never written; the user's is read first.
  EXPECT_EQ(IniFile::Load((folder / "config.ini").string()).value("DefaultLanguage", "Default"), "Test");
  EXPECT_EQ(IniFile::Load(user.string()).value("DefaultLanguage", "Default"), "Other");
  EXPECT_EQ(LanguageStore(folder.path().string(), user.string()).currentLanguage(), "Other");
}

TEST(LanguageStore, NamesThatLeaveTheLanguagesFolderAreRefused) {
  testsupport::TempFolder folder("fq-gui");
  writeProgramFolder(folder.path());
  test::writeText(folder / "user.ini", "[DefaultLanguage]\nDefault=../../etc/passwd\n");
  LanguageStore texts(folder.path().string(), (folder / "user.ini").string());
  EXPECT_EQ(texts.currentLanguage(), "Test");
  EXPECT_FALSE(texts.setLanguage("../Test"));
  EXPECT_EQ(texts.currentLanguage(), "Test");
}

}  // namespace
}  // namespace fq::app
