// A scan that works ahead on workers (the application files probed while the
// databases are read, the record databases read while the camera roll is
// probed) must be the scan that does each step's work when its step comes:
// the same events, progress, hand-overs, results and JSON report, byte for
// byte, and a cancel that leaves nothing behind for the next scan.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <mutex>
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
#include "tools/bigbackup/BigBackup.h"

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
  ScanOutcomeKind outcome = ScanOutcomeKind::Failed;
  std::string json;
};

// Which work a scan does ahead on workers.
struct AheadMode {
  const char* name;
  bool probeAhead;
  bool readAhead;
};

constexpr AheadMode kSequential{"nothing ahead", false, false};
constexpr AheadMode kAheadModes[] = {
    {"application files probed ahead", true, false},
    {"databases read ahead", false, true},
    {"both", true, true},
};

class TraceView : public IScanView {
 public:
  explicit TraceView(ScanTrace& trace) : m_trace(trace) {}
  void percentChanged(int32_t percent, const ScanResults&) override {
    m_trace.percents.push_back(percent);
    if (onPercent) onPercent(percent);
  }
  std::function<void(int32_t)> onPercent;  // on the scan thread, inside the progress lock
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

  ScanTrace scan(const fs::path& folder, AheadMode mode) {
    BackupStore store(folders, BackupRoot(folders.appDataFolder()));
    return scanWith(store, folder, mode);
  }

  // `onPercent` runs on the scan thread at each percent the view is shown;
  // `whileRunning` on this thread once the scan started.
  ScanTrace scanWith(BackupStore& store, const fs::path& folder, AheadMode mode,
                     std::function<void(int32_t)> onPercent = nullptr,
                     const std::function<void(ScanSession&)>& whileRunning = nullptr) {
    store.setProbeAhead(mode.probeAhead);
    store.setReadAhead(mode.readAhead);
    BackupInfo info;
    EXPECT_EQ(ReadBackupFolder(folder, info), kOk);
    store.SelectBackup(info);
    ScanTrace trace;
    TraceView view(trace);
    view.onPercent = std::move(onPercent);
    EventRecorder events;
    ScanSession session(events, &view);
    session.setFirstReportPause(std::chrono::milliseconds(0));
    EXPECT_TRUE(session.Start(CreateRecovery(kSourceBackup, store, folders, nullptr), ""));
    if (whileRunning) whileRunning(session);
    session.Wait();
    trace.events = events.events();
    trace.result = session.result();
    trace.outcome = session.outcome().kind;
    std::ostringstream out;
    cli::WriteScanJson(out, folder.string(), session.result(), trace.events, session.outcome(),
                       session.results());
    trace.json = out.str();
    return trace;
  }

  static void expectSame(const ScanTrace& ahead, const ScanTrace& alone) {
    EXPECT_EQ(ahead.result, alone.result);
    EXPECT_EQ(ahead.percents, alone.percents);
    EXPECT_EQ(ahead.handOvers, alone.handOvers);
    EXPECT_EQ(ahead.events, alone.events);
    EXPECT_EQ(ahead.json, alone.json);  // every record, status, path and skipped file, in order
  }

  // Every way of working ahead against the scan that works ahead on nothing;
  // the trace of the scan that does all of it.
  ScanTrace expectSameScan(const fs::path& folder) {
    const ScanTrace alone = scan(folder, kSequential);
    EXPECT_EQ(alone.result, kOk);
    ScanTrace ahead;
    for (const AheadMode& mode : kAheadModes) {
      SCOPED_TRACE(mode.name);
      ahead = scan(folder, mode);
      expectSame(ahead, alone);
    }
    return ahead;
  }

  // A heavy user's phone, scaled down: thousands of rows in every record
  // database (a fifth of them deleted) and photos over several probing batches.
  fs::path writeGeneratedBackup() {
    builder::BigBackupScale scale;
    scale.messages = 3000;
    const fs::path folder = BackupRoot(folders.appDataFolder()) / "big";
    std::string error;
    EXPECT_TRUE(builder::WriteBigBackup(folder, scale, "", false, &error)) << error;
    return folder;
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

TEST_F(ProbeAheadScanTest, AGeneratedBackupScansTheSame) {
  const ScanTrace trace = expectSameScan(writeGeneratedBackup());
  // Every record database was read and handed over with its records.
  for (const ScanCategory category :
       {ScanCategory::Messages, ScanCategory::Contacts, ScanCategory::CallHistory, ScanCategory::Notes,
        ScanCategory::WhatsApp}) {
    const auto handed = std::find_if(trace.handOvers.begin(), trace.handOvers.end(),
                                     [&](const auto& h) { return h.first == category; });
    ASSERT_NE(handed, trace.handOvers.end());
    EXPECT_GT(handed->second, 0u);
  }
}

// Cancelled while the camera roll is probed and the databases are read
// beside it, a scan ends at once as cancelled, hands nothing over, and the
// next scan of the same store (a fresh Open) is the scan of a fresh store.
TEST_F(ProbeAheadScanTest, ACancelDuringTheCameraRollLeavesNothingForTheNextScan) {
  const fs::path folder = writeGeneratedBackup();
  const ScanTrace fresh = scan(folder, kSequential);
  ASSERT_EQ(fresh.result, kOk);

  for (const AheadMode& mode : kAheadModes) {
    SCOPED_TRACE(mode.name);
    BackupStore store(folders, BackupRoot(folders.appDataFolder()));
    // Open ends with the percent at 12: the reports after it are the camera roll's.
    std::mutex mutex;
    std::condition_variable opened;
    bool pastOpen = false;
    const auto signalPastOpen = [&](int32_t percent) {
      if (percent < 12) return;
      const std::lock_guard lock(mutex);
      pastOpen = true;
      opened.notify_all();
    };
    const auto cancelInTheCameraRoll = [&](ScanSession& session) {
      {
        std::unique_lock lock(mutex);
        opened.wait(lock, [&] { return pastOpen; });
      }
      session.TogglePause();  // the scan thread stops at its next report, inside the camera roll
      session.Cancel();
    };
    const ScanTrace cancelled = scanWith(store, folder, mode, signalPastOpen, cancelInTheCameraRoll);
    EXPECT_EQ(cancelled.result, kCancelled);
    EXPECT_EQ(cancelled.outcome, ScanOutcomeKind::Cancelled);
    EXPECT_TRUE(cancelled.handOvers.empty());

    expectSame(scanWith(store, folder, mode), fresh);
  }
}

}  // namespace
}  // namespace fq
