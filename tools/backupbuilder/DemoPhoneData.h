#pragma once
// The demo backup's phone databases: messages, contacts, calls, notes and
// WhatsApp chats, each with some rows deleted so the scan finds them in free space.
#include <string>

#include "tools/backupbuilder/BackupBuilder.h"

namespace fq::builder {

// Adds the five databases to `b`. False with a message in `error` when one
// cannot be built.
bool AddDemoPhoneDatabases(BackupBuilder& b, std::string* error = nullptr);

}  // namespace fq::builder
