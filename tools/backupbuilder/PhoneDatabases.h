#pragma once
// The phone's own databases as SQL: every table variant the category readers
// tell apart, with its columns in the positions the phone gives them, and one
// row writer per table. Rows name only the values the readers look at; every
// other column is NULL. Statements feed SqliteRecipe.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fq::builder {

// --- sms.db ----------------------------------------------------------------

// 38 columns with dates in seconds since 2001, or 51 (newer systems) with
// dates in nanoseconds since 2001.
enum class MessageLayout { Seconds38, Nanoseconds51 };

struct MessageRow {
  int64_t rowId = 0;
  std::string guid;                     // 36 characters, column 1
  std::optional<std::string> text;      // column 2
  int64_t handleRowId = 0;              // column 5
  std::vector<uint8_t> attributedBody;  // column 8; empty: NULL
  std::string accountGuid;              // column 13; empty: NULL
  int64_t appleSeconds = 0;             // column 15, seconds since 2001-01-01 UTC
  bool fromMe = false;                  // column 21
};

std::vector<std::string> CreateMessageTables(MessageLayout layout);  // message, handle, attachment, join
std::string InsertMessage(MessageLayout layout, const MessageRow& row);
std::string InsertHandle(int64_t rowId, const std::string& address);
std::string InsertAttachment(int64_t rowId, const std::string& guid, const std::string& fileName);
std::string InsertAttachmentLink(int64_t messageRowId, int64_t attachmentRowId);

// --- AddressBook.sqlitedb --------------------------------------------------

// ABPersonFullTextSearch_content with 24 or 25 columns (phone in column 16),
// or 26 as systems newer than 11 write it (phone in column 17).
enum class ContactLayout { Columns24, Columns25, Columns26 };

struct ContactRow {
  int64_t rowId = 0;
  std::optional<std::string> first;
  std::optional<std::string> last;
  std::optional<std::string> organization;
  // Every spelling followed by a space, as the index keeps it:
  // "(919) 888-7386 +19198887386 9198887386 ".
  std::optional<std::string> phone;
  std::optional<std::string> email;
  std::optional<std::string> address;
  std::optional<std::string> social;
  std::optional<std::string> url;
};

std::string CreateContactTable(ContactLayout layout);
std::string InsertContact(ContactLayout layout, const ContactRow& row);
// The index's spellings of a ten-digit North American number, as the phone
// writes them: "(919) 888-7386 +19198887386 ... 8887386 ".
std::string PhoneSpellings(const std::string& tenDigits);

// --- CallHistory.storedata / call_history.db -------------------------------

struct CallRow {
  int64_t rowId = 0;
  bool originated = false;  // placed from the phone
  double appleSeconds = 0;  // ZCALLRECORD: double seconds since 2001
  int64_t unixSeconds = 0;  // call: seconds since 1970
  double duration = 0;      // call: written as an integer
  std::optional<std::string> number;
};

// ZCALLRECORD; systems newer than 11 add one column before the number
// (column 21 instead of 20).
std::string CreateCallRecordTable(bool newerThan11);
std::string InsertCallRecord(bool newerThan11, const CallRow& row);
// The older call table (number in column 20).
std::string CreateCallTable();
std::string InsertCall(const CallRow& row);

// --- notes.sqlite ----------------------------------------------------------

std::vector<std::string> CreateNoteTables();  // ZNOTE and ZNOTEBODY
// A note row: its body row (column 11), date (14, double) and title (19).
std::string InsertNote(int64_t rowId, int64_t bodyRowId, double appleSeconds,
                       const std::optional<std::string>& title);
// A body row: owner note (column 3) and the HTML-like content (column 4).
std::string InsertNoteBody(int64_t rowId, int64_t noteRowId, const std::optional<std::string>& content);

// --- ChatStorage.sqlite ----------------------------------------------------

// The 34-column message table of current versions, or an older one of 28
// columns (which has no column 32, so the reader finds no text in it).
enum class WhatsAppLayout { Older28, Newer34 };

struct WhatsAppMessageRow {
  int64_t rowId = 0;
  bool fromMe = false;                 // column 12
  std::optional<int64_t> chatRowId;    // column 19
  std::optional<int64_t> memberRowId;  // column 20
  std::optional<int64_t> mediaRowId;   // column 22
  std::optional<double> appleSeconds;  // column 25, a double as the app writes it
  std::optional<std::string> fromJid;  // column 27
  std::optional<std::string> text;     // column 32 (newer layout)
};

// ZWAMESSAGE, ZWACHATSESSION (25 columns), ZWAGROUPMEMBER (13), ZWAMEDIAITEM (24).
std::vector<std::string> CreateWhatsAppTables(WhatsAppLayout layout);
std::string InsertWhatsAppMessage(WhatsAppLayout layout, const WhatsAppMessageRow& row);
// Partner address (column 20, "15550104477@s.whatsapp.net" or a group's "…@g.us")
// and name (23).
std::string InsertWhatsAppChat(int64_t rowId, const std::optional<std::string>& contactJid,
                               const std::optional<std::string>& partnerName);
// Chat (column 7), name (10), address (12).
std::string InsertWhatsAppMember(int64_t rowId, int64_t chatRowId, const std::optional<std::string>& name,
                                 const std::optional<std::string>& memberJid);
// Path of the media file (column 18).
std::string InsertWhatsAppMedia(int64_t rowId, const std::optional<std::string>& path);

}  // namespace fq::builder
