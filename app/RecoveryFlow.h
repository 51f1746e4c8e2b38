#pragma once
// What "Recover" does: asks for the output folder until it is one the data
// may go to, loads the report templates, then runs the recovery window.
#include <QString>
#include <filesystem>
#include <string>

#include "app/CRecoverProcessWnd.h"
#include "app/OutputFolderCheck.h"

class QWidget;

namespace fq::app {

class DialogHost;
class LanguageStore;

struct RecoveryFlowInput {
  RecoveryInput recovery;
  std::string sourceName;                // the backup's or the device's name, in the reports' titles
  std::filesystem::path templateFolder;  // usually ProgramFolder() / "template"
  ProtectedFolders protectedFolders;
};

// The folder picker, titled MSG0509, again after each refusal; empty when the
// user closed it.
QString PickOutputFolder(QWidget* owner, const LanguageStore& texts, DialogHost& dialogs,
                         const ProtectedFolders& folders);

// The whole of it: 1 finished, 2 cancelled, no folder chosen, or the templates failed.
int RunRecoveryFlow(QWidget* owner, const LanguageStore& texts, DialogHost& dialogs,
                    const RecoveryFlowInput& input);

}  // namespace fq::app
