// A scan whose application files are probed on a worker while the databases
// are read must be the scan that probes each file when its category comes:
// the same events, progress, hand-overs, results and JSON report, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/ScanJson.h"
#include "engine/ResultCodes.h"
#include "engine/backup/BackupDiscovery.h"
#include "engine/session/BackupStore.h"
#include "engine/session/EventRecorder.h"
#include "engine/session/RecoveryFactory.h"
#include "engine/session/ScanSession.h"
#include "tests/session/SessionFixtures.h"
#include "tools/backupbuilder/DemoBackup.h"
#include "tools/backupbuilder/MediaSamples.h"

namespace fq {
namespace {

namespace fs = std::filesystem;
using testsupport::ScratchFolder;

constexpr uint64_t kGiB = 1024ULL * 1024 * 1024;

// Everything a scan shows: percents and hand-overs as the view saw them,
// the posted events, and the report the CLI writes.
struct ScanTrace {
  std::vector<int32_t> percents;
  std::vector<std::pair<ScanCategory, size_t>> handOvers;
  std::vector<EventRecorder::Event> events;
  int32_t result = -1;
  std::string json;
};

class TraceView : public IScanView {
 public:
  explicit TraceView(ScanTrace& trace) : m_trace(trace) {}
  void percentChanged(int32_t percent, const ScanResults&) override { m_trace.percents.push_back(percent); }
  void categoryReady(ScanCategory category, size_t count) override {
    m_trace.handOvers.emplace_back(category, count);
  }

 private:
  ScanTrace& m_trace;
};

class ProbeAheadScanTest : public ::testing::Test {
 protected:
  ProbeAheadScanTest()
      : folders(scratch / "appdata",
                DriveSource{[](const fs::path&) -> std::optional<uint64_t> { return 100 * kGiB; }, nullptr}) {
  }

  ScanTrace scan(const fs::path& folder, bool probeAhead) {
    BackupStore store(folders, BackupRoot(folders.appDataFolder()));
    store.setProbeAhead(probeAhead);
    BackupInfo info;
    EXPECT_EQ(ReadBackupFolder(folder, info), kOk);
    store.SelectBackup(info);
    ScanTrace trace;
    TraceView view(trace);
    EventRecorder events;
    ScanSession session(events, &view);
    session.setFirstReportPause(std::chrono::milliseconds(0));
    EXPECT_TRUE(session.Start(CreateRecovery(kSourceBackup, store, folders, nullptr), ""));
    session.Wait();
    trace.events = events.events();
    trace.result = session.result();
    std::ostringstream out;
    cli::WriteScanJson(out, folder.string(), session.result(), trace.events, session.outcome(),
                       session.results());
    trace.json = out.str();
    return trace;
  }

  ScanTrace expectSameScan(const fs::path& folder) {
    const ScanTrace alone = scan(folder, false);
    const ScanTrace ahead = scan(folder, true);
    EXPECT_EQ(alone.result, kOk);
    EXPECT_EQ(ahead.result, alone.result);
    EXPECT_EQ(ahead.percents, alone.percents);
    EXPECT_EQ(ahead.handOvers, alone.handOvers);
    EXPECT_EQ(ahead.events, alone.events);
    EXPECT_EQ(ahead.json, alone.json);  // every record, path and skipped file, in order
    return ahead;
  }

  ScratchFolder scratch;
  WorkFolders folders;
};

TEST_F(ProbeAheadScanTest, TheDemoBackupScansTheSame) {
  const fs::path folder = BackupRoot(folders.appDataFolder()) / "demo";
  std::string error;
  ASSERT_TRUE(builder::WriteDemoBackup(folder, builder::ManifestFormat::Db, &error)) << error;
  expectSameScan(folder);
}

// Application files over several probing batches: pictures, other files,
// short and empty ones, missing content and WhatsApp media among them.
TEST_F(ProbeAheadScanTest, ManyApplicationFilesScanTheSame) {
  builder::BackupBuilder backup = builder::DemoBackup(builder::ManifestFormat::Db);
  for (uint32_t i = 0; i < 700; ++i) {
    const std::string app = "AppDomain-com.example.app" + std::to_string(i % 7);
    const std::string name = "Documents/file" + std::to_string(i);
    switch (i % 6) {
      case 0:
        backup.addFile(app, name + ".jpg", builder::JpegImage(builder::JpegHeader::Jfif, 8, 8, 600, i));
        break;
      case 1:
        backup.addFile(app, name + ".png", builder::PngImage(4, 4, 0x336699, 700, i));
        break;
      case 2:
        backup.addFile(app, name + ".dat", std::string(900, static_cast<char>('a' + i % 26)));
        break;
      case 3:
        backup.addFile(app, name + ".jpg", std::string_view("short"));
        break;
      case 4:
        backup.addMissingFile(app, name + ".jpg");
        break;
      default:
        backup.addFile("AppDomain-net.whatsapp.WhatsApp", "Media/" + name + ".jpg",
                       builder::JpegImage(builder::JpegHeader::Exif, 8, 8, 600, i));
        break;
    }
  }
  const fs::path folder = BackupRoot(folders.appDataFolder()) / "many";
  std::string error;
  ASSERT_TRUE(backup.write(folder, &error)) << error;
  const ScanTrace trace = expectSameScan(folder);
  // The application pictures were listed, so the probes ahead were taken.
  const auto photos = std::find_if(trace.handOvers.begin(), trace.handOvers.end(),
                                   [](const auto& h) { return h.first == ScanCategory::AppPhotos; });
  ASSERT_NE(photos, trace.handOvers.end());
  EXPECT_GE(photos->second, 234u);  // 117 JPEGs and 117 PNGs, and the demo phone's own
}

}  // namespace
}  // namespace fq
