// The recovery window and the steps before it, over the demo backup scanned by
// a ScanSession: counts, failed rows, cancel, missing templates, and the
// folders the data must not go to.
#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "FinishWhenDone.h"
#include "GatedRecovery.h"
#include "GuiFixtures.h"
#include "ScannedDemo.h"
#include "ScriptedDialogs.h"
#include "app/LanguageStore.h"
#include "app/RecoveryFlow.h"
#include "app/RecoveryRowsModel.h"
#include "app/WindowTexts.h"
#include "engine/session/CleanUp.h"
#include "tests/support/FolderSnapshot.h"

namespace fq::app {
namespace {

namespace fs = std::filesystem;

// Scripted answers that also open the gate when the question is asked.
class GateOpeningDialogs : public test::ScriptedDialogs {
 public:
  explicit GateOpeningDialogs(test::GatedRecovery& gate) : m_gate(gate) {}
  int messageBox(QWidget* owner, int kind, const QString& title, const QString& text, QSize size) override {
    m_gate.open();
    return ScriptedDialogs::messageBox(owner, kind, title, text, size);
  }

 private:
  test::GatedRecovery& m_gate;
};

class RecoveryWindow : public testing::Test {
 protected:
  void SetUp() override {
    test::writeProgramFolder(m_program.path());
    ASSERT_TRUE(demo.scan());
    out = m_program.path() / "out";
    fs::create_directories(out);
  }
  LanguageStore texts() const {
    return LanguageStore(m_program.path().string(), (m_program.path() / "user.ini").string());
  }
  RecoveryFlowInput flowInput(const fs::path& templates = fs::path(FERNQUILL_BIN_DIR) / "template") {
    return {
        {demo.results(), demo.statistics, demo.recovery(), {}}, "Demo iPhone", templates, protectedFolders()};
  }
  ProtectedFolders protectedFolders() const { return ProtectedFoldersOf(demo.backup, *demo.folders); }
  ReportTemplates templates() const {
    ReportTemplates t;
    EXPECT_EQ(LoadReportTemplates(fs::path(FERNQUILL_BIN_DIR) / "template", "Demo iPhone", t), 0);
    return t;
  }
  // Clicks FinishBtn once the window shows it.
  static void finishWhenDone(CRecoverProcessWnd& window) {
    auto* poll = new QTimer(&window);
    QObject::connect(poll, &QTimer::timeout, &window, [&window] {
      auto* finish = window.findChild<QPushButton*>("FinishBtn");
      if (finish && finish->isVisible()) QTest::mouseClick(finish, Qt::LeftButton);
    });
    poll->start(20);
  }
  size_t itemCount() const { return demo.statistics.RecoveryItems().size(); }

