#include "app/OutputFolderCheck.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <system_error>

#include "engine/session/CleanUp.h"

namespace fq::app {
namespace {

namespace fs = std::filesystem;

bool SameFolder(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  const auto left = fs::weakly_canonical(a, ec);
  if (ec) return false;
  const auto right = fs::weakly_canonical(b, ec);
  return !ec && left == right;
}

bool AtOrInside(const fs::path& chosen, const fs::path& folder) {
  return !folder.empty() && (SameFolder(chosen, folder) || IsInsideFolder(chosen, folder));
}

// A real write, since permission bits say nothing for root or on some mounts.
bool CanWriteInto(const fs::path& folder) {
  std::string probe = (folder / ".fernquill-write-test-XXXXXX").string();
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

}  // namespace

ProtectedFolders ProtectedFoldersOf(const fs::path& backup, WorkFolders& folders) {
  return {backup, folders.workFolder(), folders.TempBackupFolder()};
}

OutputFolderProblem CheckOutputFolder(const fs::path& chosen, const ProtectedFolders& folders) {
  if (!folders.backup.empty()) {
    if (SameFolder(chosen, folders.backup)) return OutputFolderProblem::IsTheBackup;
    if (IsInsideFolder(chosen, folders.backup)) return OutputFolderProblem::InsideTheBackup;
  }
  // The temporary backup folder may lie inside the work folder: its own reason first.
  if (AtOrInside(chosen, folders.tempBackupFolder)) return OutputFolderProblem::InsideTempBackupFolder;
  if (AtOrInside(chosen, folders.workFolder)) return OutputFolderProblem::InsideWorkFolder;
  std::error_code ec;
  if (!fs::is_directory(chosen, ec) || !CanWriteInto(chosen)) return OutputFolderProblem::NotWritable;
  return OutputFolderProblem::None;
}

const char* OutputFolderProblemKey(OutputFolderProblem problem) {
  switch (problem) {
    case OutputFolderProblem::None:
      return "";
    case OutputFolderProblem::IsTheBackup:
      return "MSG1105";
    case OutputFolderProblem::InsideTheBackup:
      return "MSG1106";
    case OutputFolderProblem::InsideWorkFolder:
      return "MSG1107";
    case OutputFolderProblem::InsideTempBackupFolder:
      return "MSG1108";
    case OutputFolderProblem::NotWritable:
      return "MSG1109";
  }
  return "";
}

}  // namespace fq::app
