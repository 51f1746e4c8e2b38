#pragma once
// The phone's databases in the layouts real phones of a given system version
// write: the column names and positions of each table as seen on iOS 8, 13,
// 14 and 17, every row written by column name. Rows take the same values as
// the demo's layouts (PhoneDatabases.h); columns the rows do not name are NULL.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/backupbuilder/PhoneDatabases.h"

namespace fq::builder {

enum class PhoneSystem { Ios8, Ios13, Ios14, Ios17 };

// 8, 13, 14 or 17; none for any other major version.
std::optional<PhoneSystem> PhoneSystemOf(int majorVersion);
// "8.4.1", "13.7", "14.8", "17.3" as Info.plist states it.
std::string ProductVersionOf(PhoneSystem system);

// --- sms.db: message, handle, attachment and their joins
std::vector<std::string> RealMessageTables(PhoneSystem system);
std::string RealInsertMessage(PhoneSystem system, const MessageRow& row);
std::string RealInsertHandle(PhoneSystem system, int64_t rowId, const std::string& address);
std::string RealInsertAttachment(PhoneSystem system, int64_t rowId, const std::string& guid,
                                 const std::string& fileName);
std::string RealInsertAttachmentLink(int64_t messageRowId, int64_t attachmentRowId);
std::string RealInsertChatLink(int64_t chatRowId, int64_t messageRowId, int64_t messageDate);

// --- AddressBook.sqlitedb: the full-text content table, ABPerson and ABMultiValue
std::vector<std::string> RealContactTables(PhoneSystem system);
// The person's rows: content, person and one multi-value row for each number
// given in `numbers` (as the phone shows them).
std::vector<std::string> RealInsertContact(PhoneSystem system, const ContactRow& row,
                                           const std::vector<std::string>& numbers);

// --- call history: `call` in call_history.db (iOS 8), ZCALLRECORD in
// CallHistory.storedata (later systems)
bool UsesOlderCallTable(PhoneSystem system);
std::string RealCallTable(PhoneSystem system);
// ZCALLRECORD rows with an even row id keep the number as a blob of its UTF-8
// bytes, as newer systems do for some calls.
std::string RealInsertCall(PhoneSystem system, const CallRow& row);

// --- notes.sqlite (iOS 8 only; later systems keep notes elsewhere)
bool HasLegacyNotes(PhoneSystem system);
std::vector<std::string> RealNoteTables();
std::string RealInsertNote(int64_t rowId, int64_t bodyRowId, double appleSeconds,
                           const std::optional<std::string>& title);
std::string RealInsertNoteBody(int64_t rowId, int64_t noteRowId, const std::optional<std::string>& content);

// --- ChatStorage.sqlite
std::vector<std::string> RealWhatsAppTables(PhoneSystem system);
// `stanzaId` identifies the message across its versions.
std::string RealInsertWhatsAppMessage(PhoneSystem system, const WhatsAppMessageRow& row,
                                      const std::string& stanzaId);
std::string RealInsertWhatsAppChat(int64_t rowId, const std::optional<std::string>& contactJid,
                                   const std::optional<std::string>& partnerName);
std::string RealInsertWhatsAppMember(int64_t rowId, int64_t chatRowId, const std::optional<std::string>& name,
                                     const std::optional<std::string>& memberJid);
std::string RealInsertWhatsAppMedia(int64_t rowId, int64_t messageRowId,
                                    const std::optional<std::string>& path);

}  // namespace fq::builder