  testsupport::TempFolder m_program{"fq-recover-window"};
  test::ScannedDemo demo;
  fs::path out;
};

TEST_F(RecoveryWindow, AFinishedRunShowsItsCountsRowsAndWhereTheOutputIs) {
  const LanguageStore store = texts();
  test::ScriptedDialogs dialogs;
  CRecoverProcessWnd window(store, dialogs, out, {demo.results(), demo.statistics, demo.recovery(), {}},
                            templates(), nullptr);
  EXPECT_EQ(window.size(), QSize(550, 250));
  finishWhenDone(window);
  ASSERT_EQ(window.runRecovery(), kResultOk);

  const RecoveryProgress p = window.job().Progress();
  ASSERT_GT(itemCount(), 10u);
  // The total is what the job writes: it ends equal to what was processed.
  EXPECT_EQ(p.total, itemCount());
  EXPECT_EQ(p.processed, p.total);
  EXPECT_EQ(p.failed, 0u);
  const QString n = QString::number(p.total);
  EXPECT_EQ(window.findChild<QLabel*>("recovered")->text(),
            QString("%1 of %1 items done: %1 recovered, 0 failed").arg(n));
  EXPECT_EQ(window.findChild<QLabel*>("percent")->text(), "Recovering the selected data... 100%");
  EXPECT_EQ(window.findChild<QProgressBar*>("OverallProgress")->value(), 100);
  EXPECT_EQ(window.findChild<QLabel*>("LblOutputFolder")->toolTip(),
            "The recovered data is in " + QString::fromStdString(out.string()));
  EXPECT_EQ(static_cast<size_t>(window.rows().rowCount()), window.job().RowCount());
  EXPECT_TRUE(fs::is_regular_file(out / "index.html"));

  // Open shows the run's index page through the desktop.
  QTest::mouseClick(window.findChild<QPushButton*>("OpenBtn"), Qt::LeftButton);
  ASSERT_EQ(dialogs.urls.size(), 1u);
  EXPECT_EQ(dialogs.urls[0],
            QUrl::fromLocalFile(QString::fromStdString((out / "index.html").string())).toString());
}

TEST_F(RecoveryWindow, FailedItemsAreListedOnTopInTheErrorColour) {
  // A stored file gone from the backup, and a file where the contacts' folder must go.
  const fs::path stored = demo.results().cameraRoll.at(0).path;
  ASSERT_TRUE(fs::remove(stored)) << stored;
  test::writeText(out / "Contacts", "in the way");

  const LanguageStore store = texts();
  test::ScriptedDialogs dialogs;
  CRecoverProcessWnd window(store, dialogs, out, {demo.results(), demo.statistics, demo.recovery(), {}},
                            templates(), nullptr);
  QTimer::singleShot(0, &window, [&window] {
    QTest::mouseClick(window.findChild<QPushButton*>("DetailBtn"), Qt::LeftButton);
  });
  finishWhenDone(window);
  ASSERT_EQ(window.runRecovery(), kResultOk);
  EXPECT_TRUE(window.detailsShown());
  EXPECT_EQ(window.size(), QSize(700, 550));

  const auto& rows = window.rows();
  const int failed = rows.failedCount();
  EXPECT_GE(failed, 2);
  const RecoveryProgress p = window.job().Progress();
  EXPECT_EQ(static_cast<uint32_t>(failed), p.failed + p.otherFailures);
  EXPECT_EQ(p.processed, p.total);
  ASSERT_GT(rows.rowCount(), failed);
  bool sawPhoto = false;
  for (int r = 0; r < rows.rowCount(); ++r) {
    const QString status = rows.index(r, 1).data().toString();
    const bool colour = rows.index(r, 0).data(Qt::ForegroundRole).isValid();
    EXPECT_EQ(status != "Success", r < failed) << r << " " << status.toStdString();
    EXPECT_EQ(colour, r < failed) << r;
    if (rows.index(r, 0).data().toString().endsWith(
            QString::fromStdString(demo.results().cameraRoll[0].name)))
      sawPhoto = r < failed;
  }
  EXPECT_TRUE(sawPhoto);
}

TEST_F(RecoveryWindow, DetailsGrowTheWindowWithoutPushingItOffTheScreen) {
  const LanguageStore store = texts();
  test::ScriptedDialogs dialogs;
  CRecoverProcessWnd window(store, dialogs, out, {demo.results(), demo.statistics, demo.recovery(), {}},
                            templates(), nullptr);
  QRect room;
  QTimer::singleShot(0, &window, [&window, &room] {
    // Placed low and right, as a centred window stands on a small screen.
    room = window.screen()->availableGeometry();
    window.move(room.right() + 1 - window.width(), room.bottom() + 1 - window.height());
    QTest::mouseClick(window.findChild<QPushButton*>("DetailBtn"), Qt::LeftButton);
  });
  finishWhenDone(window);
  ASSERT_EQ(window.runRecovery(), kResultOk);
  EXPECT_EQ(window.size(), QSize(700, 550));
  EXPECT_TRUE(room.contains(window.frameGeometry()))
      << window.frameGeometry().x() << "," << window.frameGeometry().y();
}

TEST_F(RecoveryWindow, CancelAsksAndOnlyYesStopsIt) {
  struct Case {
    const char* name;
    const char* how;  // CancelBtn, closebtn or Escape
    int answer;
    int result;
  };
  const Case cases[] = {{"no goes on", "CancelBtn", kResultCancel, kResultOk},
                        {"yes stops", "CancelBtn", kResultOk, kResultCancel},
                        {"closebtn, yes", "closebtn", kResultOk, kResultCancel},
                        {"Escape, yes", "Escape", kResultOk, kResultCancel}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path root = out / c.name;
    fs::create_directories(root);
    const LanguageStore store = texts();
    test::GatedRecovery gated(demo.recovery());
    GateOpeningDialogs dialogs(gated);
    dialogs.boxAnswers = {c.answer};
    CRecoverProcessWnd window(store, dialogs, root, {demo.results(), demo.statistics, gated, {}}, templates(),
                              nullptr);
    const std::string how = c.how;
    QTimer::singleShot(0, &window, [&window, how] {
      if (how == "Escape") {
        QTest::keyClick(&window, Qt::Key_Escape);
      } else if (how == "closebtn") {
        QTest::mouseClick(window.findChild<QToolButton*>("closebtn"), Qt::LeftButton);
      } else {
        QTest::mouseClick(window.findChild<QPushButton*>("CancelBtn"), Qt::LeftButton);
      }
    });
    finishWhenDone(window);
    EXPECT_EQ(window.runRecovery(), c.result);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].kind, kQuestion);
    EXPECT_EQ(dialogs.boxes[0].text, "Do you want to stop the recovery?");
    EXPECT_EQ(dialogs.boxes[0].size, QSize(550, 200));
    EXPECT_TRUE(window.job().IsFinished());
    const RecoveryProgress p = window.job().Progress();
    EXPECT_EQ(p.cancelled, c.result == kResultCancel);
    if (c.result == kResultOk) {
      EXPECT_EQ(p.processed, p.total);
    } else {
      EXPECT_LT(p.processed, p.total);
    }
    // Once the window has closed nothing more is written.
    const auto before = testsupport::SnapshotFolder(root);
    QTest::qWait(150);
    EXPECT_EQ(testsupport::SnapshotFolder(root), before);
  }
}

