#pragma once
// Whether a folder chosen for recovered data may take it: never the backup
// being read nor a folder inside it (the user's backup is only ever read), never
// inside the work folder or the temporary backup folder (their clean-up would
// delete what was recovered), and only a folder that can be written.
#include <filesystem>

#include "engine/session/WorkFolders.h"

namespace fq::app {

enum class OutputFolderProblem {
  None,
  IsTheBackup,
  InsideTheBackup,
  InsideWorkFolder,
  InsideTempBackupFolder,
  NotWritable,
};

// The program's folders an output folder must keep out of; empty ones are not checked.
struct ProtectedFolders {
  std::filesystem::path backup;  // the backup being read (or the device's fresh backup)
  std::filesystem::path workFolder;
  std::filesystem::path tempBackupFolder;
};

// The backup being read and this run's own folders (the temporary backup
// folder is chosen, and made, if it was not yet).
ProtectedFolders ProtectedFoldersOf(const std::filesystem::path& backup, WorkFolders& folders);

// The first problem of `chosen`, in the order of the enum. Writing is tried
// with a probe file that is removed again.
OutputFolderProblem CheckOutputFolder(const std::filesystem::path& chosen, const ProtectedFolders& folders);

// The key of the sentence saying why, in the "Messages" section of the language file.
const char* OutputFolderProblemKey(OutputFolderProblem problem);

}  // namespace fq::app
