#pragma once
// Runs the decrypt tool on an encrypted backup and follows its progress.
// The tool writes decrypted copies, named by file id, and the decrypted
// manifest "Manifest.db-decypted" into the decrypted folder; it never writes
// into the user's backup folder.
#include <cstdint>
#include <filesystem>
#include <string>

#include "engine/ProgressCallback.h"

namespace fq {

struct DecryptToolRequest {
  std::filesystem::path toolPath;         // the "tool" program beside fernquill-cli
  std::filesystem::path backupFolder;     // the encrypted backup, only read
  std::filesystem::path decryptedFolder;  // created when missing
  std::string password;                   // handed over on the tool's standard input
  int64_t fileCount = 1;                  // files of the backup, for progress
  ProgressCallback progress;              // may be empty
  int32_t* progressCurrent = nullptr;     // the session's percent so far (in/out)
  int32_t step = 10;                      // percent points the decryption is worth
};

// 0 done; -110 wrong password; 87 the tool could not be started or ended with
// a failure; or the non-zero answer of the progress callback that stopped the
// run (the tool is then terminated).
int32_t RunDecryptTool(const DecryptToolRequest& request);

}  // namespace fq