TEST_F(RecoveryWindow, AMissingTemplateStopsBeforeAnythingIsWritten) {
  const LanguageStore store = texts();
  test::ScriptedDialogs dialogs;
  dialogs.folderAnswers = {QString::fromStdString(out.string())};
  testsupport::TempFolder emptyTemplates{"fq-no-templates"};
  EXPECT_EQ(RunRecoveryFlow(nullptr, store, dialogs, flowInput(emptyTemplates.path())), kResultCancel);
  ASSERT_EQ(dialogs.pickerTitles.size(), 1u);
  EXPECT_EQ(dialogs.pickerTitles[0], "Choose a folder for the recovered data");
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].kind, kError);
  EXPECT_EQ(dialogs.boxes[0].text, MessageText(store, "MSG1104"));
  EXPECT_EQ(dialogs.boxes[0].size, QSize(500, 200));
  EXPECT_TRUE(fs::is_empty(out));
}

TEST_F(RecoveryWindow, FoldersTheDataMustNotGoToAreRefusedWithTheReason) {
  const ProtectedFolders folders = protectedFolders();
  // With room enough the temporary backup folder lies inside the work folder: its own reason wins.
  ASSERT_TRUE(IsInsideFolder(folders.tempBackupFolder, folders.workFolder));
  fs::create_directories(folders.workFolder / "previews");
  fs::create_directories(folders.tempBackupFolder / "backup");
  fs::create_directories(demo.backup / "inside");
  fs::create_symlink(demo.backup, m_program.path() / "link-to-backup");
  test::writeText(m_program.path() / "a-file", "x");
  struct Case {
    const char* name;
    fs::path folder;
    OutputFolderProblem problem;
  };
  const Case cases[] = {
      {"the backup", demo.backup, OutputFolderProblem::IsTheBackup},
      {"the backup, trailing slash", demo.backup.string() + "/", OutputFolderProblem::IsTheBackup},
      {"a link to the backup", m_program.path() / "link-to-backup", OutputFolderProblem::IsTheBackup},
      {"inside the backup", demo.backup / "inside", OutputFolderProblem::InsideTheBackup},
      {"the work folder", folders.workFolder, OutputFolderProblem::InsideWorkFolder},
      {"inside the work folder", folders.workFolder / "previews", OutputFolderProblem::InsideWorkFolder},
      {"inside the temporary backup folder", folders.tempBackupFolder / "backup",
       OutputFolderProblem::InsideTempBackupFolder},
      {"a file", m_program.path() / "a-file", OutputFolderProblem::NotWritable},
      {"a folder that is not there", m_program.path() / "missing", OutputFolderProblem::NotWritable},
      {"a good folder", out, OutputFolderProblem::None},
      {"the folder holding the backup", demo.backup.parent_path(), OutputFolderProblem::None},
  };
  const LanguageStore store = texts();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CheckOutputFolder(c.folder, folders), c.problem);
    // The picker comes again after a refusal, with the reason in between.
    test::ScriptedDialogs dialogs;
    const QString good = QString::fromStdString(out.string());
    dialogs.folderAnswers = {QString::fromStdString(c.folder.string()), good};
    const QString chosen = PickOutputFolder(nullptr, store, dialogs, folders);
    if (c.problem == OutputFolderProblem::None) {
      EXPECT_EQ(chosen.toStdString(), c.folder.string());
      EXPECT_TRUE(dialogs.boxes.empty());
      continue;
    }
    EXPECT_EQ(chosen, good);
    EXPECT_EQ(dialogs.pickerTitles.size(), 2u);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].kind, kWarning);
    EXPECT_EQ(dialogs.boxes[0].text, MessageText(store, OutputFolderProblemKey(c.problem)));
  }
  // No probe file is left behind.
  EXPECT_TRUE(fs::is_empty(out));
}

TEST_F(RecoveryWindow, TheFlowRecoversIntoTheChosenFolder) {
  const LanguageStore store = texts();
  test::ScriptedDialogs dialogs;
  dialogs.folderAnswers = {QString::fromStdString(out.string()) + "/"};
  {
    test::FinishWhenDone finish;
    EXPECT_EQ(RunRecoveryFlow(nullptr, store, dialogs, flowInput()), kResultOk);
  }
  EXPECT_TRUE(dialogs.boxes.empty());
  EXPECT_TRUE(fs::is_regular_file(out / "index.html"));
  EXPECT_TRUE(fs::is_directory(out / "Camera Roll"));
}

}  // namespace
}  // namespace fq::app
