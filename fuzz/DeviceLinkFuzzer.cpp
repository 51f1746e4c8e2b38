// A hostile device: any bytes become a script of DeviceLink messages and the
// raw stream behind them. The loop must end cleanly, never read past what it
// got, and never name a path outside the backup root.
//
// Input: mode byte; mode 0: the whole rest is an upload stream; mode 1: a
// two-byte program length, the program (messages, below), then the raw
// stream; mode 2: the rest is one device-supplied name.
// Program: per message a kind byte, then per string field a length byte and
// that many bytes, per number field one byte.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "device/DeviceLinkLoop.h"
#include "device/DevicePath.h"
#include "device/QuitCounter.h"
#include "tests/device/ScriptedDeviceLink.h"

namespace {

using namespace fq::test;
namespace fs = std::filesystem;

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  bool empty() const { return m_offset >= m_size; }
  uint8_t byte() { return empty() ? 0 : m_data[m_offset++]; }
  std::string text() {
    const size_t length = byte();
    const size_t n = std::min(length, m_size - m_offset);
    std::string out(reinterpret_cast<const char*>(m_data) + m_offset, n);
    m_offset += n;
    return out;
  }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_offset = 0;
};

// Messages that move or delete are left out: a fault there must not cost
// the machine that runs the fuzzer its files. The name rules they rely on
// are fuzzed in mode 2.
plist_t NextMessage(Reader& in) {
  switch (in.byte() % 9) {
    case 0:
      return A({S("DLMessageUploadFiles"), D({}), R(in.byte()), U(in.byte())});
    case 1: {
      plist_t names = A({});
      for (int n = in.byte() % 4; n > 0; --n) plist_array_append_item(names, S(in.text()));
      return A({S("DLMessageDownloadFiles"), names, D({}), R(in.byte())});
    }
    case 2:
      return A({S("DLContentsOfDirectory"), S(in.text())});
    case 3:
      return A({S("DLMessageCreateDirectory"), S(in.text())});
    case 4: {
      std::string source = in.text();
      return A({S("DLMessageCopyItem"), S(source), S(in.text())});
    }
    case 5:
      return A({S("DLMessageGetFreeDiskSpace")});
    case 6:
      return A({S("DLMessageProcessMessage"),
                D({{"ErrorCode", U(in.byte())}, {"ErrorDescription", S(in.text())}})});
    case 7:
      return A({S(in.text()), R(in.byte())});
    default:
      return A({S("DLMessageUploadFiles")});  // too short to act on
  }
}

// The scratch root of this process; a plain array, so that it outlives every
// static object for the clean-up at exit.
char g_root[] = "/tmp/fq-fuzz-devicelink-XXXXXX";

fs::path Root() {
  static const bool made = [] {
    if (!::mkdtemp(g_root)) std::abort();
    std::atexit([] {
      std::error_code ec;
      fs::remove_all(g_root, ec);
    });
    return true;
  }();
  (void)made;
  return fs::path(g_root);
}

void EmptyRoot() {
  std::error_code ec;
  for (fs::directory_iterator it(Root(), ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code removeError;
    fs::remove_all(it->path(), removeError);
  }
  fs::create_directories(Root() / "u", ec);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0] % 3;
  ++data;
  --size;
  EmptyRoot();
  fq::DeviceLinkSettings settings;
  settings.emptyPollPauseMs = 0;
  settings.log = [](std::string_view) {};
  fq::QuitCounter().store(0);

  if (mode == 2) {
    const std::string name(reinterpret_cast<const char*>(data), size);
    if (const auto path = fq::ResolveDevicePath(Root(), name)) {
      const std::string text = path->string();
      const std::string prefix = Root().string() + "/";
      if (text.compare(0, prefix.size(), prefix) != 0 || text.size() == prefix.size()) std::abort();
      for (const auto& part : *path) {
        if (part == "..") std::abort();
      }
    }
    return 0;
  }

  ScriptedDeviceLink link;
  if (mode == 0) {
    link.incoming.assign(reinterpret_cast<const char*>(data), size);
    link.Send(A({S("DLMessageUploadFiles"), D({}), R(1), U(size)}));
  } else {
    const size_t length = size >= 2 ? (static_cast<size_t>(data[0]) << 8 | data[1]) : 0;
    const size_t programSize = std::min(length, size >= 2 ? size - 2 : 0);
    Reader program(data + 2, programSize);
    for (int n = 0; !program.empty() && n < 32; ++n) link.Send(NextMessage(program));
    const size_t streamStart = std::min(size, 2 + programSize);
    link.incoming.assign(reinterpret_cast<const char*>(data) + streamStart, size - streamStart);
  }
  fq::DeviceLinkLoop loop(link, settings);
  loop.RunMessageLoop(Root());
  return 0;
}
