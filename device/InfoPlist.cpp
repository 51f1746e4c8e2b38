#include "device/InfoPlist.h"

#include <algorithm>
#include <cctype>

namespace fq {

namespace {

constexpr int64_t kPlistDateEpoch = 978307200;  // 2001-01-01 in seconds since 1970

// A value the device did not send is left out rather than invented.
void CopyValue(plist_t from, const char* fromKey, plist_t to, const char* toKey) {
  if (plist_t item = plist_dict_get_item(from, fromKey)) plist_dict_set_item(to, toKey, plist_copy(item));
}

}  // namespace

PlistPtr BuildInfoPlist(plist_t values, plist_t itunesSettings, const std::string& udid, int64_t backupTime,
                        const AfcFileReader& readAfcFile) {
  if (!values || plist_get_node_type(values) != PLIST_DICT) return PlistPtr();
  PlistPtr info(plist_new_dict());
  plist_t dict = info.get();
  CopyValue(values, "BuildVersion", dict, "Build Version");
  CopyValue(values, "DeviceName", dict, "Device Name");
  CopyValue(values, "DeviceName", dict, "Display Name");
  plist_dict_set_item(dict, "GUID", plist_new_string("---"));
  CopyValue(values, "IntegratedCircuitCardIdentity", dict, "ICCID");
  CopyValue(values, "InternationalMobileEquipmentIdentity", dict, "IMEI");
  plist_dict_set_item(dict, "Last Backup Date",
                      plist_new_date(static_cast<int32_t>(backupTime - kPlistDateEpoch), 0));
  if (plist_t phone = plist_dict_get_item(values, "PhoneNumber");
      phone && plist_get_node_type(phone) == PLIST_STRING) {
    plist_dict_set_item(dict, "Phone Number", plist_copy(phone));
  }
  CopyValue(values, "ProductType", dict, "Product Type");
  CopyValue(values, "ProductVersion", dict, "Product Version");
  CopyValue(values, "SerialNumber", dict, "Serial Number");
  plist_dict_set_item(dict, "Target Identifier", plist_new_string(udid.c_str()));
  plist_dict_set_item(dict, "Target Type", plist_new_string("Device"));
  std::string upper = udid;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  plist_dict_set_item(dict, "Unique Identifier", plist_new_string(upper.c_str()));

  if (readAfcFile) {
    if (auto books = readAfcFile("/Books/iBooksData2.plist")) {
      plist_dict_set_item(dict, "iBooks Data 2", plist_new_data(books->data(), books->size()));
    }
  }
  plist_t files = plist_new_dict();
  static const char* const kITunesFiles[] = {
      "ApertureAlbumPrefs", "IC-Info.sidb",      "IC-Info.sidv",     "PhotosFolderAlbums",
      "PhotosFolderName",   "PhotosFolderPrefs", "iPhotoAlbumPrefs", "iTunesApplicationIDs",
      "iTunesPrefs",        "iTunesPrefs.plist"};
  if (readAfcFile) {
    for (const char* name : kITunesFiles) {
      if (auto data = readAfcFile(std::string("/iTunes_Control/iTunes/") + name)) {
        plist_dict_set_item(files, name, plist_new_data(data->data(), data->size()));
      }
    }
  }
  plist_dict_set_item(dict, "iTunes Files", files);
  plist_dict_set_item(dict, "iTunes Settings",
                      itunesSettings && plist_get_node_type(itunesSettings) == PLIST_DICT
                          ? plist_copy(itunesSettings)
                          : plist_new_dict());
  plist_dict_set_item(dict, "iTunes Version", plist_new_string("10.0.1"));
  return info;
}

}  // namespace fq
