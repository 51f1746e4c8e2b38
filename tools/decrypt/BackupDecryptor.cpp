#include "tools/decrypt/BackupDecryptor.h"

#include <openssl/crypto.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <set>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/backup/StoredFilePath.h"
#include "engine/sqlite/ReadOnlyDatabase.h"
#include "tools/decrypt/ClassKeys.h"
#include "tools/decrypt/FileCipher.h"
#include "tools/decrypt/Folder.h"
#include "tools/decrypt/KeyDerivation.h"
#include "tools/decrypt/Keybag.h"
#include "tools/decrypt/ManifestPlist.h"
#include "tools/decrypt/MbFile.h"
#include "tools/decrypt/MbdbFileKeys.h"

namespace fq::decrypt {
namespace {

namespace fs = std::filesystem;

struct FileJob {
  std::string fileId;
  std::string source;            // relative to the backup folder; empty for no stored file
  std::vector<uint8_t> keyBlob;  // empty: stored in the clear
  uint32_t protectionClass = 0;  // from the record, when the blob has no class
  std::optional<uint64_t> size;
  bool unreadableRecord = false;
};

bool isFileId(const std::string& id) {
  return id.size() == 40 && std::all_of(id.begin(), id.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

std::optional<Key256> fileKey(const ClassKeys& keys, const FileJob& job, KeyUnwrapper& with) {
  const std::span<const uint8_t> blob = job.keyBlob;
  if (blob.size() == 40) return keys.unwrapFileKey(job.protectionClass, blob, with);
  if (auto key = keys.unwrapFileKey(blob, with)) return key;
  if (blob.size() > 4) return keys.unwrapFileKey(job.protectionClass, blob.subspan(4), with);
  return std::nullopt;
}

class Run {
 public:
  Run(const DecryptOptions& options, const LineSink& emit) : m_options(options), m_emit(emit) {}

  DecryptStatus execute();

 private:
  void say(const std::string& line) {
    std::lock_guard lock(m_outputLock);
    m_emit(line);
  }
  DecryptStatus fail(const std::string& why) {
    say("Error: " + why);
    return DecryptStatus::Failed;
  }
  bool collectFromManifestDb(const ManifestPlist& manifest);
  bool collectFromMbdb();
  void worker();
  void decryptOne(const FileJob& job, FileDecryptor& decryptor, KeyUnwrapper& unwrapper);
  void stopAll(const std::string& reason);

  const DecryptOptions& m_options;
  const LineSink& m_emit;
  std::mutex m_outputLock;
  ClassKeys m_keys;
  std::vector<FileJob> m_jobs;
  Folder m_backup;
  Folder m_output;
  std::atomic<size_t> m_next{0};
  std::atomic<size_t> m_done{0};
  std::atomic<bool> m_fatal{false};
  std::string m_fatalReason;
  std::mutex m_progressLock;
  std::condition_variable m_progress;
};

DecryptStatus Run::execute() {
  std::string error;
  const auto manifest = ReadManifestPlist(m_options.backupFolder / "Manifest.plist", error);
  if (!manifest) return fail(error);
  const auto keybag = ParseKeybag(manifest->backupKeyBag, error);
  if (!keybag) return fail(error);
  auto kek = DeriveKeyEncryptionKey(m_options.password, *keybag);
  if (!kek) return fail("the key could not be derived");
  const UnlockResult unlocked = m_keys.unlock(*keybag, *kek);
  OPENSSL_cleanse(kek->data(), kek->size());
  if (unlocked == UnlockResult::WrongPassword) {
    say("Wrong password");
    return DecryptStatus::WrongPassword;
  }
  if (unlocked != UnlockResult::Ok) return fail("the keybag holds no class key the password opens");

  std::error_code ec;
  // The copy goes into a folder of ours, never into (or under) the backup.
  const fs::path backup = fs::weakly_canonical(m_options.backupFolder, ec);
  const fs::path output = fs::weakly_canonical(m_options.outputFolder, ec);
  const auto [b, o] = std::mismatch(backup.begin(), backup.end(), output.begin(), output.end());
  if (b == backup.end()) return fail("the output folder lies inside the backup folder");
  fs::create_directories(m_options.outputFolder, ec);
  if (ec) return fail("cannot create " + m_options.outputFolder.string() + ": " + ec.message());
  m_output = Folder::Open(m_options.outputFolder);
  if (!m_output.ok())
    return fail("cannot open " + m_options.outputFolder.string() + ": " + std::strerror(m_output.error()));

  // Regular files only: a FIFO or device planted under these names would
  // block the read forever.
  if (fs::is_regular_file(m_options.backupFolder / "Manifest.db", ec)) {
    if (!collectFromManifestDb(*manifest)) return DecryptStatus::Failed;
  } else if (fs::is_regular_file(m_options.backupFolder / "Manifest.mbdb", ec)) {
    if (!collectFromMbdb()) return DecryptStatus::Failed;
  } else {
    return fail("the backup has neither Manifest.db nor Manifest.mbdb");
  }

  // One job per file id: two rows naming the same id must not have two
  // workers writing the same copy at once.
  std::set<std::string> seen;
  std::erase_if(m_jobs, [&seen](const FileJob& job) { return !seen.insert(job.fileId).second; });

  m_backup = Folder::Open(m_options.backupFolder);
  if (!m_backup.ok())
    return fail("cannot open the backup folder: " + std::string(std::strerror(m_backup.error())));

  say("Count: 0");
  const unsigned workers = std::clamp(m_options.workers, 1u, 16u);
  std::vector<std::thread> threads;
  for (unsigned i = 0; i < workers; ++i) threads.emplace_back([this] { worker(); });

  // The count goes out at most every 50 ms: a line per file would cost the
  // reader and this process more than the small files themselves.
  size_t reported = 0;
  {
    std::unique_lock lock(m_progressLock);
    const auto finished = [this] { return m_done.load() >= m_jobs.size() || m_fatal.load(); };
    while (!m_progress.wait_for(lock, std::chrono::milliseconds(50), finished)) {
      const size_t done = m_done.load();
      if (done == reported) continue;
      lock.unlock();
      say("Count: " + std::to_string(done));
      reported = done;
      lock.lock();
    }
  }
  for (auto& t : threads) t.join();
  if (m_fatal.load()) return fail(m_fatalReason);
  say("Count: " + std::to_string(m_done.load()));
  return DecryptStatus::Done;
}

bool Run::collectFromManifestDb(const ManifestPlist& manifest) {
  const fs::path source = m_options.backupFolder / "Manifest.db";
  const fs::path target = m_options.outputFolder / kDecryptedManifestName;
  if (manifest.manifestKey) {
    const auto key = m_keys.unwrapFileKey(*manifest.manifestKey);
    if (!key) {
      fail("the manifest key cannot be unwrapped");
      return false;
    }
    DecryptedFileReport report;
    if (DecryptFile(*key, source, target, report) != CipherResult::Ok || !report.paddingValid) {
      fail("Manifest.db cannot be decrypted");
      return false;
    }
  } else {
    // Backups of iOS 10.0 and 10.1 keep Manifest.db in the clear.
    uint64_t written = 0;
    if (CopyPlainFile(source, target, written) != CipherResult::Ok) {
      fail("Manifest.db cannot be copied");
      return false;
    }
  }

  ReadOnlyDatabase db(target);
  sqlite3_stmt* raw = nullptr;
  if (!db.ok() || sqlite3_prepare_v2(db.handle(), "SELECT fileID, flags, file FROM Files", -1, &raw,
                                     nullptr) != SQLITE_OK) {
    sqlite3_finalize(raw);
    fail("the decrypted Manifest.db has no readable Files table");
    return false;
  }
  std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
  int rc;
  while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
    const auto* idText = sqlite3_column_text(raw, 0);
    std::string id = idText != nullptr ? reinterpret_cast<const char*>(idText) : "";
    if (sqlite3_column_type(raw, 1) == SQLITE_INTEGER && sqlite3_column_int64(raw, 1) != 1) continue;
    if (!isFileId(id)) {
      // Never echoed: a hostile id could spell a line of the protocol.
      say("Warning: a manifest row without a valid file id was skipped");
      continue;
    }
    FileJob job;
    job.fileId = id;
    job.source = StoredFilePath(fs::path(), id, StorageLayout::TwoCharacterFolders).string();
    const auto* blob = static_cast<const uint8_t*>(sqlite3_column_blob(raw, 2));
    const int blobSize = sqlite3_column_bytes(raw, 2);
    if (blob != nullptr && blobSize > 0) {
      if (const auto file = DecodeMbFile({blob, static_cast<size_t>(blobSize)})) {
        job.keyBlob = file->encryptionKey;
        job.protectionClass = file->protectionClass;
        job.size = file->size;
      } else {
        // Its key is unknown: a copy of the cipher text would pass for content.
        say("Warning: " + id + " has an unreadable file record; skipped");
        job.unreadableRecord = true;
      }
    }
    m_jobs.push_back(std::move(job));
  }
  if (rc != SQLITE_DONE) {
    fail("the decrypted Manifest.db cannot be read to its end");
    return false;
  }
  return true;
}

bool Run::collectFromMbdb() {
  std::vector<uint8_t> bytes;
  std::vector<MbdbFileKey> files;
  if (!ReadSmallFile(m_options.backupFolder / "Manifest.mbdb", bytes, 1ull << 30) ||
      !ParseMbdbFileKeys(bytes, files)) {
    fail("Manifest.mbdb cannot be read");
    return false;
  }
  for (auto& f : files) {
    FileJob job;
    job.fileId = f.fileId;
    job.source = StoredFilePath(fs::path(), f.fileId, StorageLayout::Flat).string();
    job.keyBlob = std::move(f.encryptionKey);
    job.protectionClass = f.protectionClass;
    job.size = f.size;
    m_jobs.push_back(std::move(job));
  }
  return true;
}

void Run::worker() {
  // Their contexts and buffers serve every file of this thread.
  FileDecryptor decryptor;
  KeyUnwrapper unwrapper;
  for (;;) {
    if (m_fatal.load()) return;
    const size_t i = m_next.fetch_add(1);
    if (i >= m_jobs.size()) return;
    decryptOne(m_jobs[i], decryptor, unwrapper);
    if (m_done.fetch_add(1) + 1 == m_jobs.size()) {
      std::lock_guard lock(m_progressLock);
      m_progress.notify_one();
    }
  }
}

void Run::stopAll(const std::string& reason) {
  std::lock_guard lock(m_progressLock);
  if (!m_fatal.exchange(true)) m_fatalReason = reason;
  m_progress.notify_one();
}

// Whether a failed open means there is no stored file to read, rather than
// one that cannot be read.
bool isAbsent(int error) {
  return error == ENOENT || error == ENOTDIR || error == EISDIR || error == EINVAL || error == ELOOP ||
         error == ENAMETOOLONG;
}

void Run::decryptOne(const FileJob& job, FileDecryptor& decryptor, KeyUnwrapper& unwrapper) {
  const char* target = job.fileId.c_str();
  UniqueFd source;
  struct stat status {};
  const int opened = job.source.empty() ? ENOENT : m_backup.openRegular(job.source.c_str(), source, status);
  if (opened != 0 && isAbsent(opened)) {
    if (job.size.value_or(0) != 0) say("Warning: " + job.fileId + " is not in the backup");
    return;
  }
  if (job.unreadableRecord) return;
  CipherResult result = CipherResult::CannotRead;
  DecryptedFileReport report;
  const auto size = static_cast<uint64_t>(status.st_size);
  if (job.keyBlob.empty()) {
    // Encrypted backups store empty files without a key; anything else without
    // one is kept as it lies, and said so.
    if (job.size.value_or(0) != 0) say("Warning: " + job.fileId + " has no key; copied as stored");
    if (opened == 0) result = decryptor.copyInto(source, size, m_output, target, report.bytesWritten);
  } else {
    const auto key = fileKey(m_keys, job, unwrapper);
    if (!key) {
      say("Warning: " + job.fileId + " has a key that cannot be unwrapped; skipped");
      return;
    }
    if (opened == 0) result = decryptor.decryptInto(*key, source, size, m_output, target, report);
  }
  switch (result) {
    case CipherResult::Ok:
      break;
    case CipherResult::CannotRead:
      say("Warning: " + job.fileId + " cannot be read; skipped");
      m_output.remove(target);
      return;
    case CipherResult::CannotWrite:
    case CipherResult::CipherFailed:
      stopAll("cannot write " + (m_options.outputFolder / job.fileId).string());
      return;
  }
  if (!job.keyBlob.empty() && !report.paddingValid)
    say("Warning: " + job.fileId + " has no valid padding; kept as decrypted");
  if (report.trailingBytes != 0)
    say("Warning: " + job.fileId + " ends with " + std::to_string(report.trailingBytes) +
        " bytes short of a block; they were dropped");
  if (job.size && *job.size != report.bytesWritten)
    say("Warning: " + job.fileId + " holds " + std::to_string(report.bytesWritten) +
        " bytes, the manifest says " + std::to_string(*job.size));
}

}  // namespace

DecryptStatus DecryptBackup(const DecryptOptions& options, const LineSink& emit) {
  Run run(options, emit);
  return run.execute();
}

}  // namespace fq::decrypt
