#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/ResultCodes.h"
#include "engine/backup/ManifestOfFolder.h"
#include "engine/media/ManifestScans.h"
#include "tests/support/TempFolder.h"
#include "tools/backupbuilder/BackupBuilder.h"
#include "tools/backupbuilder/MediaSamples.h"

namespace fq {
namespace {

using builder::BackupBuilder;
using builder::JpegHeader;
using builder::ManifestFormat;

std::vector<uint8_t> Jpeg(uint32_t seed = 0, size_t size = 1024) {
  return builder::JpegImage(JpegHeader::Jfif, 8, 8, size, seed);
}

// A builder-made backup, its manifest as read back, and the progress reports
// of the scan run on it.
class ScanFixture {
 public:
  explicit ScanFixture(ManifestFormat format) : m_builder(format) {}
  BackupBuilder& builder() { return m_builder; }

  void write() {
    ASSERT_TRUE(m_builder.write(m_dir.path()));
    m_entries.clear();
    ASSERT_EQ(ReadFolderManifest(m_dir.path(), m_builder.layout(), m_entries), kOk);
  }

  // The context of one scan; `cancelAtReport` makes the callback answer 2 at that report (1-based).
  ManifestScanContext context(ScanSource source, int32_t step = 11, int cancelAtReport = 0) {
    reports.clear();
    progress.callback = [this, cancelAtReport](int32_t percent) {
      reports.push_back(percent);
      return static_cast<int>(reports.size()) == cancelAtReport ? kCancelled : kOk;
    };
    progress.step = step;
    return ManifestScanContext{m_entries, m_dir.path(), m_builder.layout(), source, progress};
  }

  std::filesystem::path storedPath(const std::string& domain, const std::string& relativePath) const {
    builder::ManifestRecord r;
    r.domain = domain;
    r.relativePath = relativePath;
    return m_builder.storedPathOf(m_dir.path(), r);
  }

  ProgressState progress;
  std::vector<int32_t> reports;

