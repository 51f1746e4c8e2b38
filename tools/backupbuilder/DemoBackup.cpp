#include "tools/backupbuilder/DemoBackup.h"

#include "tools/backupbuilder/DemoPhoneData.h"
#include "tools/backupbuilder/MediaSamples.h"

namespace fq::builder {
namespace {

constexpr const char* kCameraRoll = "CameraRollDomain";
constexpr const char* kMedia = "MediaDomain";
constexpr const char* kHome = "HomeDomain";

void AddCameraRoll(BackupBuilder& b) {
  b.addDirectory(kCameraRoll, "Media");
  b.addDirectory(kCameraRoll, "Media/DCIM");
  b.addDirectory(kCameraRoll, "Media/DCIM/100APPLE");
  b.addFile(kCameraRoll, "Media/DCIM/100APPLE/IMG_0001.JPG", JpegImage(JpegHeader::Exif, 64, 48, 6144, 1));
  b.addFile(kCameraRoll, "Media/DCIM/100APPLE/IMG_0002.JPG", JpegImage(JpegHeader::Exif, 48, 64, 5120, 2));
  b.addFile(kCameraRoll, "Media/DCIM/100APPLE/IMG_0003.PNG", PngImage(75, 133, 0x2A6F97, 3072, 3));
  b.addFile(kCameraRoll, "Media/DCIM/100APPLE/IMG_0004.MOV", QuickTimeMovie(150000, 4));
  // The camera's own format since 2017.
  std::vector<uint8_t> heic = {0, 0, 0, 0x18, 'f', 't', 'y', 'p', 'h', 'e', 'i', 'c'};
  heic.resize(4096, 0);
  b.addFile(kCameraRoll, "Media/DCIM/100APPLE/IMG_0005.HEIC", heic);
  b.addFile(kCameraRoll, "Media/DCIM/100APPLE/IMG_0006.JPG", JpegImage(JpegHeader::Jfif, 32, 32, 4096, 6));
  // Thumbnails lie outside DCIM and are not part of the camera roll.
  b.addFile(kCameraRoll, "Media/PhotoData/Thumbnails/V2/DCIM/100APPLE/IMG_0001.JPG/5005.JPG",
            JpegImage(JpegHeader::Jfif, 16, 16, 1024, 7));
}

void AddPhotoStream(BackupBuilder& b) {
  b.addDirectory(kMedia, "Media/PhotoStreamsData/1733540967/100APPLE");
  b.addFile(kMedia, "Media/PhotoStreamsData/1733540967/100APPLE/IMG_0102.JPG",
            JpegImage(JpegHeader::Exif, 40, 30, 3072, 12));
  b.addFile(kMedia, "Media/PhotoStreamsData/1733540967/100APPLE/IMG_0101.JPG",
            JpegImage(JpegHeader::Exif, 30, 40, 3072, 11));
}

void AddMessageAttachments(BackupBuilder& b) {
  const std::string base = "Library/SMS/Attachments/";
  b.addDirectory(kMedia, "Library/SMS/Attachments");
  b.addFile(kMedia, base + "3f/15/8C2E1B7A-5D44-4F0B-9E1A-2B7C6D5E4F30/IMG_0300.jpeg",
            JpegImage(JpegHeader::Jfif, 24, 24, 2048, 21));
  // Attachments saved without an extension are named by their content.
  b.addFile(kMedia, base + "a0/00/0D6F4C2A-1B3E-4A5D-8C7B-6E5F4A3B2C1D/image",
            PngImage(8, 8, 0xE0A030, 1024, 22));
  b.addFile(kMedia, base + "c2/02/5A4B3C2D-1E0F-4A9B-8C7D-6E5F4A3B2C1E/clip.mov", Mp4Movie(40000, 23));
  const std::string amr = "#!AMR\n" + std::string(2000, '\x3c');  // a voice message
  b.addFile(kMedia, base + "c2/02/5A4B3C2D-1E0F-4A9B-8C7D-6E5F4A3B2C1E/Audio Message.amr",
            std::string_view(amr));
  // Too short to be recognised, and one whose content was never backed up.
  b.addFile(kMedia, base + "d4/04/9F8E7D6C-5B4A-4392-8170-6F5E4D3C2B1A/tiny.jpg",
            JpegImage(JpegHeader::Jfif, 8, 8));
  b.addMissingFile(kMedia, base + "e5/05/1A2B3C4D-5E6F-4708-9A1B-2C3D4E5F6A7B/lost.jpg");
}

void AddApplicationFiles(BackupBuilder& b) {
  const std::string travel = "AppDomain-com.example.travelbook";
  b.addDirectory(travel, "Documents");
  b.addFile(travel, "Documents/harbour.jpg", JpegImage(JpegHeader::Jfif, 64, 40, 4096, 31));
  b.addFile(travel, "Documents/walk.mov", QuickTimeMovie(60000, 32));
  b.addFile(travel, "Documents/route.gpx", std::string_view("<?xml version=\"1.0\"?>\n<gpx></gpx>\n"));
  const std::string sketch = "AppDomain-com.example.sketchpad";
  b.addFile(sketch, "Documents/sketch1.png", PngImage(32, 32, 0x88CC44, 2048, 33));
  b.addFile(sketch, "Documents/theme.mp3", Mp3Audio(4096, 34));
  b.addFile(sketch, "Library/Preferences/com.example.sketchpad.plist",
            std::string_view("bplist00\xd0\x08\x00\x00\x00\x00\x00\x00\x01\x01"));
}

void AddWhatsAppMedia(BackupBuilder& b) {
  const std::string app = "AppDomain-net.whatsapp.WhatsApp";
  b.addFile(app, "Library/Media/15550104477@s.whatsapp.net/2/7/27a1c0de-photo.jpg",
            JpegImage(JpegHeader::Jfif, 48, 48, 3072, 41));
  b.addFile(app, "Library/Media/15550104477@s.whatsapp.net/3/1/31b2d0ef-video.mp4", Mp4Movie(20000, 42));
  // The shared group container: the device lists these, a backup on disk does not.
  b.addFile("AppDomainGroup-group.net.whatsapp.WhatsApp.shared",
            "Message/Media/15550104477@s.whatsapp.net/5/a/5a0c1d2e-note.jpg",
            JpegImage(JpegHeader::Jfif, 16, 16, 2048, 43));
}

// The phone's databases: messages, contacts, calls, notes and WhatsApp
// chats, each with some deleted rows.
void AddDatabases(BackupBuilder& b, std::optional<PhoneSystem> system) {
  b.addDirectory(kHome, "Library/SMS");
  AddDemoPhoneDatabases(b, system);
}

}  // namespace

BackupBuilder DemoBackup(ManifestFormat format, std::optional<PhoneSystem> system) {
  BackupBuilder b(format);
  if (system) b.device().productVersion = ProductVersionOf(*system);
  AddCameraRoll(b);
  AddPhotoStream(b);
  AddMessageAttachments(b);
  AddApplicationFiles(b);
  AddWhatsAppMedia(b);
  AddDatabases(b, system);
  return b;
}

bool WriteDemoBackup(const std::filesystem::path& folder, ManifestFormat format, std::string* error,
                     std::optional<PhoneSystem> system) {
  return DemoBackup(format, system).write(folder, error);
}

}  // namespace fq::builder
