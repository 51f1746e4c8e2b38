#pragma once
// Decrypts a whole encrypted backup into a folder of our own: every stored
// file flat under its file id, and Manifest.db (when the backup has one) as
// "Manifest.db-decypted". The backup folder itself is only read.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace fq::decrypt {

struct DecryptOptions {
  std::filesystem::path backupFolder;
  std::filesystem::path outputFolder;
  std::string password;
  unsigned workers = 2;  // files decrypted in parallel
};

enum class DecryptStatus { Done = 0, Failed = 1, WrongPassword = 2 };

// Receives the output lines: "Count: N" (files done so far), "Wrong password",
// "Warning: ..." for a file that could not be decrypted exactly, "Error: ..."
// for what stopped the run. Called from one thread at a time.
using LineSink = std::function<void(const std::string& line)>;

DecryptStatus DecryptBackup(const DecryptOptions& options, const LineSink& emit);

inline constexpr const char* kDecryptedManifestName = "Manifest.db-decypted";

}  // namespace fq::decrypt
