#include <gtest/gtest.h>
#include <plist/plist.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/decrypt/ManifestPlist.h"
#include "tools/decrypt/MbFile.h"
#include "tools/decrypt/PlistHandle.h"

namespace fq::decrypt {
namespace {

std::vector<uint8_t> toBinary(plist_t root) {
  char* bin = nullptr;
  uint32_t length = 0;
  plist_to_bin(root, &bin, &length);
  std::vector<uint8_t> out(reinterpret_cast<uint8_t*>(bin), reinterpret_cast<uint8_t*>(bin) + length);
  plist_to_bin_free(bin);
  return out;
}

// A keyed archive with `rootObject` at index 1 and `extra` objects after it.
std::vector<uint8_t> archiveWith(plist_t rootObject, std::vector<plist_t> extra = {}, uint64_t rootUid = 1) {
  PlistHandle root(plist_new_dict());
  plist_dict_set_item(root.get(), "$archiver", plist_new_string("NSKeyedArchiver"));
  plist_t top = plist_new_dict();
  plist_dict_set_item(top, "root", plist_new_uid(rootUid));
  plist_dict_set_item(root.get(), "$top", top);
  plist_t objects = plist_new_array();
  plist_array_append_item(objects, plist_new_string("$null"));
  plist_array_append_item(objects, rootObject);
  for (plist_t e : extra) plist_array_append_item(objects, e);
  plist_dict_set_item(root.get(), "$objects", objects);
  return toBinary(root.get());
}

TEST(MbFile, EncodedRecordDecodesToTheSameFields) {
  MbFile file;
  file.protectionClass = 3;
  file.size = 123456789012ull;
  file.relativePath = "Library/SMS/sms.db";
  file.mode = 0100644;
  file.encryptionKey = std::vector<uint8_t>(44, 0xAB);
  const auto decoded = DecodeMbFile(EncodeMbFile(file));
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->protectionClass, 3u);
  EXPECT_EQ(decoded->size, file.size);
  EXPECT_EQ(decoded->relativePath, file.relativePath);
  EXPECT_EQ(decoded->mode, 0100644u);
  EXPECT_EQ(decoded->encryptionKey, file.encryptionKey);
}

TEST(MbFile, KeyAsPlainDataAndMissingFieldsAreAccepted) {
  plist_t object = plist_new_dict();
  const std::vector<uint8_t> key(44, 1);
  plist_dict_set_item(object, "EncryptionKey",
                      plist_new_data(reinterpret_cast<const char*>(key.data()), key.size()));
  const auto decoded = DecodeMbFile(archiveWith(object));
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->encryptionKey, key);
  EXPECT_FALSE(decoded->size);
  EXPECT_EQ(decoded->protectionClass, 0u);
}

TEST(MbFile, ArchivesThatDoNotHoldAnMbFileAreRefused) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases;
  cases.push_back({"empty", {}});
  cases.push_back({"not a plist", {'b', 'p', 'l', 'i', 's', 't', '0', '0', 1, 2, 3}});
  cases.push_back({"root UID past the objects", archiveWith(plist_new_dict(), {}, 40)});
  cases.push_back({"root object not a dictionary", archiveWith(plist_new_string("MBFile"))});
  {
    PlistHandle array(plist_new_array());
    cases.push_back({"top level array", toBinary(array.get())});
  }
  for (auto& c : cases) {
    EXPECT_FALSE(DecodeMbFile(c.bytes)) << c.name;
  }

  // A key reference that points nowhere leaves the key empty (copied as stored).
  plist_t object = plist_new_dict();
  plist_dict_set_item(object, "EncryptionKey", plist_new_uid(99));
  plist_dict_set_item(object, "Size", plist_new_string("12"));
  const auto decoded = DecodeMbFile(archiveWith(object));
  ASSERT_TRUE(decoded);
  EXPECT_TRUE(decoded->encryptionKey.empty());
  EXPECT_FALSE(decoded->size);
}

TEST(MbFile, StringWithANulInsideIsReadNotAsserted) {
  MbFile file;
  file.relativePath = "Library/AB";
  file.encryptionKey = std::vector<uint8_t>(44, 3);
  auto bytes = EncodeMbFile(file);
  const std::string needle = "Library/AB";
  const auto at = std::search(bytes.begin(), bytes.end(), needle.begin(), needle.end());
  ASSERT_NE(at, bytes.end());
  *(at + 8) = 0;  // the archive now holds "Library/\0B"
  const auto decoded = DecodeMbFile(bytes);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->relativePath.rfind("Library/", 0), 0u);  // however much of it libplist keeps
  EXPECT_EQ(decoded->encryptionKey, file.encryptionKey);
}

TEST(ManifestPlist, ReadsKeybagManifestKeyAndFlagFromXmlAndBinary) {
  PlistHandle root(plist_new_dict());
  const std::vector<uint8_t> keybag = {'V', 'E', 'R', 'S', 0, 0, 0, 4, 0, 0, 0, 3};
  const std::vector<uint8_t> manifestKey(44, 0x5C);
  plist_dict_set_item(root.get(), "BackupKeyBag",
                      plist_new_data(reinterpret_cast<const char*>(keybag.data()), keybag.size()));
  plist_dict_set_item(root.get(), "ManifestKey",
                      plist_new_data(reinterpret_cast<const char*>(manifestKey.data()), manifestKey.size()));
  plist_dict_set_item(root.get(), "IsEncrypted", plist_new_bool(1));
  char* xml = nullptr;
  uint32_t xmlLength = 0;
  plist_to_xml(root.get(), &xml, &xmlLength);
  const std::vector<uint8_t> xmlBytes(xml, xml + xmlLength);
  plist_to_xml_free(xml);
  for (const auto& bytes : {toBinary(root.get()), xmlBytes}) {
    std::string error;
    const auto manifest = ParseManifestPlist(bytes, error);
    ASSERT_TRUE(manifest) << error;
    EXPECT_EQ(manifest->backupKeyBag, keybag);
    ASSERT_TRUE(manifest->manifestKey);
    EXPECT_EQ(*manifest->manifestKey, manifestKey);
    EXPECT_TRUE(manifest->isEncrypted);
  }
  plist_dict_remove_item(root.get(), "BackupKeyBag");
  std::string error;
  EXPECT_FALSE(ParseManifestPlist(toBinary(root.get()), error));
  EXPECT_EQ(error, "Manifest.plist has no BackupKeyBag");
}

}  // namespace
}  // namespace fq::decrypt
