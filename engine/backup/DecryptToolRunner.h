#pragma once
// Runs the decrypt tool on an encrypted backup and follows its progress.
// The tool writes decrypted copies, named by file id, and the decrypted
// manifest "Manifest.db-decypted" into the decrypted folder; it never writes
// into the user's backup folder.
#include <cstdint>
#include <filesystem>
#include <string>

#include "engine/ProgressState.h"

namespace fq {

struct DecryptToolRequest {
  std::filesystem::path toolPath;         // the "tool" program beside fernquill-cli
  std::filesystem::path backupFolder;     // the encrypted backup, only read
  std::filesystem::path decryptedFolder;  // created when missing
  std::string password;                   // handed over on the tool's standard input
  int64_t fileCount = 1;                  // files of the backup, for progress
};

struct DecryptToolResult {
  // 0 done; -110 wrong password; 87 the tool could not be started or ended
  // with a failure; or the non-zero answer of the progress callback that
  // stopped the run (the tool is then terminated).
  int32_t code = 0;
  // For 87, what went wrong in words, with the tool's own "Error:" text when it gave one.
  std::string reason;
};

// Reports from the session's percent so far up to one step more (the session
// grows its percent itself once the manifest is read); the first "Count:"
// line raises a percent of 0 to 1.
DecryptToolResult RunDecryptTool(const DecryptToolRequest& request, ProgressState& progress);

}  // namespace fq
