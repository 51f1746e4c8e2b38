#pragma once
// The categories a scan fills, in the order the scan hands them to the view.
#include <array>
#include <cstddef>
#include <string_view>

namespace fq {

enum class ScanCategory {
  CameraRoll,
  PhotoStream,
  Messages,
  MessagesAttachments,
  Contacts,
  CallHistory,
  Notes,
  AppPhotos,
  AppVideos,
  WhatsApp,
  WhatsAppAttachments,
};

inline constexpr std::array kScanCategories = {
    ScanCategory::CameraRoll, ScanCategory::PhotoStream, ScanCategory::Messages,
    ScanCategory::MessagesAttachments, ScanCategory::Contacts, ScanCategory::CallHistory,
    ScanCategory::Notes, ScanCategory::AppPhotos, ScanCategory::AppVideos,
    ScanCategory::WhatsApp, ScanCategory::WhatsAppAttachments,
};

// The category tree's node name of a category.
constexpr std::string_view CategoryName(ScanCategory category) {
  switch (category) {
    case ScanCategory::CameraRoll: return "Camera Roll";
    case ScanCategory::PhotoStream: return "Photo Stream";
    case ScanCategory::Messages: return "Messages";
    case ScanCategory::MessagesAttachments: return "Messages Attachments";
    case ScanCategory::Contacts: return "Contacts";
    case ScanCategory::CallHistory: return "Call History";
    case ScanCategory::Notes: return "Notes";
    case ScanCategory::AppPhotos: return "App Photos";
    case ScanCategory::AppVideos: return "App Videos";
    case ScanCategory::WhatsApp: return "WhatsApp";
    case ScanCategory::WhatsAppAttachments: return "WhatsApp Attachments";
  }
  return "";
}

}  // namespace fq
