#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "engine/platform/ProcessState.h"
#include "engine/session/CleanUp.h"
#include "engine/session/RunWorkArea.h"
#include "engine/session/WorkFolders.h"
#include "tests/session/SessionFixtures.h"

namespace fq {
namespace {

using testsupport::ReadFile;
using testsupport::ScratchFolder;
using testsupport::WriteFile;
namespace fs = std::filesystem;

constexpr uint64_t kGiB = 1024ULL * 1024 * 1024;

TEST(ChooseTempBackupFolder, FollowsTheDriveTable) {
  const fs::path work = "/home/u/.local/share/VelmoraSoftiOSRecovery";
  const auto drive = [](const char* root, VolumeKind kind, std::optional<uint64_t> free) {
    return Volume{root, kind, free};
  };
  const std::vector<Volume> threeDrives = {
      drive("/", VolumeKind::Fixed, 20 * kGiB),
      drive("/mnt/d", VolumeKind::Fixed, 80 * kGiB),
      drive("/media/e", VolumeKind::Removable, 80 * kGiB),
  };
  const struct {
    const char* what;
    std::optional<uint64_t> appDataFree;
    std::optional<std::vector<Volume>> volumes;
    fs::path chosen;
  } cases[] = {
      {"exactly 15 GiB is not enough", 15 * kGiB, std::vector<Volume>{}, ""},
      {"one byte more is", 15 * kGiB + 1, std::vector<Volume>{}, work / "VelmoraSoft_tmp_backup"},
      {"most free space wins, ties keep the earlier", 14 * kGiB, threeDrives,
       "/mnt/d/VelmoraSoft_tmp_backup"},
      {"an unknown application-data drive falls back to the list", std::nullopt, threeDrives,
       "/mnt/d/VelmoraSoft_tmp_backup"},
      {"RAM disks and CD drives never qualify", 0,
       std::vector<Volume>{drive("/dev/shm", VolumeKind::RamDisk, 900 * kGiB),
                           drive("/media/cd", VolumeKind::CdRom, 800 * kGiB),
                           drive("/proc", VolumeKind::Other, 700 * kGiB),
                           drive("/mnt/small", VolumeKind::Fixed, 1 * kGiB)},
       "/mnt/small/VelmoraSoft_tmp_backup"},
      {"remote drives qualify", 0,
       std::vector<Volume>{drive("/", VolumeKind::Fixed, 2 * kGiB),
                           drive("/net", VolumeKind::Remote, 3 * kGiB)},
       "/net/VelmoraSoft_tmp_backup"},
      {"0 free bytes never qualifies", 0, std::vector<Volume>{drive("/full", VolumeKind::Fixed, 0)}, ""},
      {"a failed free-space query skips the drive", 0,
       std::vector<Volume>{drive("/unknown", VolumeKind::Fixed, std::nullopt)}, ""},
      {"no drive list: no folder", 0, std::nullopt, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseTempBackupFolder(work, c.appDataFree, c.volumes), c.chosen) << c.what;
  }
  EXPECT_EQ(ChooseTempBackupFolder("", 100 * kGiB, std::vector<Volume>{}), "")
      << "no work folder: the application-data drive cannot hold it";
}

TEST(WorkFolders, ChoosesTheTempBackupFolderOnceAndCreatesIt) {
  ScratchFolder scratch;
  int freeQueries = 0;
  int listQueries = 0;
  DriveSource drives{[&](const fs::path&) -> std::optional<uint64_t> {
                       ++freeQueries;
                       return 1 * kGiB;
                     },
                     [&]() -> std::optional<std::vector<Volume>> {
                       ++listQueries;
                       return std::vector<Volume>{{scratch / "bigdisk", VolumeKind::Fixed, 500 * kGiB}};
                     }};
  fs::create_directories(scratch / "bigdisk");
  WorkFolders folders(scratch / "appdata", drives);
  EXPECT_EQ(folders.workFolder(), scratch / "appdata" / "VelmoraSoftiOSRecovery");
  const fs::path expected = scratch / "bigdisk" / "VelmoraSoft_tmp_backup";
  EXPECT_EQ(folders.TempBackupFolder(), expected);
  EXPECT_EQ(folders.TempBackupFolder(), expected);
  EXPECT_EQ(folders.DecryptedBackupFolder(), expected / "VelmoraSoftBackupPath" / RunFolderName());
  EXPECT_EQ(folders.PreviewFolder(), folders.workFolder() / RunFolderName());
  EXPECT_TRUE(fs::is_directory(expected));
  EXPECT_EQ(freeQueries, 1);
  EXPECT_EQ(listQueries, 1);
}

TEST(WorkFolders, NoQualifyingDriveLeavesEverythingEmpty) {
  ScratchFolder scratch;
  DriveSource drives{[](const fs::path&) -> std::optional<uint64_t> { return 0; },
                     []() -> std::optional<std::vector<Volume>> { return std::nullopt; }};
  WorkFolders folders(scratch / "appdata", drives);
  EXPECT_EQ(folders.TempBackupFolder(), "");
  EXPECT_EQ(folders.DecryptedBackupFolder(), "");
  // The clean-ups then touch nothing, in particular not the current folder.
  WriteFile(fs::current_path() / "VelmoraSoftBackupPath-probe", "x");
  EXPECT_EQ(StoreCleanUp(folders), 0);
  EXPECT_EQ(DeviceCleanUp(folders), 0);
  EXPECT_TRUE(fs::exists(fs::current_path() / "VelmoraSoftBackupPath-probe"));
  fs::remove(fs::current_path() / "VelmoraSoftBackupPath-probe");
}

// Work folders on a scratch "drive" with room.
class CleanUpTest : public ::testing::Test {
 protected:
  CleanUpTest()
      : folders(scratch / "appdata",
                DriveSource{[](const fs::path&) -> std::optional<uint64_t> { return 100 * kGiB; }, nullptr}) {
    folders.CreateWorkFolder();
    temp = folders.TempBackupFolder();
    decrypted = folders.DecryptedBackupFolder();
  }
  ScratchFolder scratch;
  WorkFolders folders;
  fs::path temp;
  fs::path decrypted;
};

// The id of a process that has ended (a child reaped here).
int64_t EndedProcessId() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  int status = 0;
  ::waitpid(child, &status, 0);
  return child;
}

TEST_F(CleanUpTest, StoreCleanUpDeletesThisRunsWorkAreaAndEndedRunsButNotLiveOnes) {
  const fs::path work = folders.workFolder();
  EXPECT_EQ(temp, work / "VelmoraSoft_tmp_backup");
  const fs::path shared = decrypted.parent_path();
  EXPECT_EQ(decrypted, shared / ("run-" + std::to_string(CurrentProcessId())));
  WriteFile(decrypted / "3d0d7e5fb2ce288813306e4d4636395e047a3d28", "x");
  WriteFile(decrypted / "Manifest.db-decypted", "x");
  WriteFile(decrypted / "sub" / "inner", "x");
  WriteFile(folders.PreviewFolder() / "tmp.jpg", "x");
  // Another run that still works, one that crashed, and what is not a run's.
  const std::string ended = "run-" + std::to_string(EndedProcessId());
  ASSERT_TRUE(ProcessIsAlive(1));
  ASSERT_FALSE(ProcessIsAlive(std::stoll(ended.substr(4))));
  for (const fs::path& parent : {shared, work}) {
    WriteFile(parent / "run-1" / "live", "x");
    WriteFile(parent / ended / "left", "x");
    WriteFile(parent / "run-1x" / "kept", "x");
  }
  WriteFile(shared / "legacy", "x");  // a file of the fixed, shared layout
  WriteFile(shared / ".keep", "x");
  WriteFile(temp / "sms", "x");
  for (const char* name : {"tmp.jpg", "tmp.avi", "tmp.wav", "tool.exe"}) WriteFile(work / name, "x");

  EXPECT_EQ(StoreCleanUp(folders), 0);
  EXPECT_FALSE(fs::exists(decrypted));
  EXPECT_FALSE(fs::exists(folders.PreviewFolder()));
  for (const fs::path& parent : {shared, work}) {
    EXPECT_TRUE(fs::exists(parent / "run-1" / "live")) << parent;
    EXPECT_FALSE(fs::exists(parent / ended)) << parent;
    EXPECT_TRUE(fs::exists(parent / "run-1x" / "kept")) << parent;
  }
  EXPECT_FALSE(fs::exists(shared / "legacy"));
  EXPECT_TRUE(fs::exists(shared / ".keep"));
  EXPECT_TRUE(fs::exists(temp / "sms"));  // the device's copies are not the store's
  EXPECT_FALSE(fs::exists(work / "tmp.jpg"));
  EXPECT_FALSE(fs::exists(work / "tmp.avi"));
  EXPECT_FALSE(fs::exists(work / "tmp.wav"));
  EXPECT_TRUE(fs::exists(work / "tool.exe"));
}

TEST_F(CleanUpTest, DeviceCleanUpDeletesTheDatabaseCopiesButNotBackups) {
  WriteFile(temp / "sms", "x");
  WriteFile(temp / "AddressBook", "x");
  WriteFile(temp / ".hidden", "x");
  WriteFile(temp / "00008030-001A" / "Info.plist", "x");
  WriteFile(decrypted / "abc", "x");
  EXPECT_EQ(DeviceCleanUp(folders), 0);
  EXPECT_FALSE(fs::exists(temp / "sms"));
  EXPECT_FALSE(fs::exists(temp / "AddressBook"));
  EXPECT_TRUE(fs::exists(temp / ".hidden"));
  EXPECT_TRUE(fs::exists(temp / "00008030-001A" / "Info.plist"));
  EXPECT_FALSE(fs::exists(decrypted / "abc"));
}

TEST_F(CleanUpTest, DeviceBackupCleanUpEmptiesTheBackupButKeepsItsFolder) {
  const fs::path backup = temp / "00008030-001A";
  WriteFile(backup / "Info.plist", "x");
  WriteFile(backup / "3d" / "3d0d7e5fb2ce288813306e4d4636395e047a3d28", "x");
  WriteFile(backup / ".lock", "x");
  WriteFile(backup / "Snapshot" / "Manifest.db", "x");
  EXPECT_EQ(DeviceBackupCleanUp(folders, backup), 0);
  EXPECT_TRUE(fs::is_directory(backup));
  EXPECT_FALSE(fs::exists(backup / "Info.plist"));
  EXPECT_FALSE(fs::exists(backup / "3d"));
  EXPECT_FALSE(fs::exists(backup / "Snapshot"));
  EXPECT_TRUE(fs::exists(backup / ".lock"));
}

TEST_F(CleanUpTest, DeviceBackupCleanUpNeverLeavesTheTempBackupFolder) {
  // A driver that reports a folder of the user's (or the temporary folder itself).
  const fs::path users = scratch / "Documents";
  WriteFile(users / "thesis.doc", "precious");
  WriteFile(temp / "keep-me", "x");
  fs::create_directory_symlink(users, temp / "link-to-documents");
  for (const fs::path& reported :
       {users, temp, temp / "..", temp / "sub" / ".." / "..", temp / "link-to-documents", fs::path("/")}) {
    EXPECT_EQ(DeviceBackupCleanUp(folders, reported), 0) << reported;
  }
  EXPECT_EQ(ReadFile(users / "thesis.doc"), "precious");
  EXPECT_TRUE(fs::exists(temp / "keep-me"));
  EXPECT_EQ(DeviceBackupCleanUp(folders, ""), 0);
}

TEST_F(CleanUpTest, RemoveTreeRemovesLinksButNotWhatTheyPointTo) {
  const fs::path outside = scratch / "outside";
  WriteFile(outside / "file", "x");
  const fs::path tree = temp / "tree";
  WriteFile(tree / "a" / "b" / "c.txt", "x");
  fs::create_directory_symlink(outside, tree / "a" / "link-to-folder");
  fs::create_symlink(outside / "file", tree / "link-to-file");
  EXPECT_EQ(RemoveTree(tree), 0);
  EXPECT_FALSE(fs::exists(tree));
  EXPECT_TRUE(fs::exists(outside / "file"));

  EXPECT_NE(RemoveTree(temp / "missing"), 0);
  WriteFile(temp / "plain", "x");
  EXPECT_NE(RemoveTree(temp / "plain"), 0);  // not a folder
  EXPECT_TRUE(fs::exists(temp / "plain"));
}

TEST(IsInsideFolder, ComparesResolvedPaths) {
  EXPECT_TRUE(IsInsideFolder("/a/b/c", "/a/b"));
  EXPECT_TRUE(IsInsideFolder("/a/b/c/", "/a/b/"));
  EXPECT_FALSE(IsInsideFolder("/a/b", "/a/b"));
  EXPECT_FALSE(IsInsideFolder("/a/bc", "/a/b"));
  EXPECT_FALSE(IsInsideFolder("/a/b/../c", "/a/b"));
  EXPECT_FALSE(IsInsideFolder("", "/a"));
  EXPECT_FALSE(IsInsideFolder("/a/b", ""));
}

}  // namespace
}  // namespace fq
