#include "device/DeviceLinkLoop.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "device/DeviceErrorCodes.h"
#include "device/DevicePath.h"
#include "device/QuitCounter.h"
#include "engine/ResultCodes.h"
#include "engine/platform/ChunkedCopy.h"
#include "engine/platform/File.h"

namespace fq {

namespace {

constexpr uint32_t kChunk = 32768;
constexpr uint32_t kMaxFileNameLength = 4096;
constexpr char kCodeFileData = 0x0C;
constexpr char kCodeRemoteError = 0x0B;
constexpr char kCodeLocalError = 0x06;
constexpr char kCodeSuccess = 0x00;
// Seconds between 1970-01-01 and 2001-01-01, the epoch of property-list dates.
constexpr int64_t kPlistDateEpoch = 978307200;

std::array<char, 4> BigEndian32(uint32_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>(value >> 16), static_cast<char>(value >> 8),
          static_cast<char>(value)};
}

uint32_t ReadBigEndian32(const std::array<char, 4>& bytes) {
  return (static_cast<uint32_t>(static_cast<unsigned char>(bytes[0])) << 24) |
         (static_cast<uint32_t>(static_cast<unsigned char>(bytes[1])) << 16) |
         (static_cast<uint32_t>(static_cast<unsigned char>(bytes[2])) << 8) |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[3]));
}

plist_t ArrayItem(plist_t message, uint32_t index) {
  if (!message || plist_get_node_type(message) != PLIST_ARRAY) return nullptr;
  if (index >= plist_array_get_size(message)) return nullptr;
  return plist_array_get_item(message, index);
}

// Copies one plain file, refusing a link at either end; 0 or the error number.
int CopyPlainFile(const std::filesystem::path& source, const std::filesystem::path& target) {
  return CopyFileInChunks(source, target, nullptr, nullptr, CopyOptions{File::Links::Refuse});
}

// Whether `inner` is `outer` or lies below it, symbolic links resolved: moving
// a folder onto itself or onto one of its parents would delete it first.
bool IsSameOrInside(const std::filesystem::path& inner, const std::filesystem::path& outer) {
  std::error_code ec;
  const auto a = std::filesystem::weakly_canonical(inner, ec);
  if (ec) return false;
  const auto b = std::filesystem::weakly_canonical(outer, ec);
  if (ec) return false;
  auto i = a.begin();
  for (auto o = b.begin(); o != b.end(); ++o, ++i) {
    if (o->empty()) continue;
    if (i == a.end() || *i != *o) return false;
  }
  return true;
}

}  // namespace

