#include "tools/backupbuilder/PlistWriter.h"

#include <fstream>

namespace fq::builder {
namespace {

constexpr const char* kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n"
    "<dict>\n";
constexpr const char* kFooter = "</dict>\n</plist>\n";

class PlistDict {
 public:
  explicit PlistDict(std::string indent) : m_indent(std::move(indent)) {}
  PlistDict& string(const std::string& key, const std::string& value) {
    return entry(key, "<string>" + XmlEscape(value) + "</string>");
  }
  PlistDict& date(const std::string& key, const std::string& value) {
    return entry(key, "<date>" + XmlEscape(value) + "</date>");
  }
  PlistDict& boolean(const std::string& key, bool value) {
    return entry(key, value ? "<true/>" : "<false/>");
  }
  PlistDict& dict(const std::string& key, const PlistDict& inner) {
    m_text += m_indent + "<key>" + XmlEscape(key) + "</key>\n" + m_indent + "<dict>\n" + inner.m_text +
              m_indent + "</dict>\n";
    return *this;
  }
  const std::string& text() const { return m_text; }

 private:
  PlistDict& entry(const std::string& key, const std::string& valueElement) {
    m_text += m_indent + "<key>" + XmlEscape(key) + "</key>\n" + m_indent + valueElement + "\n";
    return *this;
  }
  std::string m_indent;
  std::string m_text;
};

bool WriteText(const std::filesystem::path& path, const std::string& text, std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    if (error) *error = "cannot write " + path.string();
    return false;
  }
  return true;
}

}  // namespace

std::string XmlEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

std::string InfoPlistText(const DeviceProfile& device) {
  PlistDict dict("\t");
  dict.string("Build Version", device.buildVersion)
      .string("Device Name", device.deviceName)
      .string("Display Name", device.displayName)
      .string("GUID", device.uniqueIdentifier.substr(0, 32))
      .string("ICCID", device.iccid)
      .string("IMEI", device.imei)
      .date("Last Backup Date", device.lastBackupDate);
  if (device.phoneNumber) dict.string("Phone Number", *device.phoneNumber);
  dict.string("Product Name", "iPhone")
      .string("Product Type", device.productType)
      .string("Product Version", device.productVersion)
      .string("Serial Number", device.serialNumber)
      .string("Target Identifier", device.uniqueIdentifier)
      .string("Target Type", "Device")
      .string("Unique Identifier", device.uniqueIdentifier);
  return kHeader + dict.text() + kFooter;
}

std::string ManifestPlistText(const DeviceProfile& device, ManifestFormat format) {
  PlistDict lockdown("\t\t");
  lockdown.string("BuildVersion", device.buildVersion)
      .string("DeviceName", device.deviceName)
      .string("ProductType", device.productType)
      .string("ProductVersion", device.productVersion)
      .string("SerialNumber", device.serialNumber)
      .string("UniqueDeviceID", device.uniqueIdentifier);
  PlistDict dict("\t");
  dict.date("Date", device.lastBackupDate)
      .boolean("IsEncrypted", device.encrypted)
      .dict("Lockdown", lockdown)
      .string("SystemDomainsVersion", format == ManifestFormat::Db ? "24.0" : "20.0")
      .string("Version", format == ManifestFormat::Db ? "10.0" : "9.1")
      .boolean("WasPasscodeSet", false);
  return kHeader + dict.text() + kFooter;
}

std::string StatusPlistText(const DeviceProfile& device, ManifestFormat format) {
  PlistDict dict("\t");
  dict.string("BackupState", "new")
      .date("Date", device.lastBackupDate)
      .boolean("IsFullBackup", false)
      .string("SnapshotState", "finished")
      .string("UUID", "5D2A6E34-7B1C-4F0E-9A8B-0C1D2E3F4A5B")
      .string("Version", format == ManifestFormat::Db ? "3.3" : "2.4");
  return kHeader + dict.text() + kFooter;
}

bool WritePlists(const std::filesystem::path& folder, const DeviceProfile& device, ManifestFormat format,
                 std::string* error) {
  return WriteText(folder / "Info.plist", InfoPlistText(device), error) &&
         WriteText(folder / "Manifest.plist", ManifestPlistText(device, format), error) &&
         WriteText(folder / "Status.plist", StatusPlistText(device, format), error);
}

}  // namespace fq::builder
