#include "engine/media/ProbeAhead.h"

#include <algorithm>
#include <utility>

namespace fq {

ProbeAhead::~ProbeAhead() { Stop(); }

void ProbeAhead::Start(const std::vector<ManifestEntry>& entries, std::filesystem::path folder,
                       StorageLayout layout, Pick pick) {
  Stop();
  m_entries = &entries;
  m_folder = folder;
  m_layout = layout;
  {
    const std::lock_guard lock(m_mutex);
    m_batches.assign((entries.size() + kBatch - 1) / kBatch, Batch{});
    m_done = 0;
    m_finished = false;
    m_stop = false;
  }
  m_worker = std::thread([this, &entries, folder = std::move(folder), layout, pick = std::move(pick)] {
    try {
      Run(entries, folder, layout, pick);
    } catch (...) {
      // The scan probes what the worker did not; nothing may end the process.
    }
    {
      const std::lock_guard lock(m_mutex);
      m_finished = true;
    }
    m_progress.notify_all();
  });
}

void ProbeAhead::Run(const std::vector<ManifestEntry>& entries, const std::filesystem::path& folder,
                     StorageLayout layout, const Pick& pick) {
  for (size_t begin = 0; begin < entries.size(); begin += kBatch) {
    {
      const std::lock_guard lock(m_mutex);
      if (m_stop) break;
    }
    Batch batch;
    std::vector<std::filesystem::path> paths;
    for (size_t i = begin; i < std::min(entries.size(), begin + kBatch); ++i) {
      if (!pick(entries[i])) continue;
      batch.picked.push_back(i);
      paths.push_back(StoredFilePath(folder, entries[i].fileId, layout));
    }
    batch.probes = ProbeStoredFiles(paths);
    {
      const std::lock_guard lock(m_mutex);
      m_batches[begin / kBatch] = std::move(batch);
      m_done = begin / kBatch + 1;
    }
    m_progress.notify_all();
  }
}

bool ProbeAhead::Take(size_t begin, std::span<const size_t> picked, std::vector<std::filesystem::path>& paths,
                      std::vector<StoredFileProbe>& probes) {
  if (begin % kBatch != 0) return false;
  const size_t number = begin / kBatch;
  std::unique_lock lock(m_mutex);
  if (number >= m_batches.size()) return false;
  m_progress.wait(lock, [&] { return m_done > number || m_finished; });
  if (m_done <= number) return false;
  Batch& batch = m_batches[number];
  if (!std::equal(batch.picked.begin(), batch.picked.end(), picked.begin(), picked.end()) ||
      batch.probes.size() != batch.picked.size()) {
    return false;
  }
  paths.clear();
  paths.reserve(batch.picked.size());
  for (const size_t i : batch.picked)
    paths.push_back(StoredFilePath(m_folder, (*m_entries)[i].fileId, m_layout));
  probes = std::move(batch.probes);
  batch = Batch{};
  return true;
}

void ProbeAhead::Stop() {
  {
    const std::lock_guard lock(m_mutex);
    m_stop = true;
  }
  if (m_worker.joinable()) m_worker.join();
  const std::lock_guard lock(m_mutex);
  m_batches.clear();
  m_done = 0;
  m_finished = true;
}

}  // namespace fq
