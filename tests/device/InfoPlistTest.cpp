// The Info.plist the driver writes beside a fresh backup.
#include <gtest/gtest.h>

#include <map>

#include "device/InfoPlist.h"
#include "tests/device/ScriptedDeviceLink.h"

namespace fq {
namespace {

using namespace fq::test;

std::vector<std::string> Keys(plist_t dict) {
  std::vector<std::string> keys;
  plist_dict_iter it = nullptr;
  plist_dict_new_iter(dict, &it);
  while (it) {
    char* key = nullptr;
    plist_t value = nullptr;
    plist_dict_next_item(dict, it, &key, &value);
    if (!key) break;
    keys.emplace_back(key);
    std::free(key);
  }
  std::free(it);
  return keys;
}

TEST(InfoPlist, KeysInOrderWithOptionalValuesOnlyWhenPresent) {
  PlistPtr values(D({{"BuildVersion", S("16G77")},
                     {"DeviceName", S("Ada")},
                     {"ProductType", S("iPhone10,4")},
                     {"ProductVersion", S("12.4")},
                     {"SerialNumber", S("F00")},
                     {"InternationalMobileEquipmentIdentity", S("35")},
                     {"PhoneNumber", U(5551234)}}));  // not a string: left out
  PlistPtr settings(D({{"MinITunesVersion", S("10.0.1")}}));
  std::map<std::string, std::string> afc = {{"/iTunes_Control/iTunes/iTunesPrefs", "prefs"},
                                            {"/Books/iBooksData2.plist", "books"}};
  const AfcFileReader reader = [&afc](const std::string& path) -> std::optional<std::vector<char>> {
    const auto it = afc.find(path);
    if (it == afc.end()) return std::nullopt;
    return std::vector<char>(it->second.begin(), it->second.end());
  };
  const int64_t when = 978307200 + 1000;
  PlistPtr info = BuildInfoPlist(values.get(), settings.get(), "abc-def", when, reader);
  ASSERT_TRUE(info);
  EXPECT_EQ(Keys(info.get()),
            (std::vector<std::string>{"Build Version", "Device Name", "Display Name", "GUID", "IMEI",
                                      "Last Backup Date", "Product Type", "Product Version", "Serial Number",
                                      "Target Identifier", "Target Type", "Unique Identifier",
                                      "iBooks Data 2", "iTunes Files", "iTunes Settings", "iTunes Version"}));
  EXPECT_EQ(PlistDictString(info.get(), "Display Name"), "Ada");
  EXPECT_EQ(PlistDictString(info.get(), "GUID"), "---");
  EXPECT_EQ(PlistDictString(info.get(), "Unique Identifier"), "ABC-DEF");
  EXPECT_EQ(PlistDictString(info.get(), "Target Identifier"), "abc-def");
  EXPECT_EQ(PlistDictString(info.get(), "iTunes Version"), "10.0.1");
  int32_t seconds = 0, micro = 0;
  plist_get_date_val(plist_dict_get_item(info.get(), "Last Backup Date"), &seconds, &micro);
  EXPECT_EQ(seconds, 1000);
  plist_t files = plist_dict_get_item(info.get(), "iTunes Files");
  EXPECT_EQ(Keys(files), (std::vector<std::string>{"iTunesPrefs"}));
  char* data = nullptr;
  uint64_t length = 0;
  plist_get_data_val(plist_dict_get_item(files, "iTunesPrefs"), &data, &length);
  EXPECT_EQ(std::string(data, length), "prefs");
  std::free(data);
  EXPECT_EQ(PlistDictString(plist_dict_get_item(info.get(), "iTunes Settings"), "MinITunesVersion"),
            "10.0.1");
}

TEST(InfoPlist, WithoutAfcOrSettingsTheDictionariesAreEmpty) {
  PlistPtr values(D({{"DeviceName", S("Ada")}}));
  PlistPtr info = BuildInfoPlist(values.get(), nullptr, "u", 978307200, AfcFileReader());
  ASSERT_TRUE(info);
  EXPECT_EQ(plist_dict_get_size(plist_dict_get_item(info.get(), "iTunes Files")), 0u);
  EXPECT_EQ(plist_dict_get_size(plist_dict_get_item(info.get(), "iTunes Settings")), 0u);
  EXPECT_EQ(plist_dict_get_item(info.get(), "iBooks Data 2"), nullptr);
  EXPECT_EQ(plist_dict_get_item(info.get(), "Build Version"), nullptr);
}

TEST(InfoPlist, NoValuesNoDictionary) {
  PlistPtr notADict(S("x"));
  EXPECT_FALSE(BuildInfoPlist(nullptr, nullptr, "u", 0, AfcFileReader()));
  EXPECT_FALSE(BuildInfoPlist(notADict.get(), nullptr, "u", 0, AfcFileReader()));
}

}  // namespace
}  // namespace fq
