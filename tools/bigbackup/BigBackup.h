#pragma once
// A heavy user's phone as a backup, scaled by its message count: at 200,000
// messages it holds 20,000 calls, 5,000 contacts, 50,000 photos and a
// manifest of about 150,000 entries. A fifth of every table's rows are
// deleted, so their bytes lie in free space for the carver.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "tools/backupbuilder/BackupBuilder.h"
#include "tools/backupbuilder/RealPhoneLayouts.h"

namespace fq::builder {

struct BigBackupScale {
  int64_t messages = 200000;
  // The layouts of a real phone's system; none: the demo's own layouts.
  std::optional<PhoneSystem> system;
  int64_t calls() const { return messages / 10; }
  int64_t contacts() const { return messages / 40; }
  int64_t photos() const { return messages / 4; }
  int64_t notes() const { return messages / 100; }
  int64_t whatsAppMessages() const { return messages / 4; }
  // Manifest entries in all, of which the photos, databases and their
  // folders are a part; the rest are small application files.
  int64_t manifestEntries() const { return messages * 3 / 4; }
};

// The backup's content, ready to be written. False with a message in `error`
// when a database cannot be built.
bool BuildBigBackup(const BigBackupScale& scale, BackupBuilder& out, std::string* error);

// Writes it into `folder`; with a non-empty `password`, as an encrypted
// backup under that password (with the phone's iteration counts when
// `phoneIterations`, otherwise small ones).
bool WriteBigBackup(const std::filesystem::path& folder, const BigBackupScale& scale,
                    const std::string& password, bool phoneIterations, std::string* error);

}  // namespace fq::builder
