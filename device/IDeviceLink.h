#pragma once
// What the DeviceLink message loop needs of the connected device: the
// mobilebackup2 message and raw byte calls, the liveness probe and the
// attachment check. The backup driver implements it over libimobiledevice;
// the tests script it.
#include <plist/plist.h>

#include <cstdint>
#include <span>
#include <string>

#include "device/PlistPtr.h"

namespace fq {

class IDeviceLink {
 public:
  virtual ~IDeviceLink() = default;

  // One DeviceLink message (the library waits up to 10 s). Leaves `message`
  // empty when nothing arrived; returns the library's code.
  virtual int32_t ReceiveMessage(PlistPtr& message, std::string& name) = 0;
  // A status reply; `text` may be null (no text), `payload` may be null (none).
  virtual int32_t SendStatusResponse(int32_t code, const char* text, plist_t payload) = 0;
  // Raw stream bytes; `done` receives how many went or came.
  virtual int32_t SendRaw(std::span<const char> data, uint32_t& done) = 0;
  virtual int32_t ReceiveRaw(std::span<char> data, uint32_t& done) = 0;
  // Asks the device for its whole value dictionary and its "DeviceName".
  virtual bool ProbeDevice() = 0;
  // The driver holds a device handle and usbmuxd still lists a device.
  virtual bool IsDeviceAttached() = 0;
};

}  // namespace fq
