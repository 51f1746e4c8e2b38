// The demo backup's media, exactly as the scans list them, for both indexes
// and both recovery objects.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/ResultCodes.h"
#include "engine/backup/ManifestOfFolder.h"
#include "engine/media/ManifestScans.h"
#include "tests/support/TempFolder.h"
#include "tools/backupbuilder/DemoBackup.h"

namespace fq {
namespace {

using builder::ManifestFormat;
using Names = std::vector<std::string>;

template <typename Record>
Names NamesOf(const std::vector<Record>& records) {
  Names names;
  for (const auto& r : records) names.push_back(r.name);
  return names;
}

struct DemoScan {
  std::vector<MediaFileRecord> cameraRoll, photoStream, whatsApp;
  std::vector<AttachmentFileRecord> attachments;
  std::vector<AppFileRecord> apps;
};

DemoScan ScanDemo(const std::filesystem::path& folder, ScanSource source) {
  DemoScan scan;
  const auto layout = DetectStorageLayout(folder);
  std::vector<ManifestEntry> entries;
  EXPECT_EQ(ReadFolderManifest(folder, *layout, entries), kOk);
  ProgressState progress{{}, 0, 10};
  ManifestScanContext ctx{entries, folder, *layout, source, progress};
  std::vector<MediaFileRecord> collected;
  EXPECT_EQ(ScanPhotos(ctx, scan.cameraRoll, scan.photoStream), kOk);
  EXPECT_EQ(ScanMessageAttachments(ctx, scan.attachments), kOk);
  EXPECT_EQ(ScanAppFiles(ctx, scan.apps, &collected), kOk);
  if (source == ScanSource::Store) {
    EXPECT_EQ(HandOverWhatsAppAttachments(ctx, collected, scan.whatsApp), kOk);
  } else {
    EXPECT_EQ(ScanWhatsAppAttachments(ctx, scan.whatsApp), kOk);
  }
  return scan;
}

class DemoBackupScan : public ::testing::TestWithParam<ManifestFormat> {
 protected:
  void SetUp() override { ASSERT_TRUE(builder::WriteDemoBackup(m_dir.path(), GetParam(), nullptr)); }
  testsupport::TempFolder m_dir;
};

TEST_P(DemoBackupScan, ListsExactlyTheDemoMediaForABackupOnDisk) {
  const DemoScan scan = ScanDemo(m_dir.path(), ScanSource::Store);
  EXPECT_EQ(NamesOf(scan.cameraRoll), (Names{"IMG_0001.JPG", "IMG_0002.JPG", "IMG_0003.PNG", "IMG_0004.MOV",
                                             "IMG_0005.HEIC", "IMG_0006.JPG"}));
  EXPECT_EQ(NamesOf(scan.photoStream), (Names{"IMG_0101.JPG", "IMG_0102.JPG"}));
  EXPECT_EQ(NamesOf(scan.attachments), (Names{"Audio Message.AMR", "clip.MP4", "image.PNG", "IMG_0300.JPG"}));
  EXPECT_EQ(NamesOf(scan.apps), (Names{"harbour.JPG", "sketch1.PNG", "theme.MP3", "walk.MOV"}));
  EXPECT_EQ(NamesOf(scan.whatsApp), (Names{"27a1c0de-photo.JPG", "31b2d0ef-video.MP4"}));

  EXPECT_EQ(scan.apps[0].appName, "example.travelbook");
  EXPECT_EQ(scan.apps[1].appName, "example.sketchpad");
}

TEST_P(DemoBackupScan, ListsTheSharedWhatsAppFilesTooForADevice) {
  const DemoScan scan = ScanDemo(m_dir.path(), ScanSource::Device);
  EXPECT_EQ(NamesOf(scan.apps), (Names{"27a1c0de-photo.JPG", "31b2d0ef-video.MP4", "5a0c1d2e-note.JPG",
                                       "harbour.JPG", "sketch1.PNG", "theme.MP3", "walk.MOV"}));
  EXPECT_EQ(NamesOf(scan.whatsApp), (Names{"27a1c0de-photo.JPG", "31b2d0ef-video.MP4", "5a0c1d2e-note.JPG"}));
}

INSTANTIATE_TEST_SUITE_P(BothIndexes, DemoBackupScan,
                         ::testing::Values(ManifestFormat::Db, ManifestFormat::Mbdb), [](const auto& info) {
                           return info.param == ManifestFormat::Db ? "ManifestDb" : "Mbdb";
                         });

}  // namespace
}  // namespace fq
