#pragma once
// Small fixtures of the window tests: a program folder with a test-written
// language file, and backup folders written by the backup builder.
#include <filesystem>
#include <fstream>
#include <string>

#include "tools/backupbuilder/BackupBuilder.h"

namespace fq::app::test {

inline void writeText(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// A program folder whose language "Test" names every section the windows apply.
inline void writeProgramFolder(const std::filesystem::path& folder) {
  writeText(folder / "config.ini",
            "[DefaultLanguage]\nDefault=Test\n[Languages]\nTest=Test texts\nOther=Other\n");
  writeText(
      folder / "Languages/Test.ini",
      "[Messages]\nMSG0301=T-empty-password\nMSG0302=T-encrypted\nMSG0401=T-error\nMSG0402=T-confirm\n"
      "MSG0403=T-info\nMSG0404=T-question\nMSG0405=T-warning\nMSG0602=T-describe-backup\nMSG1209=T-product\n"
      "MSG0501=T-scanning-backup\nMSG0502=T-remark-backup\nMSG0506=T-resume\nMSG0507=T-pause\n"
      "MSG0508=T-stop-question\nMSG0510=T-home-question\nMSG0511=T-quit-question\nMSG0514=%s|%d|%s|%d\n"
      "[MainWnd]\nTxtBackupFile1=T-backup-option\n"
      "[PageItunesBackup]\nBtnScan=T-scan\nColName=T-name\n"
      "[PageIosDevice]\nLblDesc4=<b>T-connect</b>\n"
      "[PageScan]\nBtnHome=T-home\n"
      "[MessageBox]\nokbtn=T-ok\ncancelbtn=T-cancel\n"
      "[DecryptionWnd]\nLblPassword=T-password\nBtnCancel=T-cancel\n"
      "[MenuWnd]\nitem_help=T-help\n");
  writeText(folder / "Languages/Other.ini", "[Messages]\nMSG1209=O-product\n");
}

struct BackupSpec {
  std::string udid;
  std::string name;
  std::string date;  // as Info.plist writes it, UTC
  bool encrypted = false;
};

// Writes a small backup under `root`/<udid>; an encrypted one has an address
// book that is not plain SQLite.
inline void writeBackup(const std::filesystem::path& root, const BackupSpec& spec) {
  builder::BackupBuilder b;
  b.device().displayName = spec.name;
  b.device().deviceName = spec.name;
  b.device().lastBackupDate = spec.date;
  b.device().serialNumber = "SN-" + spec.udid;
  b.device().uniqueIdentifier = spec.udid;
  b.device().encrypted = spec.encrypted;
  b.addFile("HomeDomain", "Library/AddressBook/AddressBook.sqlitedb",
            spec.encrypted ? std::string_view("\x8f\x11 ciphertext, not a database")
                           : std::string_view("SQLite format 3"));
  b.write(root / spec.udid);
}

}  // namespace fq::app::test
