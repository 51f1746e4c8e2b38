#include "tools/decrypt/MbFile.h"

#include "tools/decrypt/PlistHandle.h"

namespace fq::decrypt {
namespace {

// The object a UID points at in $objects; other nodes stand for themselves.
plist_t resolve(plist_t objects, plist_t node) {
  if (node == nullptr || plist_get_node_type(node) != PLIST_UID) return node;
  uint64_t index = 0;
  plist_get_uid_val(node, &index);
  if (index >= plist_array_get_size(objects)) return nullptr;
  return plist_array_get_item(objects, static_cast<uint32_t>(index));
}

std::optional<uint64_t> unsignedValue(plist_t node) {
  if (node == nullptr || plist_get_node_type(node) != PLIST_UINT) return std::nullopt;
  uint64_t v = 0;
  plist_get_uint_val(node, &v);
  return v;
}

// The pointer forms: the copying getters of libplist assert on a string with
// a NUL inside, which a hostile archive can hold.
std::vector<uint8_t> dataValue(plist_t node) {
  if (node == nullptr || plist_get_node_type(node) != PLIST_DATA) return {};
  uint64_t length = 0;
  const auto* bytes = reinterpret_cast<const uint8_t*>(plist_get_data_ptr(node, &length));
  if (bytes == nullptr) return {};
  return std::vector<uint8_t>(bytes, bytes + length);
}

std::string stringValue(plist_t node) {
  if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) return {};
  uint64_t length = 0;
  const char* text = plist_get_string_ptr(node, &length);
  return text != nullptr ? std::string(text, length) : std::string();
}

}  // namespace

std::optional<MbFile> DecodeMbFile(std::span<const uint8_t> archive) {
  const PlistHandle root = ParsePlist(archive);
  if (!root || plist_get_node_type(root.get()) != PLIST_DICT) return std::nullopt;
  plist_t objects = plist_dict_get_item(root.get(), "$objects");
  plist_t top = plist_dict_get_item(root.get(), "$top");
  if (objects == nullptr || plist_get_node_type(objects) != PLIST_ARRAY) return std::nullopt;
  if (top == nullptr || plist_get_node_type(top) != PLIST_DICT) return std::nullopt;
  plist_t rootRef = plist_dict_get_item(top, "root");
  if (rootRef == nullptr || plist_get_node_type(rootRef) != PLIST_UID) return std::nullopt;
  plist_t object = resolve(objects, rootRef);
  if (object == nullptr || plist_get_node_type(object) != PLIST_DICT) return std::nullopt;

  MbFile file;
  const auto protection = unsignedValue(resolve(objects, plist_dict_get_item(object, "ProtectionClass")));
  file.protectionClass = static_cast<uint32_t>(protection.value_or(0));
  file.size = unsignedValue(resolve(objects, plist_dict_get_item(object, "Size")));
  file.mode =
      static_cast<uint32_t>(unsignedValue(resolve(objects, plist_dict_get_item(object, "Mode"))).value_or(0));
  file.relativePath = stringValue(resolve(objects, plist_dict_get_item(object, "RelativePath")));

  // EncryptionKey points at an NSMutableData object whose NS.data holds the
  // bytes; a plain data node is taken as it is.
  plist_t keyNode = resolve(objects, plist_dict_get_item(object, "EncryptionKey"));
  if (keyNode != nullptr && plist_get_node_type(keyNode) == PLIST_DICT)
    keyNode = resolve(objects, plist_dict_get_item(keyNode, "NS.data"));
  file.encryptionKey = dataValue(keyNode);
  return file;
}

std::vector<uint8_t> EncodeMbFile(const MbFile& file) {
  // $objects: 0 "$null", 1 the MBFile, 2 the key data object, 3 the path,
  // 4 the MBFile class, 5 the NSMutableData class.
  PlistHandle root(plist_new_dict());
  plist_dict_set_item(root.get(), "$version", plist_new_uint(100000));
  plist_dict_set_item(root.get(), "$archiver", plist_new_string("NSKeyedArchiver"));
  plist_t top = plist_new_dict();
  plist_dict_set_item(top, "root", plist_new_uid(1));
  plist_dict_set_item(root.get(), "$top", top);

  plist_t objects = plist_new_array();
  plist_array_append_item(objects, plist_new_string("$null"));
  plist_t object = plist_new_dict();
  plist_dict_set_item(object, "$class", plist_new_uid(4));
  plist_dict_set_item(object, "ProtectionClass", plist_new_uint(file.protectionClass));
  if (file.size) plist_dict_set_item(object, "Size", plist_new_uint(*file.size));
  plist_dict_set_item(object, "Mode", plist_new_uint(file.mode));
  plist_dict_set_item(object, "RelativePath", plist_new_uid(3));
  if (!file.encryptionKey.empty()) plist_dict_set_item(object, "EncryptionKey", plist_new_uid(2));
  plist_array_append_item(objects, object);
  plist_t keyObject = plist_new_dict();
  plist_dict_set_item(keyObject, "$class", plist_new_uid(5));
  plist_dict_set_item(
      keyObject, "NS.data",
      plist_new_data(reinterpret_cast<const char*>(file.encryptionKey.data()), file.encryptionKey.size()));
  plist_array_append_item(objects, keyObject);
  plist_array_append_item(objects, plist_new_string(file.relativePath.c_str()));
  for (const char* name : {"MBFile", "NSMutableData"}) {
    plist_t cls = plist_new_dict();
    plist_dict_set_item(cls, "$classname", plist_new_string(name));
    plist_t classes = plist_new_array();
    plist_array_append_item(classes, plist_new_string(name));
    plist_array_append_item(classes, plist_new_string("NSObject"));
    plist_dict_set_item(cls, "$classes", classes);
    plist_array_append_item(objects, cls);
  }
  plist_dict_set_item(root.get(), "$objects", objects);

  char* bin = nullptr;
  uint32_t length = 0;
  plist_to_bin(root.get(), &bin, &length);
  std::vector<uint8_t> out;
  if (bin != nullptr) out.assign(reinterpret_cast<uint8_t*>(bin), reinterpret_cast<uint8_t*>(bin) + length);
  plist_to_bin_free(bin);
  return out;
}

}  // namespace fq::decrypt
