#pragma once
// The DeviceLink message loop of a running backup (or password change): the
// device asks, the computer stores, sends, lists, moves and removes files in
// the backup root, until the device says that it is done.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "device/IDeviceLink.h"
#include "engine/ProgressCallback.h"

namespace fq {

// Where the loop's diagnostic lines go (standard output unless told).
using DeviceLogSink = std::function<void(std::string_view line)>;
void WriteDeviceLogToStdout(std::string_view line);

struct DeviceLinkSettings {
  // Pause after a receive that brought nothing, before the liveness probe.
  int emptyPollPauseMs = 3000;
  // The loop gives up when this many probes in a row have failed, plus one.
  int maxFailedProbes = 10;
  ProgressCallback progress;  // may be empty
  int32_t progressShare = 20;
  DeviceLogSink log = WriteDeviceLogToStdout;
};

class DeviceLinkLoop {
 public:
  DeviceLinkLoop(IDeviceLink& link, DeviceLinkSettings settings);

  // Serves the device's messages until it ends the exchange, the quit counter
  // rises, the progress callback says stop or the device stays silent. `root`
  // is the backup root (none while the backup password is changed).
  int32_t RunMessageLoop(const std::optional<std::filesystem::path>& root);

  // The last "ErrorDescription" of a DLMessageProcessMessage.
  const std::string& ErrorDescription() const { return m_errorDescription; }
  double OverallProgress() const { return m_overallProgress; }

  // The stream operations, public for the tests that script the device.
  int32_t mb2_handle_send_file(const std::filesystem::path& root, const std::string& name, PlistPtr& errors);
  int32_t mb2_receive_filename(std::string& name);
  int32_t mb2_handle_receive_files(plist_t message, const std::filesystem::path& root);

 private:
  enum class Outcome { Continue, EndLoop };

  Outcome dispatch(const std::string& name, plist_t message, const std::optional<std::filesystem::path>& root,
                   int32_t& result);
  void handleDownloadFiles(plist_t message, const std::optional<std::filesystem::path>& root);
  void handleGetFreeDiskSpace(const std::optional<std::filesystem::path>& root);
  void handleContentsOfDirectory(plist_t message, const std::optional<std::filesystem::path>& root);
  void handleCreateDirectory(plist_t message, const std::optional<std::filesystem::path>& root);
  int32_t handleMoveItems(plist_t message, const std::optional<std::filesystem::path>& root);
  int32_t handleRemoveItems(plist_t message, const std::optional<std::filesystem::path>& root);
  int32_t handleCopyItem(plist_t message, const std::optional<std::filesystem::path>& root);
  int32_t handleProcessMessage(plist_t message);
  void updateProgress(plist_t message, uint32_t index);

  int32_t sendAll(std::string_view bytes, uint32_t& sent);
  // Reads up to `data.size()` bytes; stops early only when a receive brings nothing.
  uint32_t receiveUpTo(std::span<char> data);
  void drain(uint64_t count);
  void log(const char* format, ...) __attribute__((format(printf, 2, 3)));

  IDeviceLink& m_link;
  DeviceLinkSettings m_settings;
  std::string m_errorDescription;
  double m_overallProgress = 0;
};

}  // namespace fq