void WriteDeviceLogToStdout(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

DeviceLinkLoop::DeviceLinkLoop(IDeviceLink& link, DeviceLinkSettings settings)
    : m_link(link), m_settings(std::move(settings)) {}

void DeviceLinkLoop::log(const char* format, ...) {
  if (!m_settings.log) return;
  char line[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  m_settings.log(line);
}

int32_t DeviceLinkLoop::RunMessageLoop(const std::optional<std::filesystem::path>& root) {
  m_overallProgress = 0;
  QuitCounter().store(0);
  int32_t result = 0;
  int emptyPolls = 0;
  while (true) {
    PlistPtr message;
    std::string name;
    m_link.ReceiveMessage(message, name);
    if (!message) {
      std::this_thread::sleep_for(std::chrono::milliseconds(m_settings.emptyPollPauseMs));
      if (m_link.ProbeDevice()) {
        emptyPolls = 0;
      } else if (++emptyPolls > m_settings.maxFailedProbes) {
        QuitCounter().fetch_add(1);
        result = -1;
      }
    } else {
      if (dispatch(name, message.get(), root, result) == Outcome::EndLoop) break;
      if (m_settings.progress) {
        // Small steps can add up past 100; the share is never exceeded.
        const auto percent =
            static_cast<int32_t>(m_settings.progressShare * std::min(m_overallProgress, 100.0) / 100);
        const int32_t answer = m_settings.progress(percent);
        if (answer != 0) {
          result = answer;
          break;
        }
      }
    }
    if (QuitRequested()) {
      result = -1;
      break;
    }
  }
  return result;
}

DeviceLinkLoop::Outcome DeviceLinkLoop::dispatch(const std::string& name, plist_t message,
                                                 const std::optional<std::filesystem::path>& root,
                                                 int32_t& result) {
  if (name == "DLMessageDownloadFiles") {
    updateProgress(message, 3);
    handleDownloadFiles(message, root);
  } else if (name == "DLMessageUploadFiles") {
    updateProgress(message, 2);
    if (root && plist_array_get_size(message) >= 4) mb2_handle_receive_files(message, *root);
  } else if (name == "DLMessageGetFreeDiskSpace") {
    handleGetFreeDiskSpace(root);
  } else if (name == "DLContentsOfDirectory") {
    handleContentsOfDirectory(message, root);
  } else if (name == "DLMessageCreateDirectory") {
    handleCreateDirectory(message, root);
  } else if (name == "DLMessageMoveFiles" || name == "DLMessageMoveItems") {
    updateProgress(message, 3);
    result = handleMoveItems(message, root);
  } else if (name == "DLMessageRemoveFiles" || name == "DLMessageRemoveItems") {
    updateProgress(message, 3);
    result = handleRemoveItems(message, root);
  } else if (name == "DLMessageCopyItem") {
    result = handleCopyItem(message, root);
  } else if (name == "DLMessageDisconnect") {
    return Outcome::EndLoop;
  } else if (name == "DLMessageProcessMessage") {
    result = handleProcessMessage(message);
    return Outcome::EndLoop;
  }
  return Outcome::Continue;
}

void DeviceLinkLoop::updateProgress(plist_t message, uint32_t index) {
  plist_t item = ArrayItem(message, index);
  if (!item || plist_get_node_type(item) != PLIST_REAL) return;
  double value = 0;
  plist_get_real_val(item, &value);
  // A jump of 99 points or more is not believed.
  if (value > 0 && value - m_overallProgress < 99) m_overallProgress = value;
}

int32_t DeviceLinkLoop::sendAll(std::string_view bytes, uint32_t& sent) {
  sent = 0;
  return m_link.SendRaw(std::span<const char>(bytes.data(), bytes.size()), sent);
}

uint32_t DeviceLinkLoop::receiveUpTo(std::span<char> data) {
  uint32_t total = 0;
  while (total < data.size()) {
    uint32_t got = 0;
    m_link.ReceiveRaw(data.subspan(total), got);
    if (got == 0 || got > data.size() - total) break;
    total += got;
  }
  return total;
}

void DeviceLinkLoop::drain(uint64_t count) {
  std::vector<char> buffer(kChunk);
  while (count > 0) {
    const auto piece = static_cast<uint32_t>(std::min<uint64_t>(count, kChunk));
    const uint32_t got = receiveUpTo(std::span<char>(buffer.data(), piece));
    if (got == 0) return;
    count -= got;
  }
}

// --- sending files ---------------------------------------------------------

void DeviceLinkLoop::handleDownloadFiles(plist_t message, const std::optional<std::filesystem::path>& root) {
  plist_t files = ArrayItem(message, 1);
  if (!root || plist_array_get_size(message) < 2 || !files || plist_get_node_type(files) != PLIST_ARRAY ||
      plist_array_get_size(files) == 0) {
    return;
  }
  PlistPtr errors;
  const uint32_t count = plist_array_get_size(files);
  for (uint32_t i = 0; i < count; ++i) {
    const auto name = PlistString(plist_array_get_item(files, i));
    if (!name) continue;
    if (mb2_handle_send_file(*root, *name, errors) < 0) break;
  }
  uint32_t sent = 0;
  sendAll(std::string_view("\0\0\0\0", 4), sent);
  if (errors) {
    m_link.SendStatusResponse(-13, "Multi status", errors.get());
  } else {
    PlistPtr empty(plist_new_dict());
    m_link.SendStatusResponse(0, nullptr, empty.get());
  }
}

int32_t DeviceLinkLoop::mb2_handle_send_file(const std::filesystem::path& root, const std::string& name,
                                             PlistPtr& errors) {
  static const char* const kName = "mb2_handle_send_file";
  uint32_t sent = 0;
  const auto nameLength = BigEndian32(static_cast<uint32_t>(name.size()));
  if (sendAll(std::string_view(nameLength.data(), 4), sent) != 0 || sent != 4) return -1;
  if (sendAll(name, sent) != 0 || sent != name.size()) return -1;

  int error = 0;
  const auto path = ResolveDevicePath(root, name);
  File file;
  struct stat info {};
  if (!path) {
    error = EACCES;
  } else if (::stat(path->c_str(), &info) != 0) {
    error = errno;
    if (error != ENOENT) log("%s: stat failed on '%s': %d\n", kName, path->c_str(), error);
  } else if (info.st_size > 0) {
    file = File::OpenRead(*path);
    if (!file.ok()) {
      error = file.error();
      log("%s: Error opening local file '%s': %d\n", kName, path->c_str(), error);
    }
  }

  if (error == 0 && file.ok()) {
    std::vector<char> buffer(kChunk + 5);
    for (uint64_t offset = 0;;) {
      // Read first, so that the block header announces what is really sent.
      size_t got = 0;
      const int32_t readError =
          file.readAt(offset, std::span(reinterpret_cast<uint8_t*>(buffer.data()) + 5, kChunk), got);
      if (readError != 0) {
        error = readError;
        log("%s: read error\n", kName);
        break;
      }
      if (got == 0) break;  // the whole file is sent
      offset += got;
      const auto n = static_cast<ssize_t>(got);
      const auto header = BigEndian32(static_cast<uint32_t>(n) + 1);
      std::copy(header.begin(), header.end(), buffer.begin());
      buffer[4] = kCodeFileData;
      const auto total = static_cast<uint32_t>(n) + 5;
      if (sendAll(std::string_view(buffer.data(), total), sent) != 0 || sent != total) {
        log("Error: sent only %d of %d bytes\n", static_cast<int>(sent), static_cast<int>(total));
        return -1;
      }
    }
  }

  if (error == 0) {
    const char success[5] = {0, 0, 0, 1, kCodeSuccess};
    sendAll(std::string_view(success, 5), sent);
    return 0;
  }

  const std::string text = std::strerror(error);
  if (!errors) errors.reset(plist_new_dict());
  plist_t entry = plist_new_dict();
  plist_dict_set_item(entry, "DLFileErrorString", plist_new_string(text.c_str()));
  plist_dict_set_item(entry, "DLFileErrorCode",
                      plist_new_uint(static_cast<uint64_t>(static_cast<int64_t>(DeviceErrorCode(error)))));
  plist_dict_set_item(errors.get(), name.c_str(), entry);

  std::string block;
  const auto length = BigEndian32(static_cast<uint32_t>(text.size()) + 1);
  block.append(length.data(), 4);
  block.push_back(kCodeLocalError);
  block += text;
  const int32_t rc = sendAll(block, sent);
  if (rc != 0) {
    log("could not send message\n");
  } else if (sent != block.size()) {
    log("could only send %d from %d\n", static_cast<int>(sent), static_cast<int>(block.size()));
  }
  return -1;
}

// --- receiving files -------------------------------------------------------

int32_t DeviceLinkLoop::mb2_receive_filename(std::string& name) {
  static const char* const kName = "mb2_receive_filename";
  std::array<char, 4> lengthBytes{};
  uint32_t have = 0;
  while (have < 4) {
    uint32_t got = 0;
    m_link.ReceiveRaw(std::span<char>(lengthBytes.data() + have, 4 - have), got);
    if (got > 4 - have) return 0;
    if (got == 0) {
      // The device may need more time; give up only when it has gone or a
      // stop was asked for.
      if (!m_link.IsDeviceAttached()) {
        QuitCounter().fetch_add(1);
        return 0;
      }
      if (QuitRequested()) return 0;
      continue;
    }
    have += got;
  }
  const uint32_t length = ReadBigEndian32(lengthBytes);
  if (length == 0) return 0;
  if (length > kMaxFileNameLength) {
    log("ERROR: %s: too large filename length (%d)!\n", kName, static_cast<int>(length));
    return 0;
  }
  name.assign(length, '\0');
  if (receiveUpTo(std::span<char>(name.data(), length)) != length) {
    log("ERROR: %s: could not read filename\n", kName);
    return 0;
  }
  return static_cast<int32_t>(length);
}

int32_t DeviceLinkLoop::mb2_handle_receive_files(plist_t message, const std::filesystem::path& root) {
  static const char* const kName = "mb2_handle_receive_files";
  if (!message || plist_get_node_type(message) != PLIST_ARRAY || plist_array_get_size(message) < 4) {
    return 0;
  }
  int32_t fileCount = 0;
  // Bytes of the current block that are still on the wire, and the file
  // being written; both matter when the batch ends early.
  uint64_t pending = 0;
  std::optional<std::filesystem::path> partial;
  std::vector<char> buffer(kChunk);

  while (!QuitRequested()) {
    std::string deviceName;
    std::string name;
    if (mb2_receive_filename(deviceName) == 0) break;
    if (mb2_receive_filename(name) == 0) break;

    std::array<char, 4> lengthBytes{};
    if (receiveUpTo(lengthBytes) != 4) {
      log("ERROR: %s: could not receive code length!\n", kName);
      break;
    }
    uint32_t blockLength = ReadBigEndian32(lengthBytes);
    pending = blockLength;
    char code = 0;
    if (blockLength == 0 || receiveUpTo(std::span<char>(&code, 1)) != 1) {
      log("ERROR: %s: could not receive code!\n", kName);
      break;
    }
    pending = blockLength - 1;
    char lastCode = 0;

    // A name that leaves the backup root is refused like a file that cannot be
    // created; its data is read and dropped so that the stream stays in step.
    const auto target = ResolveDevicePath(root, name);
    File file;
    if (target) {
      ::unlink(target->c_str());
      file = File::CreateOutput(*target);
    }
    if (!file.ok()) {
      const int error = target ? file.error() : EACCES;
      log("Error opening '%s' for writing: %s\n", target ? target->c_str() : name.c_str(),
          std::strerror(error));
    } else {
      partial = target;
    }
    bool writeFailed = false;
    bool brokenOff = false;

    while (code == kCodeFileData) {
      while (pending > 0) {
        const auto piece = static_cast<uint32_t>(std::min<uint64_t>(pending, kChunk));
        uint32_t got = 0;
        m_link.ReceiveRaw(std::span<char>(buffer.data(), piece), got);
        if (got == 0 || got > piece) {
          brokenOff = true;  // the block ends early
          // Unplugged mid-file: stop now rather than after the silent-device probes.
          if (!m_link.IsDeviceAttached()) QuitCounter().fetch_add(1);
          break;
        }
        if (file.ok() && !writeFailed) {
          if (const int32_t rc = file.write(std::string_view(buffer.data(), got)); rc != 0) {
            log("Error writing '%s': %s\n", target->c_str(), std::strerror(rc));
            writeFailed = true;
          }
        }
        pending -= got;
      }
      if (brokenOff || QuitRequested()) break;
      if (receiveUpTo(lengthBytes) != 4) {
        blockLength = 0;
      } else {
        blockLength = ReadBigEndian32(lengthBytes);
      }
      pending = blockLength;
      if (blockLength == 0) break;
      lastCode = code;
      if (receiveUpTo(std::span<char>(&code, 1)) != 1) break;
      pending = blockLength - 1;
    }

    if (file.ok()) {
      // A write the file system reports only at the close failed all the same.
      if (file.close() != 0) writeFailed = true;
      // A file whose data broke off or could not be written is not kept:
      // a truncated database must not pass for the device's own.
      if (writeFailed || brokenOff) {
        ::unlink(target->c_str());
      } else {
        ++fileCount;
      }
      partial.reset();
    }
    if (brokenOff || QuitRequested()) break;
    if (blockLength == 0) break;

    if (code == kCodeRemoteError) {
      // Keep at most one line of the text; the rest is read and dropped.
      std::string text(static_cast<size_t>(std::min<uint64_t>(pending, 1024)), '\0');
      text.resize(receiveUpTo(std::span<char>(text.data(), text.size())));
      pending -= text.size();
      drain(pending);
      pending = 0;
      if (lastCode != kCodeFileData) {
        log("\nReceived an error message from device: %s\n", text.c_str());
      }
    } else {
      // A success block (or a code of no meaning here) carries nothing more
      // that matters; its bytes are dropped.
      drain(pending);
      pending = 0;
    }
  }

  if (pending > 0) {
    drain(pending);
    if (partial) ::unlink(partial->c_str());
  }
  PlistPtr empty(plist_new_dict());
  m_link.SendStatusResponse(0, nullptr, empty.get());
  return fileCount;
}

// --- folder requests -------------------------------------------------------

void DeviceLinkLoop::handleGetFreeDiskSpace(const std::optional<std::filesystem::path>& root) {
  std::error_code ec;
  const auto space = std::filesystem::space(root ? *root : std::filesystem::current_path(ec), ec);
  PlistPtr payload(plist_new_uint(ec ? 0 : space.available));
  m_link.SendStatusResponse(ec ? -1 : 0, nullptr, payload.get());
}

void DeviceLinkLoop::handleContentsOfDirectory(plist_t message,
                                               const std::optional<std::filesystem::path>& root) {
  const auto name = PlistString(ArrayItem(message, 1));
  if (!name) {
    log("ERROR: Malformed DLContentsOfDirectory message\n");
    return;
  }
  PlistPtr listing(plist_new_dict());
  const auto folder = root ? ResolveDevicePath(*root, *name) : std::nullopt;
  std::error_code ec;
  if (folder) {
    for (std::filesystem::directory_iterator it(*folder, ec), end; !ec && it != end; it.increment(ec)) {
      struct stat info {};
      if (::lstat(it->path().c_str(), &info) != 0) continue;
      const char* type = S_ISDIR(info.st_mode)   ? "DLFileTypeDirectory"
                         : S_ISREG(info.st_mode) ? "DLFileTypeRegular"
                                                 : "DLFileTypeUnknown";
      plist_t entry = plist_new_dict();
      plist_dict_set_item(entry, "DLFileType", plist_new_string(type));
      plist_dict_set_item(entry, "DLFileSize", plist_new_uint(static_cast<uint64_t>(info.st_size)));
      // Property-list dates count from 2001.
      plist_dict_set_item(entry, "DLFileModificationDate",
                          plist_new_date(static_cast<int32_t>(info.st_mtime - kPlistDateEpoch), 0));
      plist_dict_set_item(listing.get(), it->path().filename().c_str(), entry);
    }
  }
  m_link.SendStatusResponse(0, nullptr, listing.get());
}

void DeviceLinkLoop::handleCreateDirectory(plist_t message,
                                           const std::optional<std::filesystem::path>& root) {
  const auto name = PlistString(ArrayItem(message, 1));
  if (name && root) {
    const auto folder = ResolveDevicePath(*root, *name);
    if (!folder) {
      m_link.SendStatusResponse(DeviceErrorCode(EACCES), std::strerror(EACCES), nullptr);
      return;
    }
    std::error_code ec;
    std::filesystem::create_directories(*folder, ec);
  }
  m_link.SendStatusResponse(0, nullptr, nullptr);
}

int32_t DeviceLinkLoop::handleMoveItems(plist_t message, const std::optional<std::filesystem::path>& root) {
  int32_t code = 0;
  std::string text;
  plist_t moves = ArrayItem(message, 1);
  plist_dict_iter it = nullptr;
  if (moves && plist_get_node_type(moves) == PLIST_DICT) plist_dict_new_iter(moves, &it);
  if (!it) {
    code = -1;
    text = "Could not create dict iterator";
  } else {
    while (true) {
      char* key = nullptr;
      plist_t value = nullptr;
      plist_dict_next_item(moves, it, &key, &value);
      if (!key) break;
      const std::string sourceName(key);
      std::free(key);
      const auto targetName = PlistString(value);
      if (!targetName || !root) continue;
      const auto source = ResolveDevicePath(*root, sourceName);
      const auto target = ResolveDevicePath(*root, *targetName);
      if (!source || !target) {
        code = DeviceErrorCode(EACCES);
        text = std::strerror(EACCES);
        break;
      }
      if (IsSameOrInside(*source, *target)) {
        code = DeviceErrorCode(EINVAL);
        text = std::strerror(EINVAL);
        break;
      }
      std::error_code ec;
      if (std::filesystem::is_directory(std::filesystem::symlink_status(*target, ec))) {
        std::filesystem::remove_all(*target, ec);
      } else {
        ::unlink(target->c_str());
      }
      if (::rename(source->c_str(), target->c_str()) != 0) {
        const int error = errno;
        log("Renameing '%s' to '%s' failed: %s (%d)\n", source->c_str(), target->c_str(),
            std::strerror(error), error);
        code = DeviceErrorCode(error);
        text = std::strerror(error);
        break;
      }
    }
    std::free(it);
  }
  PlistPtr empty(plist_new_dict());
  return m_link.SendStatusResponse(code, text.empty() ? nullptr : text.c_str(), empty.get());
}

int32_t DeviceLinkLoop::handleRemoveItems(plist_t message, const std::optional<std::filesystem::path>& root) {
  int32_t code = 0;
  std::string text;
  plist_t names = ArrayItem(message, 1);
  if (root && names && plist_get_node_type(names) == PLIST_ARRAY) {
    const uint32_t count = plist_array_get_size(names);
    for (uint32_t i = 0; i < count; ++i) {
      const auto name = PlistString(plist_array_get_item(names, i));
      if (!name) continue;
      const auto path = ResolveDevicePath(*root, *name);
      if (!path) {
        code = DeviceErrorCode(EACCES);
        text = std::strerror(EACCES);
        continue;
      }
      std::error_code ec;
      if (std::filesystem::is_directory(std::filesystem::symlink_status(*path, ec))) {
        std::filesystem::remove_all(*path, ec);
        if (ec) {
          code = DeviceErrorCode(ec.value());
          text = ec.message();
        }
      } else if (::unlink(path->c_str()) != 0) {
        const int error = errno;
        const bool parentExists = std::filesystem::is_directory(path->parent_path(), ec);
        const int mapped = DeleteFailureErrno(error, parentExists);
        if (mapped != ENOENT) {
          code = DeviceErrorCode(mapped);
          text = std::strerror(error);
        }
      }
    }
  }
  PlistPtr empty(plist_new_dict());
  return m_link.SendStatusResponse(code, text.empty() ? nullptr : text.c_str(), empty.get());
}

int32_t DeviceLinkLoop::handleCopyItem(plist_t message, const std::optional<std::filesystem::path>& root) {
  const auto sourceName = PlistString(ArrayItem(message, 1));
  const auto targetName = PlistString(ArrayItem(message, 2));
  PlistPtr empty(plist_new_dict());
  if (sourceName && targetName && root) {
    const auto source = ResolveDevicePath(*root, *sourceName);
    const auto target = ResolveDevicePath(*root, *targetName);
    if (!source || !target) {
      return m_link.SendStatusResponse(DeviceErrorCode(EACCES), std::strerror(EACCES), empty.get());
    }
    // A copy onto itself would truncate the source before reading it.
    if (IsSameOrInside(*target, *source) && IsSameOrInside(*source, *target)) {
      return m_link.SendStatusResponse(0, nullptr, empty.get());
    }
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(*source, ec);
    if (std::filesystem::is_directory(status)) {
      std::filesystem::create_directories(*target, ec);
      // Plain files directly inside; no recursion.
      for (std::filesystem::directory_iterator it(*source, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec) && !it->is_symlink(ec)) {
          CopyPlainFile(it->path(), *target / it->path().filename());
        }
      }
    } else if (std::filesystem::is_regular_file(status)) {
      CopyPlainFile(*source, *target);
    }
  }
  return m_link.SendStatusResponse(0, nullptr, empty.get());
}

int32_t DeviceLinkLoop::handleProcessMessage(plist_t message) {
  plist_t body = ArrayItem(message, 1);
  if (!body || plist_get_node_type(body) != PLIST_DICT) return kInvalid;
  int32_t result = 0;
  plist_t code = plist_dict_get_item(body, "ErrorCode");
  if (code && plist_get_node_type(code) == PLIST_UINT) {
    uint64_t value = 0;
    plist_get_uint_val(code, &value);
    // A code beyond the 32-bit range still fails, with the largest code there is.
    result = -static_cast<int32_t>(std::min<uint64_t>(value, INT32_MAX));
  }
  if (const auto description = PlistDictString(body, "ErrorDescription")) {
    m_errorDescription = *description;
  }
  if (const auto content = PlistDictString(body, "Content")) {
    log("%s\n", content->c_str());
  }
  return result;
}

}  // namespace fq
