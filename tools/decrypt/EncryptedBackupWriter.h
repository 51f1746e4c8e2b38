#pragma once
// Writes a complete encrypted backup from plain files, as a phone's sync
// would: fresh class keys wrapped under the password key in a BackupKeyBag,
// every file AES-256-CBC under its own wrapped key, and the index of either
// era (Manifest.db encrypted under ManifestKey, or Manifest.mbdb in the
// clear with the wrapped keys in its records). For tests and the backup
// builder; small iteration counts keep them fast. A builder with its own
// manifest writer can use BackupKeySet directly to seal each file.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace fq::decrypt {

struct PlainFile {
  std::string domain;
  std::string relativePath;
  std::vector<uint8_t> bytes;
  uint32_t protectionClass = 3;
  // The size the index records; the real size when empty. A wrong one lets a
  // test check that the content is never cut to it.
  std::optional<uint64_t> recordedSize;
};

enum class BackupEra {
  ManifestDb,       // iOS 10.2 and later: DPSL/DPIC in the keybag, Manifest.db encrypted
  ManifestDbClear,  // iOS 10.0 and 10.1: Manifest.db in the clear, one PBKDF2-HMAC-SHA1 pass
  ManifestMbdb,     // before iOS 10: Manifest.mbdb, one PBKDF2-HMAC-SHA1 pass
};

struct EncryptedBackupOptions {
  BackupEra era = BackupEra::ManifestDb;
  std::string password;
  uint32_t iterations = 10;    // ITER; phones use 10,000
  uint32_t dpIterations = 10;  // DPIC; phones use 10,000,000
  std::string productVersion = "14.2";
  std::string deviceName = "Test iPhone";
  std::string serialNumber = "F00TESTSERIAL";
};

// 0 written; 87 bad arguments or a failed write (errno text in `error`).
int32_t WriteEncryptedBackup(const std::filesystem::path& folder, std::span<const PlainFile> files,
                             const EncryptedBackupOptions& options, std::string* error = nullptr);

}  // namespace fq::decrypt
