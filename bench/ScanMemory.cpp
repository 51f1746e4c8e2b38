// Peak memory of a scan set against what its results hold: scans a backup
// folder in this process as `fernquill-cli scan` does, then prints the peak
// resident size, the bytes the result lists occupy on the heap (records,
// their strings and paths, the vectors and maps holding them) and the
// difference, which is what the scan needs beyond its results. Then it builds
// the selection `recover` builds from those results (one entry per listed
// item, which decides what is written) and prints its heap bytes, measured
// by the allocator: a recovery's budget holds them beside the result lists.
//
//   scan_memory BACKUP_FOLDER
#include <malloc.h>
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/backup/BackupDiscovery.h"
#include "engine/session/AppFileSplit.h"
#include "engine/session/BackupStore.h"
#include "engine/session/EventRecorder.h"
#include "engine/session/RecoveryFactory.h"
#include "engine/session/ScanSession.h"
#include "engine/session/WorkFolders.h"
#include "output/CStatisticsObj.h"
#include "output/Selection.h"

namespace {

// glibc's malloc: 16 bytes of bookkeeping a block, sizes rounded to 16.
size_t Block(size_t bytes) { return bytes == 0 ? 0 : ((bytes + 8 + 15) / 16) * 16; }

size_t HeapOf(const std::string& s) { return s.capacity() > 15 ? Block(s.capacity() + 1) : 0; }

// A path keeps its text and, for more than one component, a list of them.
size_t HeapOf(const std::filesystem::path& p) {
  size_t bytes = HeapOf(p.native());
  size_t components = 0;
  for (const auto& c : p) {
    ++components;
    bytes += HeapOf(c.native());
  }
  if (components > 1) bytes += Block(16 + components * sizeof(std::filesystem::path));
  return bytes;
}

size_t HeapOf(const fq::MediaFileRecord& r) { return HeapOf(r.name) + HeapOf(r.path); }
size_t HeapOf(const fq::AttachmentFileRecord& r) { return HeapOf(r.name) + HeapOf(r.path); }
size_t HeapOf(const fq::AppFileRecord& r) { return HeapOf(r.appName) + HeapOf(r.name) + HeapOf(r.path); }
size_t HeapOf(const fq::MessageRecord& r) {
  return HeapOf(r.date) + HeapOf(r.address) + HeapOf(r.contactName) + HeapOf(r.text) + HeapOf(r.attachment);
}
size_t HeapOf(const fq::ContactRecord& r) {
  return HeapOf(r.email) + HeapOf(r.address) + HeapOf(r.social) + HeapOf(r.url) + HeapOf(r.phone) +
         HeapOf(r.company) + HeapOf(r.name);
}
size_t HeapOf(const fq::CallRecord& r) { return HeapOf(r.date) + HeapOf(r.number) + HeapOf(r.name); }
size_t HeapOf(const fq::NoteRecord& r) { return HeapOf(r.date) + HeapOf(r.title) + HeapOf(r.body); }
size_t HeapOf(const fq::WhatsAppMessageRecord& r) {
  return HeapOf(r.date) + HeapOf(r.senderName) + HeapOf(r.text) + HeapOf(r.senderPhone) +
         HeapOf(r.chatTitle) + HeapOf(r.chatPhones) + HeapOf(r.partnerName) + HeapOf(r.spare);
}

template <typename Record>
size_t HeapOf(const std::vector<Record>& list) {
  size_t bytes = Block(list.capacity() * sizeof(Record));
  for (const Record& r : list) bytes += HeapOf(r);
  return bytes;
}

template <typename Key, typename Record>
size_t HeapOf(const std::map<Key, std::vector<Record>>& lists) {
  size_t bytes = 0;
  for (const auto& [key, list] : lists)
    bytes += Block(32 + sizeof(std::pair<const Key, std::vector<Record>>)) + HeapOf(list);
  return bytes;
}

size_t ResultBytes(const fq::ScanResults& r) {
  return HeapOf(r.cameraRoll) + HeapOf(r.photoStream) + HeapOf(r.conversations) +
         HeapOf(r.messageAttachments) + HeapOf(r.contacts) + HeapOf(r.calls) + HeapOf(r.notes) +
         HeapOf(r.appFiles) + HeapOf(r.whatsAppChats) + HeapOf(r.whatsAppAttachments);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: scan_memory BACKUP_FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = std::filesystem::absolute(argv[1]);
  const auto work = std::filesystem::temp_directory_path() / "fernquill-scan-memory";
  fq::WorkFolders folders(work);
  fq::BackupStore store(folders, fq::BackupRoot(work));
  fq::BackupInfo info;
  if (fq::ReadBackupFolder(folder, info) != 0) {
    std::fprintf(stderr, "%s is not a readable backup folder\n", folder.c_str());
    return 1;
  }
  store.SelectBackup(info);
  fq::EventRecorder events;
  fq::ScanSession session(events);
  session.setFirstReportPause(std::chrono::milliseconds(0));
  if (!session.Start(fq::CreateRecovery(fq::kSourceBackup, store, folders, nullptr), "")) return 1;
  session.Wait();

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const size_t peakKiB = static_cast<size_t>(usage.ru_maxrss);
  const size_t resultKiB = ResultBytes(session.results()) / 1024;
  size_t selectionKiB = 0;
  {
    // Everything `recover` selects by default, as it selects it. The split of
    // the application files is a copy of records, which no budget allows: it
    // is made before the count starts.
    const fq::AppFileSplit apps = fq::SplitAppFiles(session.results().appFiles);
    const size_t before = mallinfo2().uordblks;
    fq::CStatisticsObj statistics;
    fq::SelectForRecovery(session.results(), apps.photos, apps.videos, fq::RecoveryRequest{}, statistics);
    // The job walks this list of the items it writes.
    [[maybe_unused]] const auto items = statistics.RecoveryItems();
    selectionKiB = (mallinfo2().uordblks - before) / 1024;
  }
  std::printf("peak_rss_kib %zu result_kib %zu beyond_results_kib %zd selection_kib %zu\n", peakKiB,
              resultKiB, static_cast<ssize_t>(peakKiB) - static_cast<ssize_t>(resultKiB), selectionKiB);
  std::filesystem::remove_all(work);
  return session.result() == 0 ? 0 : 1;
}
