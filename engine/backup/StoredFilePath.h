#pragma once
// Where the content of a stored file lies in a backup folder.
#include <filesystem>
#include <string_view>

namespace fq {

enum class StorageLayout {
  TwoCharacterFolders,  // folder/ab/abcdef... (Manifest.db backups, devices above 9)
  Flat,                 // folder/abcdef... (Manifest.mbdb backups, decrypted copies)
};

// Whether `id` has the form of a file id: 40 hexadecimal digits, either case.
bool IsFileId(std::string_view id);

enum class FileIdForm { None, Lowercase, WithCapitals };

// IsFileId, telling apart the ids written as the phone writes them (lowercase).
FileIdForm FileIdFormOf(std::string_view id);

// The path of the file with id `fileId`. A file id that is not 40 hexadecimal
// digits names no stored file; the result is then empty, so a hostile manifest
// can never point outside the folder.
std::filesystem::path StoredFilePath(const std::filesystem::path& folder, std::string_view fileId,
                                     StorageLayout layout);

}  // namespace fq
