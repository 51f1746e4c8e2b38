#pragma once
// Probes the stored files a later manifest scan will look at on a worker
// thread, batch by batch in manifest order, while the scan thread reads the
// databases before it: opening thousands of files overlaps that reading. The
// scan takes each batch's probes when it comes to it, so it lists, reports
// and skips exactly as when it probes them itself. Files are only read.
#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "engine/backup/ManifestEntry.h"
#include "engine/backup/StoredFilePath.h"
#include "engine/media/FileType.h"

namespace fq {

class ProbeAhead {
 public:
  // Entries per batch: the manifest scans walk the manifest in the same batches.
  static constexpr size_t kBatch = 256;
  using Pick = std::function<bool(const ManifestEntry&)>;

  ProbeAhead() = default;
  ~ProbeAhead();  // stops the worker and waits for it
  ProbeAhead(const ProbeAhead&) = delete;
  ProbeAhead& operator=(const ProbeAhead&) = delete;

  // Starts a worker probing the stored files (in `folder`, laid out as
  // `layout`) of the entries `pick` selects. `entries` must stay unchanged
  // until Stop. An earlier run is stopped first.
  void Start(const std::vector<ManifestEntry>& entries, std::filesystem::path folder, StorageLayout layout,
             Pick pick);
  // The stored files and probes of the batch that starts at entry `begin`,
  // whose picked entries are `picked`: the worker's, waiting for it to come
  // that far. False (nothing taken) when the worker picked other entries,
  // was stopped, or never ran: the caller probes them itself.
  bool Take(size_t begin, std::span<const size_t> picked, std::vector<std::filesystem::path>& paths,
            std::vector<StoredFileProbe>& probes);
  // Ends the worker (after its current batch) and waits for it.
  void Stop();

 private:
  // The paths are built again when a batch is taken: held for every
  // application file of a large backup they would cost more than the probes.
  struct Batch {
    std::vector<size_t> picked;
    std::vector<StoredFileProbe> probes;
  };
  void Run(const std::vector<ManifestEntry>& entries, const std::filesystem::path& folder,
           StorageLayout layout, const Pick& pick);

  // Set by Start before the worker runs, then only read.
  const std::vector<ManifestEntry>* m_entries = nullptr;
  std::filesystem::path m_folder;
  StorageLayout m_layout = StorageLayout::Flat;

  std::mutex m_mutex;
  std::condition_variable m_progress;
  std::vector<Batch> m_batches;  // by batch number, sized before the worker starts
  size_t m_done = 0;             // batches the worker finished
  bool m_finished = true;        // no worker runs (or it has ended)
  bool m_stop = false;
  std::thread m_worker;
};

}  // namespace fq
