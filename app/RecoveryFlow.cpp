#include "app/RecoveryFlow.h"

#include <QSize>

#include "app/DialogHost.h"
#include "app/LanguageStore.h"
#include "app/WindowTexts.h"
#include "output/ReportTemplates.h"

namespace fq::app {

QString PickOutputFolder(QWidget* owner, const LanguageStore& texts, DialogHost& dialogs,
                         const ProtectedFolders& folders) {
  const QString title = MessageText(texts, "MSG0509");
  for (;;) {
    QString chosen = dialogs.pickFolder(owner, title);
    if (chosen.isEmpty()) return {};
    const OutputFolderProblem problem = CheckOutputFolder(chosen.toStdString(), folders);
    if (problem == OutputFolderProblem::None) return chosen;
    dialogs.messageBox(owner, kWarning, {}, MessageText(texts, OutputFolderProblemKey(problem)),
                       QSize(550, 200));
  }
}

int RunRecoveryFlow(QWidget* owner, const LanguageStore& texts, DialogHost& dialogs,
                    const RecoveryFlowInput& input) {
  QString folder = PickOutputFolder(owner, texts, dialogs, input.protectedFolders);
  if (folder.isEmpty()) return kResultCancel;
  while (folder.size() > 1 && folder.endsWith('/')) folder.chop(1);

  ReportTemplates templates;
  if (LoadReportTemplates(input.templateFolder, input.sourceName, templates) != 0) {
    dialogs.messageBox(owner, kError, {}, MessageText(texts, "MSG1104"), QSize(500, 200));
    return kResultCancel;
  }
  CRecoverProcessWnd window(texts, dialogs, folder.toStdString(), input.recovery, std::move(templates),
                            owner);
  return window.runRecovery();
}

}  // namespace fq::app
