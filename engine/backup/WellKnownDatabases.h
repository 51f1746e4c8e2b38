#pragma once
// File ids of the phone databases the category readers need; each id is the
// SHA-1 of the key in the comment beside it.
#include <string_view>

namespace fq::wellknown {

inline constexpr std::string_view kSms =
    "3d0d7e5fb2ce288813306e4d4636395e047a3d28";  // HomeDomain-Library/SMS/sms.db
inline constexpr std::string_view kAddressBook =
    "31bb7ba8914766d4ba40d6dfb6113c8b614be442";  // HomeDomain-Library/AddressBook/AddressBook.sqlitedb
inline constexpr std::string_view kNotes =
    "ca3bc056d4da0bbf88b5fb3be254f3b7147e639c";  // HomeDomain-Library/Notes/notes.sqlite
inline constexpr std::string_view kNoteStore =
    "4f98687d8ab0d6d1a371110e6b7300f6e465bef2";  // AppDomainGroup-group.com.apple.notes-NoteStore.sqlite
inline constexpr std::string_view kCallHistory =
    "5a4935c78a5255723f707230a451d79c540d2741";  // HomeDomain-Library/CallHistoryDB/CallHistory.storedata
inline constexpr std::string_view kCallHistoryOld =
    "2b2b0084a1bc3a5ac8c27afdf14afb42c61a19ca";  // WirelessDomain-Library/CallHistory/call_history.db
inline constexpr std::string_view kWhatsAppShared =
    "7c7fba66680ef796b916b067077cc246adacf01d";  // AppDomainGroup-group.net.whatsapp.WhatsApp.shared-ChatStorage.sqlite
inline constexpr std::string_view kWhatsAppDocuments =
    "1b6b187a1b60b9ae8b720c79e2c67f472bab09c0";  // AppDomain-net.whatsapp.WhatsApp-Documents/ChatStorage.sqlite

}  // namespace fq::wellknown
