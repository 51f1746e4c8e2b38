// Any bytes as every phone database at once, read through the category
// readers from a file: the page cache, the library probes, the joins of
// messages, chats and contact names must end cleanly on them.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/categories/CallHistoryReader.h"
#include "engine/categories/ContactsReader.h"
#include "engine/categories/MessagesReader.h"
#include "engine/categories/NotesReader.h"
#include "engine/categories/WhatsAppReader.h"

namespace {

// The input as a file without touching the disk.
class MemoryFile {
 public:
  MemoryFile(const uint8_t* data, size_t size) : m_fd(memfd_create("fuzz-database", MFD_CLOEXEC)) {
    if (m_fd < 0) return;
    size_t done = 0;
    while (done < size) {
      const ssize_t wrote = ::write(m_fd, data + done, size - done);
      if (wrote <= 0) break;
      done += static_cast<size_t>(wrote);
    }
  }
  ~MemoryFile() {
    if (m_fd >= 0) ::close(m_fd);
  }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;
  bool ok() const { return m_fd >= 0; }
  std::string path() const { return "/proc/self/fd/" + std::to_string(m_fd); }

 private:
  int m_fd;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const MemoryFile file(data, size);
  if (!file.ok()) return 0;
  const std::string path = file.path();
  for (const bool newerThan11 : {false, true}) {
    fq::ConversationMap conversations;
    int64_t highest = 0;
    fq::readMessages(path, path, newerThan11, fq::ProgressState{}, conversations, highest);
    std::vector<fq::ContactRecord> contacts;
    fq::readContacts(path, newerThan11, contacts, highest);
    std::vector<fq::CallRecord> calls;
    fq::readCalls(path, path, newerThan11, calls);
  }
  std::vector<fq::NoteRecord> notes;
  fq::readNotes(path, notes);
  fq::WhatsAppChatMap chats;
  fq::readWhatsApp(path, chats);
  return 0;
}
