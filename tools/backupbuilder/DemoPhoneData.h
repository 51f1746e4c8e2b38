#pragma once
// The demo backup's phone databases: messages, contacts, calls, notes and
// WhatsApp chats, each with some rows deleted so the scan finds them in free space.
#include <optional>
#include <string>

#include "tools/backupbuilder/BackupBuilder.h"
#include "tools/backupbuilder/RealPhoneLayouts.h"

namespace fq::builder {

// Adds the five databases to `b`. False with a message in `error` when one
// cannot be built.
bool AddDemoPhoneDatabases(BackupBuilder& b, std::string* error = nullptr);
// The same phone data in the layouts a real phone of `system` writes (none:
// the demo's own layouts). iOS 8 keeps its calls in call_history.db; later
// systems have no legacy notes database.
bool AddDemoPhoneDatabases(BackupBuilder& b, std::optional<PhoneSystem> system, std::string* error = nullptr);

}  // namespace fq::builder
