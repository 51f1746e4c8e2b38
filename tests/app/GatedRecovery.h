#pragma once
// A recovery object over a real one whose file copies wait until the gate
// opens: a test can look at or act on a recovery that is surely still running.
#include <condition_variable>
#include <filesystem>
#include <mutex>

#include "engine/session/IPhoneRecoveryParse.h"

namespace fq::app::test {

class GatedRecovery : public IPhoneRecoveryParse {
 public:
  // The first `passing` copies go through before the gate is shut.
  explicit GatedRecovery(IPhoneRecoveryParse& inner, int passing = 0) : m_inner(inner), m_passing(passing) {}
  void open() {
    std::lock_guard lock(m_mutex);
    m_open = true;
    m_changed.notify_all();
  }
  int32_t Attach(BackupStore* s) override { return m_inner.Attach(s); }
  int32_t SetProgressCallback(ProgressCallback c) override {
    return m_inner.SetProgressCallback(std::move(c));
  }
  bool Reserved3(void* p) override { return m_inner.Reserved3(p); }
  int32_t Open(const std::string& p) override { return m_inner.Open(p); }
  int32_t ScanMessages(ConversationMap& m) override { return m_inner.ScanMessages(m); }
  int32_t ScanMessageAttachments(std::vector<AttachmentFileRecord>& f) override {
    return m_inner.ScanMessageAttachments(f);
  }
  int32_t ScanContacts(std::vector<ContactRecord>& c) override { return m_inner.ScanContacts(c); }
  int32_t ScanNotes(std::vector<NoteRecord>& n) override { return m_inner.ScanNotes(n); }
  int32_t ScanCallHistory(std::vector<CallRecord>& c) override { return m_inner.ScanCallHistory(c); }
  int32_t ScanPhotos(std::vector<MediaFileRecord>& a, std::vector<MediaFileRecord>& b) override {
    return m_inner.ScanPhotos(a, b);
  }
  int32_t ScanWhatsAppAttachments(std::vector<MediaFileRecord>& f) override {
    return m_inner.ScanWhatsAppAttachments(f);
  }
  int32_t ScanAppFiles(std::vector<AppFileRecord>& f) override { return m_inner.ScanAppFiles(f); }
  int32_t ScanWhatsApp(WhatsAppChatMap& c) override { return m_inner.ScanWhatsApp(c); }
  int32_t ExtractPreview(const std::filesystem::path& s, std::filesystem::path& o,
                         const ProgressCallback& c) override {
    return m_inner.ExtractPreview(s, o, c);
  }
  int32_t CopyOut(const std::filesystem::path& s, const std::filesystem::path& d,
                  const CopyProgressCallback& c) override {
    {
      std::unique_lock lock(m_mutex);
      if (m_passing > 0) {
        --m_passing;
      } else {
        m_changed.wait(lock, [this] { return m_open; });
      }
    }
    return m_inner.CopyOut(s, d, c);
  }
  int32_t ExportMessagesCsv(const std::filesystem::path& d) override { return m_inner.ExportMessagesCsv(d); }
  int32_t ExportContactsCsv(const std::filesystem::path& d) override { return m_inner.ExportContactsCsv(d); }

 private:
  IPhoneRecoveryParse& m_inner;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_open = false;
  int m_passing;
};

}  // namespace fq::app::test