 private:
  testsupport::TempFolder m_dir;
  BackupBuilder m_builder;
  std::vector<ManifestEntry> m_entries;
};

template <typename Record>
std::vector<std::string> Names(const std::vector<Record>& records) {
  std::vector<std::string> names;
  for (const auto& r : records) names.push_back(r.name);
  return names;
}

class ManifestScans : public ::testing::TestWithParam<ManifestFormat> {};

TEST_P(ManifestScans, PhotosKeepTheirNamesAndComeInNameOrder) {
  ScanFixture f(GetParam());
  auto& b = f.builder();
  b.addDirectory("CameraRollDomain", "Media/DCIM/100APPLE");
  b.addFile("CameraRollDomain", "Media/DCIM/100APPLE/IMG_0042.JPG", Jpeg(1, 2000));
  b.addFile("CameraRollDomain", "Media/DCIM/100APPLE/IMG_0007.MOV", builder::QuickTimeMovie(3000));
  b.addFile("CameraRollDomain", "Media/DCIM/100APPLE/img_0010.jpg", Jpeg(2));
  std::vector<uint8_t> short511 = builder::JpegImage(JpegHeader::Jfif, 8, 8);
  short511.resize(511, 0);
  std::vector<uint8_t> full512 = short511;
  full512.resize(512, 0);
  b.addFile("CameraRollDomain", "Media/DCIM/100APPLE/IMG_0511.JPG", short511);
  b.addFile("CameraRollDomain", "Media/DCIM/100APPLE/IMG_0512.JPG", full512);
  b.addFile("CameraRollDomain", "Media/DCIM/100APPLE/IMG_0099.HEIC", std::vector<uint8_t>(4096, 7));
  b.addMissingFile("CameraRollDomain", "Media/DCIM/100APPLE/IMG_0098.JPG");
  b.addFile("CameraRollDomain", "Media/PhotoData/Thumbnails/IMG_0042.JPG", Jpeg(3));
  b.addFile("MediaDomain", "Media/PhotoStreamsData/123/100APPLE/IMG_0200.JPG", Jpeg(4));
  b.addFile("MediaDomain", "Media/PhotoStreamsData/123/100APPLE/IMG_0100.JPG", Jpeg(5));
  f.write();

  std::vector<MediaFileRecord> cameraRoll, photoStream;
  ASSERT_EQ(ScanPhotos(f.context(ScanSource::Store), cameraRoll, photoStream), kOk);
  EXPECT_EQ(Names(cameraRoll),
            (std::vector<std::string>{"IMG_0007.MOV", "img_0010.jpg", "IMG_0042.JPG", "IMG_0512.JPG"}));
  EXPECT_EQ(Names(photoStream), (std::vector<std::string>{"IMG_0100.JPG", "IMG_0200.JPG"}));
  ASSERT_EQ(cameraRoll.size(), 4u);
  EXPECT_EQ(cameraRoll[0].size, 3000u);
  EXPECT_EQ(cameraRoll[3].size, 512u);
  EXPECT_EQ(cameraRoll[2].path, f.storedPath("CameraRollDomain", "Media/DCIM/100APPLE/IMG_0042.JPG"));
  EXPECT_EQ(f.progress.current, 22) << "photos are worth two steps";
}

TEST_P(ManifestScans, AttachmentsAreNamedByTheirRecognisedType) {
  ScanFixture f(GetParam());
  auto& b = f.builder();
  const std::string base = "Library/SMS/Attachments/0a/10/GUID/";
  b.addFile("MediaDomain", base + "photo.jpeg", Jpeg(1));
  b.addFile("MediaDomain", base + "image", builder::PngImage(4, 4, 0xFF0000, 700));
  b.addFile("MediaDomain", base + "IMG_0001.HEIC", Jpeg(2));
  b.addFile("MediaDomain", base + "a.b.c.gif", builder::GifImage(700));
  b.addFile("MediaDomain", base + "Audio Message.amr", std::vector<uint8_t>(2000, 0x3C));  // no header
  std::vector<uint8_t> caf = {'c', 'a', 'f', 'f', 0, 1, 0, 0, 'd', 'e', 's', 'c'};
  caf.resize(3000, 0x11);
  b.addFile("MediaDomain", base + "Audio Message 2.caf", caf);
  b.addFile("MediaDomain", "Library/SMS/Attachments.jpg", Jpeg(3));  // not under /Attachments/
  f.write();

  std::vector<AttachmentFileRecord> files;
  ASSERT_EQ(ScanMessageAttachments(f.context(ScanSource::Device, 10), files), kOk);
  EXPECT_EQ(Names(files), (std::vector<std::string>{"a.b.c.GIF", "Audio Message 2.CAF", "image.PNG",
                                                    "IMG_0001.JPG", "photo.JPG"}));
  for (const auto& file : files) EXPECT_EQ(file.reserved, 0u);
  EXPECT_EQ(f.progress.current, 10);
}

TEST_P(ManifestScans, TheStoreSplitsWhatsAppFilesFromApplicationFiles) {
  ScanFixture f(GetParam());
  auto& b = f.builder();
  b.addFile("AppDomain-com.example.travel", "Documents/harbour.jpg", Jpeg(1));
  b.addFile("AppDomain-com.example.travel", "Documents/walk.mov", builder::QuickTimeMovie(2000));
  b.addFile("AppDomain-com.example.travel", "Documents/route.gpx", std::vector<uint8_t>(900, 'x'));
  b.addFile("AppDomain-net.example.paint", "Documents/Untitled", builder::PngImage(2, 2, 0, 800));
  b.addMissingFile("AppDomain-com.example.travel", "Documents/gone.jpg");
  b.addFile("AppDomain-net.whatsapp.WhatsApp", "Library/Media/x/photo.jpg", Jpeg(2));
  b.addFile("AppDomain-net.whatsapp.WhatsApp", "Library/Media/x/clip.mp4", builder::Mp4Movie(900));
  b.addFile("AppDomainGroup-group.net.whatsapp.WhatsApp.shared", "Message/Media/y/shared.jpg", Jpeg(3));
  f.write();

  std::vector<AppFileRecord> files;
  std::vector<MediaFileRecord> whatsApp = {{1, "stale", "/old"}};
  ASSERT_EQ(ScanAppFiles(f.context(ScanSource::Store), files, &whatsApp), kOk);
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(Names(files), (std::vector<std::string>{"harbour.JPG", "Untitled.PNG", "walk.MOV"}));
  EXPECT_EQ(files[0].appName, "example.travel");
  EXPECT_EQ(files[1].appName, "example.paint");
  EXPECT_EQ(Names(whatsApp), (std::vector<std::string>{"clip.MP4", "photo.JPG"}));
  EXPECT_EQ(f.progress.current, 11) << "the store's application files grow progress by one step";

  std::vector<MediaFileRecord> handedOver;
  ASSERT_EQ(HandOverWhatsAppAttachments(f.context(ScanSource::Store), whatsApp, handedOver), kOk);
  EXPECT_EQ(handedOver, whatsApp);
  EXPECT_EQ(f.reports, (std::vector<int32_t>{22}));
}

TEST_P(ManifestScans, TheDeviceRecognisesApplicationFilesByCaseKeptExtension) {
  ScanFixture f(GetParam());
  auto& b = f.builder();
  const std::string app = "AppDomain-com.example.clips";
  b.addFile(app, "Documents/clip.MOV", builder::QuickTimeMovie(2000));
  b.addFile(app, "Documents/clip.mov", builder::QuickTimeMovie(2000, 1));
  b.addFile(app, "Documents/cover.png", std::vector<uint8_t>(100, 1));  // by extension, whatever its content
  b.addFile(app, "Documents/notes.p", Jpeg(4));                         // "p" is no picture extension
  b.addFile(app, "Documents/blob", Jpeg(5));                            // no extension: by content
  b.addFile(app, "Documents/empty.jpg", std::vector<uint8_t>{});        // size 0
  b.addFile("AppDomainGroup-group.net.whatsapp.WhatsApp.shared", "Message/Media/y/shared.jpg", Jpeg(3));
  f.write();

  std::vector<AppFileRecord> files;
  ASSERT_EQ(ScanAppFiles(f.context(ScanSource::Device, 10), files, nullptr), kOk);
  EXPECT_EQ(Names(files), (std::vector<std::string>{"blob.JPG", "clip.MOV", "cover.PNG", "shared.JPG"}));
  EXPECT_EQ(files[0].appName, "example.clips");
  EXPECT_EQ(files[1].path, f.storedPath(app, "Documents/clip.mov"));
  EXPECT_EQ(files[3].appName, "whatsapp.WhatsApp.shared");
  EXPECT_EQ(f.progress.current, 20) << "the device's application files grow progress by two steps";

  std::vector<MediaFileRecord> whatsApp;
  ASSERT_EQ(ScanWhatsAppAttachments(f.context(ScanSource::Device, 10), whatsApp), kOk);
  EXPECT_EQ(Names(whatsApp), (std::vector<std::string>{"shared.JPG"}));
  EXPECT_EQ(f.progress.current, 30);
}

INSTANTIATE_TEST_SUITE_P(BothIndexes, ManifestScans,
                         ::testing::Values(ManifestFormat::Db, ManifestFormat::Mbdb), [](const auto& info) {
                           return info.param == ManifestFormat::Db ? "ManifestDb" : "Mbdb";
                         });

// Progress follows the session's table: each entry examined reports the
// current percent plus its part of the scan's share; entries skipped for a
// missing file report nothing, except in the store's application scan.
TEST(ManifestScanProgress, ReportsPerEntryAndGrowsAtTheEnd) {
  ScanFixture f(ManifestFormat::Mbdb);
  auto& b = f.builder();
  b.addFile("CameraRollDomain", "Media/DCIM/100APPLE/IMG_0001.JPG", Jpeg(1));
  b.addFile("HomeDomain", "Library/Preferences/x.plist", std::vector<uint8_t>(10, 0));
  b.addMissingFile("CameraRollDomain", "Media/DCIM/100APPLE/IMG_0002.JPG");
  b.addFile("MediaDomain", "Media/PhotoStreamsData/1/100APPLE/IMG_0003.JPG", Jpeg(2));
  f.write();
  std::vector<MediaFileRecord> cameraRoll, photoStream;
  f.progress.current = 1;
  ASSERT_EQ(ScanPhotos(f.context(ScanSource::Store, 11), cameraRoll, photoStream), kOk);
  EXPECT_EQ(f.reports, (std::vector<int32_t>{6, 12, 23, 23}));
  EXPECT_EQ(f.progress.current, 23);

  ScanFixture apps(ManifestFormat::Db);
  apps.builder().addFile("AppDomain-com.a", "Documents/p.jpg", Jpeg(3));
  apps.builder().addMissingFile("AppDomain-com.a", "Documents/gone.jpg");
  apps.builder().addFile("HomeDomain", "Library/x", std::vector<uint8_t>(10, 0));
  apps.write();
  std::vector<AppFileRecord> files;
  ASSERT_EQ(ScanAppFiles(apps.context(ScanSource::Store, 11), files, nullptr), kOk);
  EXPECT_EQ(apps.reports, (std::vector<int32_t>{7, 14, 22, 11}));
  apps.progress.current = 0;
  files.clear();
  ASSERT_EQ(ScanAppFiles(apps.context(ScanSource::Device, 10), files, nullptr), kOk);
  EXPECT_EQ(apps.reports, (std::vector<int32_t>{6, 20, 20}));
  apps.progress.current = 0;
  std::vector<AttachmentFileRecord> none;
  ASSERT_EQ(ScanMessageAttachments(apps.context(ScanSource::Store, 11), none), kOk);
  EXPECT_EQ(apps.reports, (std::vector<int32_t>{3, 7, 11, 11}));
}

TEST(ManifestScanProgress, ACancelEndsTheWalkWithTheAnswer) {
  ScanFixture f(ManifestFormat::Db);
  for (int i = 0; i < 5; ++i) {
    f.builder().addFile("CameraRollDomain", "Media/DCIM/100APPLE/IMG_000" + std::to_string(i) + ".JPG",
                        Jpeg(i));
  }
  f.write();
  std::vector<MediaFileRecord> cameraRoll, photoStream;
  EXPECT_EQ(ScanPhotos(f.context(ScanSource::Store, 11, 2), cameraRoll, photoStream), kCancelled);
  EXPECT_EQ(f.reports.size(), 2u);
  EXPECT_EQ(cameraRoll.size(), 2u);
  EXPECT_EQ(f.progress.current, 0) << "a cancelled scan does not claim its share";

  f.progress.current = 40;
  EXPECT_EQ(HandOverWhatsAppAttachments(f.context(ScanSource::Store, 11, 1), {}, photoStream), kCancelled);
  EXPECT_EQ(f.progress.current, 51);
}

TEST(ManifestScanProgress, AFailedDeviceManifestGivesAnEmptyWalkAnd87) {
  const std::vector<ManifestEntry> entries = {{"CameraRollDomain-Media/DCIM/a.jpg", std::string(40, 'a')}};
  std::vector<int32_t> reports;
  ProgressState progress{[&](int32_t p) {
                           reports.push_back(p);
                           return 0;
                         },
                         20, 10};
  ManifestScanContext ctx{entries,  "/nonexistent", StorageLayout::Flat, ScanSource::Device,
                          progress, kInvalid};
  std::vector<MediaFileRecord> cameraRoll, photoStream;
  EXPECT_EQ(ScanPhotos(ctx, cameraRoll, photoStream), kInvalid);
  EXPECT_EQ(reports, (std::vector<int32_t>{40}));
  // Without a callback nothing is reported and nothing breaks.
  progress.callback = nullptr;
  ManifestScanContext quiet{entries, "/nonexistent", StorageLayout::Flat, ScanSource::Device, progress};
  std::vector<AttachmentFileRecord> files;
  EXPECT_EQ(ScanMessageAttachments(quiet, files), kOk);
  EXPECT_EQ(progress.current, 50);
}

TEST(ManifestScans, HostileNamesAndIdsNeverLeaveTheirFolders) {
  ScanFixture f(ManifestFormat::Db);
  auto& b = f.builder();
  b.addFile("MediaDomain", "Library/SMS/Attachments/x/..", Jpeg(1));
  b.addFile("MediaDomain", "Library/SMS/Attachments/x/bad\xff\xfe.jpg", Jpeg(2));
  b.addFile("MediaDomain", "Library/SMS/Attachments/x/escape.jpg", Jpeg(3)).fileIdOverride =
      "../../../etc/passwd";
  b.addFile("AppDomain-com.x/../../..-y", "Documents/a.jpg", Jpeg(4));
  f.write();
  std::vector<AttachmentFileRecord> files;
  ASSERT_EQ(ScanMessageAttachments(f.context(ScanSource::Store), files), kOk);
  ASSERT_EQ(files.size(), 2u);
  for (const auto& file : files) {
    EXPECT_EQ(file.name.size(), 44u) << file.name;  // the file id and ".JPG"
    EXPECT_EQ(file.name.find('/'), std::string::npos);
  }
  std::vector<AppFileRecord> apps;
  ASSERT_EQ(ScanAppFiles(f.context(ScanSource::Store), apps, nullptr), kOk);
  ASSERT_EQ(apps.size(), 1u);
  EXPECT_EQ(apps[0].appName, "other");
}

TEST(AppNameOf, TakesTheTextAfterComOrNetUpToTheNextDash) {
  struct Case {
    std::string_view key;
    std::string_view store;
    std::string_view device;
  };
  const Case cases[] = {
      {"AppDomain-com.example.travel-Documents/a.jpg", "example.travel", "example.travel"},
      {"AppDomain-net.example.paint-Documents/a.jpg", "example.paint", "example.paint"},
      {"AppDomain-org.example-Library/com.paint-x/a.jpg", "paint", "paint"},
      {"AppDomain-org.example-Documents/a.jpg", "other", "other"},
      {"AppDomain-com.nodash", "other", "nodash"},
      {"AppDomain-net.whatsapp.WhatsApp-Library/net.jpg", "whatsapp.WhatsApp", "whatsapp.WhatsApp"},
      {"AppDomain-com.-Documents/a.jpg", "other", "other"},
      {"AppDomain-com..-Documents/a.jpg", "other", "other"},
      {"AppDomain-com.\xc3\xa9t\xc3\xa9-Documents/a.jpg", "\xc3\xa9t\xc3\xa9", "\xc3\xa9t\xc3\xa9"},
      {"AppDomain-com.\xff-Documents/a.jpg", "other", "other"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AppNameOf(c.key, ScanSource::Store), c.store) << c.key;
    EXPECT_EQ(AppNameOf(c.key, ScanSource::Device), c.device) << c.key;
  }
}

}  // namespace
}  // namespace fq
