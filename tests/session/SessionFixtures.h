#pragma once
// Small fixtures of the session tests: a scratch folder, environment
// variables set for one test, and fakes of a recovery object and a device
// backup driver.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/session/IDeviceBackupDriver.h"
#include "engine/session/IPhoneRecoveryParse.h"

namespace fq::testsupport {

namespace fs = std::filesystem;

// A fresh folder removed again at the end of the test.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "fq-session-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) m_path = pattern;
  }
  ~ScratchFolder() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
  }
  const fs::path& path() const { return m_path; }
  fs::path operator/(const std::string& name) const { return m_path / name; }

 private:
  fs::path m_path;
};

// Sets an environment variable for the lifetime of the object (TZ also
// re-reads the zone).
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : m_name(name) {
    if (const char* old = getenv(name)) m_old = old;
    setenv(name, value.c_str(), 1);
    tzset();
  }
  ~ScopedEnv() {
    if (m_old) {
      setenv(m_name, m_old->c_str(), 1);
    } else {
      unsetenv(m_name);
    }
    tzset();
  }

 private:
  const char* m_name;
  std::optional<std::string> m_old;
};

inline void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A recovery object whose answers the test sets: Open's result, each
// category's result and records, and the progress it reports on the way.
class FakeRecovery : public IPhoneRecoveryParse {
 public:
  int32_t openResult = 0;
  std::vector<int32_t> openReports = {1, 12};
  // Results of the nine category operations in the scan's order.
  std::vector<int32_t> categoryResults = std::vector<int32_t>(9, 0);
  // Percent points each category reports after its work (like the store's).
  int32_t pointsPerCategory = 10;
  std::vector<std::string> calls;
  // Runs inside the category of the given order (0-based) before it reports.
  std::function<void(int)> duringCategory;
  // Runs at the start of Open.
  std::function<void()> duringOpen;
  MediaFileRecord cameraRollFile{};
  bool fillCameraRoll = false;
  bool fillContacts = false;
  bool* destroyed = nullptr;
  bool throwInOpen = false;
  int throwInCategory = -1;

  ~FakeRecovery() override {
    if (destroyed) *destroyed = true;
  }
  int32_t Attach(BackupStore*) override { return 0; }
  int32_t SetProgressCallback(ProgressCallback callback) override {
    m_callback = std::move(callback);
    return 0;
  }
  bool Reserved3(void*) override { return true; }
  int32_t Open(const std::string&) override {
    calls.push_back("Open");
    if (throwInOpen) throw std::runtime_error("damaged manifest");
    if (duringOpen) duringOpen();
    for (int32_t p : openReports) {
      m_current = p;
      if (const int32_t answer = report(p); answer != 0) return answer;
    }
    return openResult;
  }
  int32_t ScanPhotos(std::vector<MediaFileRecord>& cameraRoll, std::vector<MediaFileRecord>&) override {
    if (fillCameraRoll) cameraRoll.push_back(cameraRollFile);
    return category(0, "ScanPhotos");
  }
  int32_t ScanMessages(ConversationMap&) override { return category(1, "ScanMessages"); }
  int32_t ScanMessageAttachments(std::vector<AttachmentFileRecord>&) override {
    return category(2, "ScanMessageAttachments");
  }
  int32_t ScanContacts(std::vector<ContactRecord>& contacts) override {
    if (fillContacts) contacts.push_back(ContactRecord{0, "", "", "", "", "555", "", "Ann"});
    return category(3, "ScanContacts");
  }
  int32_t ScanCallHistory(std::vector<CallRecord>&) override { return category(4, "ScanCallHistory"); }
  int32_t ScanNotes(std::vector<NoteRecord>&) override { return category(5, "ScanNotes"); }
  int32_t ScanAppFiles(std::vector<AppFileRecord>&) override { return category(6, "ScanAppFiles"); }
  int32_t ScanWhatsApp(WhatsAppChatMap&) override { return category(7, "ScanWhatsApp"); }
  int32_t ScanWhatsAppAttachments(std::vector<MediaFileRecord>&) override {
    return category(8, "ScanWhatsAppAttachments");
  }
  int32_t ExtractPreview(const fs::path&, fs::path&, const ProgressCallback&) override { return 87; }
  int32_t CopyOut(const fs::path&, const fs::path&, const CopyProgressCallback&) override { return 87; }
  int32_t ExportMessagesCsv(const fs::path&) override { return 0; }
  int32_t ExportContactsCsv(const fs::path&) override { return 0; }

 private:
  int32_t report(int32_t percent) { return m_callback ? m_callback(percent) : 0; }
  int32_t category(int order, const char* name) {
    calls.push_back(name);
    if (order == throwInCategory) throw std::bad_alloc();
    if (duringCategory) duringCategory(order);
    m_current += pointsPerCategory;
    const int32_t answer = report(m_current);
    if (answer != 0) return answer;
    return categoryResults[static_cast<size_t>(order)];
  }
  ProgressCallback m_callback;
  int32_t m_current = 0;
};

// A device backup driver that "backs up" by writing a small backup folder.
class FakeDriver : public IDeviceBackupDriver {
 public:
  int32_t backupResult = 0;
  bool above9 = true;
  bool above11 = true;
  std::string udid = "00008030-001A2B3C4D5E6F70";
  // Stored files the fake backup holds: file id -> content.
  std::vector<std::pair<std::string, std::string>> storedFiles;
  // A backup folder reported in place of the real one (a misbehaving driver).
  std::optional<fs::path> reportFolder;
  fs::path backupTarget;
  std::string password;
  int32_t share = 0;
  int32_t mode = 0;
  int quits = 0;

  void SetProgress(ProgressCallback callback, int32_t s) override {
    m_callback = std::move(callback);
    share = s;
  }
  void SetMode(int32_t m) override { mode = m; }
  int32_t Backup(const fs::path& folder, const std::string& pw) override {
    backupTarget = folder;
    password = pw;
    if (backupResult != 0) return backupResult;
    m_folder = folder / udid;
    for (const auto& [id, content] : storedFiles) {
      WriteFile(above9 ? m_folder / id.substr(0, 2) / id : m_folder / id, content);
    }
    WriteFile(m_folder / "Info.plist", "<plist/>");
    WriteFile(m_folder / "Snapshot" / "Manifest.db", "snap");
    return 0;
  }
  fs::path GetBackupFolder() const override { return reportFolder ? *reportFolder : m_folder; }
  bool VersionAbove9() const override { return above9; }
  bool VersionAbove11() const override { return above11; }
  void RaiseQuit() override { ++quits; }
  int32_t Disconnect() override { return 0; }

 private:
  ProgressCallback m_callback;
  fs::path m_folder;
};

}  // namespace fq::testsupport
