#include "cli/DeviceConnection.h"

#include <cstdio>

#include "engine/ResultCodes.h"

namespace fq::cli {

bool ConnectDriver(CDeviceBackupDriver& driver, bool& willEncrypt, std::string& why) {
  driver.SetLog([](std::string_view line) { std::fwrite(line.data(), 1, line.size(), stderr); });
  const int32_t rc = driver.Connect(willEncrypt);
  if (rc == kOk) return true;
  if (rc == kDeviceGaveUp && !driver.HasDevice()) {
    why = "no device is connected";
  } else {
    why = "could not connect to the device (" + std::to_string(rc) + ")";
  }
  driver.Disconnect();
  return false;
}

}  // namespace fq::cli
