// The windowed program: one per user, crash reports on, the main window over
// the backups of the user's application data.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <filesystem>
#include <memory>

#include "app/Application.h"
#include "app/CMainWnd.h"
#include "app/CMessageBox.h"
#include "app/CrashReport.h"
#include "app/DialogHost.h"
#include "app/LanguageStore.h"
#include "app/ModalDialogs.h"
#include "app/PreviewFiles.h"
#include "app/SingleInstance.h"
#include "app/StartFolder.h"
#include "app/UserConfig.h"
#include "engine/backup/BackupDiscovery.h"
#include "engine/platform/AppDataFolder.h"
#include "engine/platform/ProgramFolder.h"
#include "engine/session/BackupStore.h"
#include "engine/session/WorkFolders.h"

int main(int argc, char** argv) {
  // The skins live in a static library: its resources are registered by hand.
  Q_INIT_RESOURCE(skins);
  fq::app::InstallCrashReport();
  fq::app::Application app(argc, argv);
  app.setApplicationName(QStringLiteral("Fernquill"));
  // A skins folder beside the program overrides the packed skin file by file.
  QDir::setSearchPaths(QStringLiteral("skin"), {QFile::decodeName((fq::ProgramFolder() / "skins").c_str()),
                                                QStringLiteral(":/skins")});
  QFile style(QStringLiteral("skin:skin.qss"));
  if (style.open(QIODevice::ReadOnly)) app.setStyleSheet(QString::fromUtf8(style.readAll()));

  fq::app::LanguageStore texts(fq::ProgramFolder().string(), fq::app::UserConfigPath());
  fq::app::ModalDialogs dialogs(texts);

  QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (runtime.isEmpty()) runtime = QDir::tempPath();
  fq::app::SingleInstance instance(runtime);
  switch (instance.claim()) {
    case fq::app::SingleInstance::Outcome::First:
      break;
    case fq::app::SingleInstance::Outcome::Raised:
      return 0;
    case fq::app::SingleInstance::Outcome::NoAnswer:
      dialogs.messageBox(nullptr, fq::app::kInformation, {}, QStringLiteral("Fernquill is running."),
                         QSize(350, 150));
      return 0;
  }

  // The store outlives the window: the scan that reads it belongs to the window.
  fq::WorkFolders folders(fq::RoamingAppDataFolder());
  const QStringList arguments = QCoreApplication::arguments();
  const std::filesystem::path given = arguments.size() > 1 ? arguments.at(1).toStdString() : std::string();
  fq::BackupStore store(folders, fq::app::ChooseBackupRoot(given, fq::BackupRoot(folders.appDataFolder())));
  int result = 0;
  {
    fq::app::CMainWnd window(texts, dialogs, store);
    QObject::connect(&instance, &fq::app::SingleInstance::raiseRequested, &window, [&window] {
      window.showNormal();
      window.raise();
      window.activateWindow();
    });
    window.show();
    // "fernquill FOLDER", as a file manager's "Open with" passes a backup
    // folder: that backup is scanned; a folder of backups is only listed.
    fq::BackupInfo givenBackup;
    if (!given.empty() && fq::ReadBackupFolder(given, givenBackup) == 0)
      window.openBackupFolder(arguments.at(1));
    result = app.exec();
  }
  fq::app::DeletePreviewFiles(folders.workFolder());
  return result;
}
