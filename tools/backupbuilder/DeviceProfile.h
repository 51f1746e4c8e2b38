#pragma once
// The phone a builder-made backup claims to come from: the values of its
// Info.plist, Manifest.plist and Status.plist.
#include <optional>
#include <string>

namespace fq::builder {

struct DeviceProfile {
  std::string deviceName = "Demo iPhone";
  std::string displayName = "Demo iPhone";
  std::string lastBackupDate = "2019-03-22T05:26:43Z";           // as <date> writes it, UTC
  std::optional<std::string> phoneNumber = "+1 (555) 010-4477";  // none: the key is left out
  std::string productType = "iPhone10,4";
  std::string productVersion = "12.1.4";
  std::string buildVersion = "16D57";
  std::string serialNumber = "F17VQ0DEMO01";
  std::string uniqueIdentifier = "00008020000a1b2c3d4e5f60718293a4b5c6d7e8";
  std::string imei = "356000000000001";
  std::string iccid = "8901000000000000001";
  bool encrypted = false;  // Manifest.plist IsEncrypted
};

}  // namespace fq::builder
