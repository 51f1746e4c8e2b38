// The DeviceLink message loop against scripted device messages and streams.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "device/DeviceErrorCodes.h"
#include "device/DeviceLinkLoop.h"
#include "device/DevicePath.h"
#include "device/QuitCounter.h"
#include "tests/device/ScriptedDeviceLink.h"

namespace fq {
namespace {

using namespace fq::test;
namespace fs = std::filesystem;

constexpr char kData = 0x0C, kSuccess = 0x00, kRemoteError = 0x0B, kLocalError = 0x06;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFile(const fs::path& path, const std::string& data) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << data;
}

// A fresh backup root per test, a loop with no pauses and a kept log.
class DeviceLinkLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/fq-devicelink-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    scratch = pattern;
    root = scratch / "root";
    // The device creates its folders before it stores files in them.
    fs::create_directories(root / "u");
    settings.emptyPollPauseMs = 0;
    settings.log = [this](std::string_view line) { log.append(line); };
    QuitCounter().store(0);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(scratch, ec);
    QuitCounter().store(0);
  }
  int32_t Run(bool withRoot = true) {
    DeviceLinkLoop loop(link, settings);
    const int32_t result = loop.RunMessageLoop(withRoot ? std::optional(root) : std::nullopt);
    errorDescription = loop.ErrorDescription();
    return result;
  }
  static plist_t Upload() { return A({S("DLMessageUploadFiles"), D({}), R(0), U(0)}); }

  fs::path scratch, root;
  ScriptedDeviceLink link;
  DeviceLinkSettings settings;
  std::string log;
  std::string errorDescription;
};

// --- receiving files ---------------------------------------------------------

TEST_F(DeviceLinkLoopTest, FileInThreeBlocksIsWrittenWholeAndCountedOnce) {
  for (size_t piece : {size_t{1} << 20, size_t{3}}) {  // whole and partial reads
    SCOPED_TRACE(piece);
    ScriptedDeviceLink device;
    device.maxPiece = piece;
    device.incoming = FileName("dev/a") + FileName("u/a") + Block(kData, "first-") + Block(kData, "second-") +
                      Block(kData, "third") + Block(kSuccess, "") + BigEndian32(0);
    DeviceLinkLoop loop(device, settings);
    PlistPtr message(Upload());
    EXPECT_EQ(loop.mb2_handle_receive_files(message.get(), root), 1);
    EXPECT_EQ(ReadFile(root / "u/a"), "first-second-third");
    EXPECT_EQ(device.Unread(), 0u);
    ASSERT_EQ(device.statuses.size(), 1u);
    EXPECT_EQ(device.statuses[0].code, 0);
  }
}

TEST_F(DeviceLinkLoopTest, LargeFileAndEmptyFileInOneBatch) {
  const std::string big(100000, 'x');
  std::string stream = FileName("d") + FileName("u/big");
  for (size_t off = 0; off < big.size(); off += 32768) stream += Block(kData, big.substr(off, 32768));
  stream += Block(kSuccess, "") + FileName("d") + FileName("u/empty") + Block(kSuccess, "") + BigEndian32(0);
  link.incoming = stream;
  WriteFile(root / "u/empty", "stale content");
  DeviceLinkLoop loop(link, settings);
  PlistPtr message(Upload());
  EXPECT_EQ(loop.mb2_handle_receive_files(message.get(), root), 2);
  EXPECT_EQ(ReadFile(root / "u/big"), big);
  EXPECT_TRUE(fs::exists(root / "u/empty"));
  EXPECT_EQ(fs::file_size(root / "u/empty"), 0u);
}

struct NameLengthCase {
  uint32_t length;
  int32_t files;
  bool refused;
};

TEST_F(DeviceLinkLoopTest, FileNameLengthLimitIs4096) {
  for (const NameLengthCase& c : {NameLengthCase{4096, 1, false}, NameLengthCase{4097, 0, true}}) {
    SCOPED_TRACE(c.length);
    ScriptedDeviceLink device;
    log.clear();
    // "./" steps keep every path component short; the name normalises to u/ab.
    std::string name = "u/";
    for (int i = 0; i < 2046; ++i) name += "./";
    name += std::string(c.length - name.size(), 'a');
    ASSERT_EQ(name.size(), c.length);
    device.incoming = FileName("d") + FileName(name) + Block(kSuccess, "") + BigEndian32(0);
    DeviceLinkLoop loop(device, settings);
    PlistPtr message(Upload());
    EXPECT_EQ(loop.mb2_handle_receive_files(message.get(), root), c.files);
    EXPECT_EQ(
        log.find("ERROR: mb2_receive_filename: too large filename length (4097)!\n") != std::string::npos,
        c.refused);
    EXPECT_EQ(device.statuses.size(), 1u);  // the batch is answered either way
  }
}

TEST_F(DeviceLinkLoopTest, HostileNamesAreDroppedAndTheBatchGoesOn) {
  const std::vector<std::string> hostile = {"../out.txt", "u/../../out2.txt", "/tmp/fq-abs.txt", ".",
                                            "u/../.."};
  std::string stream;
  for (const auto& name : hostile) {
    stream += FileName("d") + FileName(name) + Block(kData, "evil") + Block(kSuccess, "");
  }
  stream += FileName("d") + FileName("u/good") + Block(kData, "good") + Block(kSuccess, "") + BigEndian32(0);
  link.incoming = stream;
  DeviceLinkLoop loop(link, settings);
  PlistPtr message(Upload());
  EXPECT_EQ(loop.mb2_handle_receive_files(message.get(), root), 1);
  EXPECT_EQ(ReadFile(root / "u/good"), "good");
  EXPECT_FALSE(fs::exists(scratch / "out.txt"));
  EXPECT_FALSE(fs::exists(scratch / "out2.txt"));
  EXPECT_FALSE(fs::exists("/tmp/fq-abs.txt"));
  EXPECT_NE(log.find("Error opening '../out.txt' for writing: Permission denied\n"), std::string::npos);
  EXPECT_EQ(link.Unread(), 0u);
}

TEST_F(DeviceLinkLoopTest, RemoteErrorBlockIsReportedUnlessItEndsFileData) {
  link.incoming = FileName("d") + FileName("u/a") + Block(kRemoteError, "disk on fire") + FileName("d") +
                  FileName("u/b") + Block(kData, "b") + Block(kRemoteError, "not an error") + BigEndian32(0);
  DeviceLinkLoop loop(link, settings);
  PlistPtr message(Upload());
  EXPECT_EQ(loop.mb2_handle_receive_files(message.get(), root), 2);
  EXPECT_NE(log.find("\nReceived an error message from device: disk on fire\n"), std::string::npos);
  EXPECT_EQ(log.find("not an error"), std::string::npos);
  EXPECT_EQ(ReadFile(root / "u/b"), "b");
}

TEST_F(DeviceLinkLoopTest, StreamThatBreaksOffLeavesNoPartialFile) {
  // The block announces 100 bytes, 10 arrive, then the device is gone.
  link.incoming =
      FileName("d") + FileName("u/a") + BigEndian32(101) + std::string(1, kData) + std::string(10, 'x');
  link.attached = false;
  DeviceLinkLoop loop(link, settings);
  PlistPtr message(Upload());
  EXPECT_EQ(loop.mb2_handle_receive_files(message.get(), root), 0);
  EXPECT_FALSE(fs::exists(root / "u/a"));
  EXPECT_EQ(link.statuses.size(), 1u);
  EXPECT_EQ(QuitCounter().load(), 1);  // gone, not merely slow
}

TEST_F(DeviceLinkLoopTest, FileNameReadOfAGoneDeviceRaisesQuit) {
  link.attached = false;
  DeviceLinkLoop loop(link, settings);
  std::string name;
  EXPECT_EQ(loop.mb2_receive_filename(name), 0);
  EXPECT_EQ(QuitCounter().load(), 1);
  EXPECT_EQ(link.attachedChecks, 1);
}

TEST_F(DeviceLinkLoopTest, UploadWithoutRootOrTooShortIsIgnored) {
  link.Send(A({S("DLMessageUploadFiles"), D({}), R(1)}));
  link.Send(Upload());
  link.incoming = FileName("d") + FileName("u/a") + Block(kSuccess, "") + BigEndian32(0);
  EXPECT_EQ(Run(false), 0);
  EXPECT_TRUE(link.statuses.empty());
  EXPECT_EQ(link.Unread(), link.incoming.size());
}

// --- sending files -----------------------------------------------------------

TEST_F(DeviceLinkLoopTest, EmptyFileIsAnsweredWithNameAndSuccessOnly) {
  WriteFile(root / "u/empty", "");
  link.Send(A({S("DLMessageDownloadFiles"), A({S("u/empty")}), D({}), R(1)}));
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(link.sent, FileName("u/empty") + Block(kSuccess, "") + BigEndian32(0));
  ASSERT_EQ(link.statuses.size(), 1u);
  EXPECT_EQ(link.statuses[0].code, 0);
  EXPECT_EQ(plist_dict_get_size(link.statuses[0].payload.get()), 0u);
}

TEST_F(DeviceLinkLoopTest, FileIsSentInBlocksOf32768) {
  const std::string data(70000, 'd');
  WriteFile(root / "u/f", data);
  link.Send(A({S("DLMessageDownloadFiles"), A({S("u/f")}), D({}), R(1)}));
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(link.sent, FileName("u/f") + Block(kData, data.substr(0, 32768)) +
                           Block(kData, data.substr(32768, 32768)) + Block(kData, data.substr(65536)) +
                           Block(kSuccess, "") + BigEndian32(0));
}

TEST_F(DeviceLinkLoopTest, MissingFileEndsTheBatchWithMultiStatus) {
  WriteFile(root / "u/later", "never sent");
  link.Send(A({S("DLMessageDownloadFiles"), A({S("u/missing"), S("u/later")}), D({}), R(1)}));
  EXPECT_EQ(Run(), 0);
  const std::string text = std::strerror(ENOENT);
  EXPECT_EQ(link.sent, FileName("u/missing") + Block(kLocalError, text) + BigEndian32(0));
  ASSERT_EQ(link.statuses.size(), 1u);
  EXPECT_EQ(link.statuses[0].code, -13);
  EXPECT_EQ(link.statuses[0].text, "Multi status");
  plist_t entry = plist_dict_get_item(link.statuses[0].payload.get(), "u/missing");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(PlistDictString(entry, "DLFileErrorString"), text);
  uint64_t code = 0;
  plist_get_uint_val(plist_dict_get_item(entry, "DLFileErrorCode"), &code);
  EXPECT_EQ(static_cast<int64_t>(code), -6);
}

TEST_F(DeviceLinkLoopTest, DownloadWithoutRootOrFilesSendsNoReply) {
  link.Send(A({S("DLMessageDownloadFiles"), A({}), D({}), R(1)}));
  link.Send(A({S("DLMessageDownloadFiles")}));
  link.Send(A({S("DLMessageDownloadFiles"), A({S("u/a")}), D({}), R(1)}));
  EXPECT_EQ(Run(false), 0);
  EXPECT_TRUE(link.sent.empty());
  EXPECT_TRUE(link.statuses.empty());
}

// --- folder requests ---------------------------------------------------------

struct RemoveCase {
  const char* name;
  int32_t code;
};

TEST_F(DeviceLinkLoopTest, RemoveItemsCodes) {
  WriteFile(root / "u/file", "x");
  WriteFile(root / "u/tree/a/b", "x");
  for (const RemoveCase& c : {RemoveCase{"u/file", 0}, RemoveCase{"u/tree", 0}, RemoveCase{"u/not-there", 0},
                              RemoveCase{"u/no-folder/file", -14}, RemoveCase{"../outside", -EACCES}}) {
    SCOPED_TRACE(c.name);
    ScriptedDeviceLink device;
    device.Send(A({S("DLMessageRemoveItems"), A({S(c.name)}), D({}), R(1)}));
    DeviceLinkLoop loop(device, settings);
    EXPECT_EQ(loop.RunMessageLoop(root), 0);
    ASSERT_EQ(device.statuses.size(), 1u);
    EXPECT_EQ(device.statuses[0].code, c.code);
  }
  EXPECT_FALSE(fs::exists(root / "u/file"));
  EXPECT_FALSE(fs::exists(root / "u/tree"));
}

TEST_F(DeviceLinkLoopTest, MoveItemsReplacesTargetsAndStopsAtTheFirstFailure) {
  WriteFile(root / "u/Snapshot/ab/file", "new");
  WriteFile(root / "u/ab/old", "old");
  WriteFile(root / "u/Snapshot/Manifest.db", "manifest");
  link.Send(
      A({S("DLMessageMoveItems"),
         D({{"u/Snapshot/ab", S("u/ab")}, {"u/Snapshot/Manifest.db", S("u/Manifest.db")}}), D({}), R(1)}));
  link.Send(A({S("DLMessageMoveItems"), D({{"u/missing", S("u/x")}}), D({}), R(1)}));
  link.Send(A({S("DLMessageMoveItems"), S("not a dictionary"), D({}), R(1)}));
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(ReadFile(root / "u/ab/file"), "new");
  EXPECT_FALSE(fs::exists(root / "u/ab/old"));
  EXPECT_EQ(ReadFile(root / "u/Manifest.db"), "manifest");
  ASSERT_EQ(link.statuses.size(), 3u);
  EXPECT_EQ(link.statuses[0].code, 0);
  EXPECT_EQ(link.statuses[1].code, -6);
  EXPECT_EQ(link.statuses[1].text, std::strerror(ENOENT));
  EXPECT_NE(log.find("Renameing '"), std::string::npos);
  EXPECT_EQ(link.statuses[2].code, -1);
  EXPECT_EQ(link.statuses[2].text, "Could not create dict iterator");
}

TEST_F(DeviceLinkLoopTest, MovesAndCopiesOntoThemselvesLoseNothing) {
  WriteFile(root / "u/a/b/file", "deep");
  WriteFile(root / "u/same", "same");
  link.Send(A({S("DLMessageMoveItems"), D({{"u/a/b", S("u/a")}}), D({}), R(1)}));
  link.Send(A({S("DLMessageMoveItems"), D({{"u/same", S("u/./same")}}), D({}), R(1)}));
  link.Send(A({S("DLMessageCopyItem"), S("u/same"), S("u/same")}));
  link.Send(A({S("DLMessageCopyItem"), S("u/a/b"), S("u/a/b/")}));
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(ReadFile(root / "u/a/b/file"), "deep");
  EXPECT_EQ(ReadFile(root / "u/same"), "same");
  ASSERT_EQ(link.statuses.size(), 4u);
  EXPECT_EQ(link.statuses[0].code, -EINVAL);
  EXPECT_EQ(link.statuses[1].code, -EINVAL);
  EXPECT_EQ(link.statuses[2].code, 0);
  EXPECT_EQ(link.statuses[3].code, 0);
}

TEST_F(DeviceLinkLoopTest, ContentsOfDirectoryListsTypesSizesAndDates) {
  WriteFile(root / "u/file", "12345");
  fs::create_directories(root / "u/folder");
  ::symlink("/etc", (root / "u/link").c_str());
  link.Send(A({S("DLContentsOfDirectory"), S("u")}));
  link.Send(A({S("DLContentsOfDirectory"), U(3)}));
  EXPECT_EQ(Run(), 0);
  EXPECT_NE(log.find("ERROR: Malformed DLContentsOfDirectory message\n"), std::string::npos);
  ASSERT_EQ(link.statuses.size(), 1u);
  plist_t listing = link.statuses[0].payload.get();
  EXPECT_EQ(plist_dict_get_size(listing), 3u);
  plist_t file = plist_dict_get_item(listing, "file");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(PlistDictString(file, "DLFileType"), "DLFileTypeRegular");
  uint64_t size = 0;
  plist_get_uint_val(plist_dict_get_item(file, "DLFileSize"), &size);
  EXPECT_EQ(size, 5u);
  int32_t seconds = 0, micro = 0;
  plist_get_date_val(plist_dict_get_item(file, "DLFileModificationDate"), &seconds, &micro);
  struct stat info {};
  ::stat((root / "u/file").c_str(), &info);
  EXPECT_EQ(seconds + 978307200LL, static_cast<long long>(info.st_mtime));
  EXPECT_EQ(PlistDictString(plist_dict_get_item(listing, "folder"), "DLFileType"), "DLFileTypeDirectory");
  EXPECT_EQ(PlistDictString(plist_dict_get_item(listing, "link"), "DLFileType"), "DLFileTypeUnknown");
}

TEST_F(DeviceLinkLoopTest, CreateCopyAndFreeSpace) {
  WriteFile(root / "u/src/one", "1");
  WriteFile(root / "u/src/sub/two", "2");
  WriteFile(root / "u/single", "s");
  link.Send(A({S("DLMessageCreateDirectory"), S("u/new/deep")}));
  link.Send(A({S("DLMessageCopyItem"), S("u/src"), S("u/dst")}));
  link.Send(A({S("DLMessageCopyItem"), S("u/single"), S("u/single.copy")}));
  link.Send(A({S("DLMessageGetFreeDiskSpace")}));
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(fs::is_directory(root / "u/new/deep"));
  EXPECT_EQ(ReadFile(root / "u/dst/one"), "1");
  EXPECT_FALSE(fs::exists(root / "u/dst/sub"));  // no recursion
  EXPECT_EQ(ReadFile(root / "u/single.copy"), "s");
  ASSERT_EQ(link.statuses.size(), 4u);
  EXPECT_FALSE(link.statuses[0].hasPayload);
  EXPECT_EQ(link.statuses[3].code, 0);
  uint64_t free = 0;
  plist_get_uint_val(link.statuses[3].payload.get(), &free);
  EXPECT_GT(free, 0u);
}

// --- the loop itself -----------------------------------------------------------

struct ProcessCase {
  plist_t body;
  int32_t result;
  const char* description;
};

TEST_F(DeviceLinkLoopTest, ProcessMessageEndsTheLoopWithMinusTheErrorCode) {
  for (const ProcessCase& c :
       {ProcessCase{D({{"ErrorCode", U(0)}, {"Content", S("All done")}}), 0, ""},
        ProcessCase{D({{"ErrorCode", U(105)}, {"ErrorDescription", S("No space")}}), -105, "No space"},
        ProcessCase{D({{"ErrorCode", U(0x80000000u)}}), -INT32_MAX, ""},
        ProcessCase{D({{"ErrorCode", U(uint64_t{1} << 40)}}), -INT32_MAX, ""},
        ProcessCase{S("not a dictionary"), 87, ""}}) {
    ScriptedDeviceLink device;
    device.Send(A({S("DLMessageProcessMessage"), c.body}));
    device.Send(A({S("DLMessageGetFreeDiskSpace")}));  // never reached
    DeviceLinkLoop loop(device, settings);
    EXPECT_EQ(loop.RunMessageLoop(root), c.result);
    EXPECT_EQ(loop.ErrorDescription(), c.description);
    EXPECT_TRUE(device.statuses.empty());
  }
  EXPECT_NE(log.find("All done\n"), std::string::npos);
}

TEST_F(DeviceLinkLoopTest, ProgressIgnoresJumpsOf99AndValuesNotAbove0) {
  std::vector<int32_t> reported;
  settings.progress = [&reported](int32_t p) {
    reported.push_back(p);
    return 0;
  };
  settings.progressShare = 20;
  for (double value : {100.0, 0.0, -5.0, 50.0, 40.0, 98.0}) {
    link.Send(A({S("DLMessageRemoveItems"), A({}), D({}), R(value)}));
  }
  EXPECT_EQ(Run(), 0);
  // 100 from 0 and the values not above 0 leave 0; then 50 → 10, 40 → 8, 98 → 19.
  EXPECT_EQ(reported, (std::vector<int32_t>{0, 0, 0, 10, 8, 19}));
}

TEST_F(DeviceLinkLoopTest, ProgressNeverExceedsTheShare) {
  std::vector<int32_t> reported;
  settings.progress = [&reported](int32_t p) {
    reported.push_back(p);
    return 0;
  };
  settings.progressShare = 20;
  for (double value : {90.0, 180.0, 270.0}) link.Send(A({S("DLMessageRemoveItems"), A({}), D({}), R(value)}));
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(reported, (std::vector<int32_t>{18, 20, 20}));
}

TEST_F(DeviceLinkLoopTest, ProgressAnswerStopsTheLoop) {
  int calls = 0;
  settings.progress = [&calls](int32_t) { return ++calls == 2 ? 2 : 0; };
  for (int i = 0; i < 4; ++i) link.Send(A({S("DLMessageGetFreeDiskSpace")}));
  EXPECT_EQ(Run(), 2);
  EXPECT_EQ(link.statuses.size(), 2u);
}

TEST_F(DeviceLinkLoopTest, SilentDeviceIsGivenUpAfterElevenFailedProbes) {
  link.endless = true;
  link.probeDefault = false;
  EXPECT_EQ(Run(), -1);
  EXPECT_EQ(link.probeCount, 11);
  EXPECT_EQ(QuitCounter().load(), 1);
}

TEST_F(DeviceLinkLoopTest, SuccessfulProbeStartsTheCountAgain) {
  link.endless = true;
  link.probes = std::deque<bool>(10, false);
  link.probes.push_back(true);
  link.probeDefault = false;
  EXPECT_EQ(Run(), -1);
  EXPECT_EQ(link.probeCount, 22);
}

TEST_F(DeviceLinkLoopTest, QuitCounterEndsTheLoopAndIsResetAtStart) {
  QuitCounter().store(5);  // left over from an earlier loop: no effect
  settings.progress = [](int32_t) {
    QuitCounter().fetch_add(1);  // the scan's cancel, arriving mid-loop
    return 0;
  };
  link.Send(A({S("DLMessageGetFreeDiskSpace")}));
  link.Send(A({S("DLMessageGetFreeDiskSpace")}));
  EXPECT_EQ(Run(), -1);
  EXPECT_EQ(link.statuses.size(), 1u);
}

TEST_F(DeviceLinkLoopTest, UnknownMessagesAreIgnored) {
  link.Send(A({S("DLMessageSomethingNew"), U(1)}));
  link.Send(A({}));
  link.Send(A({S("DLMessageProcessMessage"), D({{"ErrorCode", U(0)}})}));
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(link.statuses.empty());
}

// --- names and codes -----------------------------------------------------------

TEST(DevicePath, NamesThatLeaveTheRootAreRefused) {
  char pattern[] = "/tmp/fq-devicepath-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const fs::path scratch = pattern;
  const fs::path root = scratch / "root";
  fs::create_directories(root / "udid");
  fs::create_directories(scratch / "outside");
  fs::create_directory_symlink(scratch / "outside", root / "udid" / "out");
  fs::create_directory_symlink(root / "udid", root / "inside");

  const struct {
    std::string name;
    bool accepted;
  } cases[] = {
      {"udid/Manifest.db", true},
      {"udid/Snapshot/ab/abcdef", true},
      {"udid/./a", true},
      {"udid/x/../Status.plist", true},
      {"inside/Manifest.db", true},
      {"", false},
      {"/etc/passwd", false},
      {"../x", false},
      {"udid/../../x", false},
      {"..", false},
      {".", false},
      {"udid/..", false},
      {"udid/out/file", false},
      {"udid/out", false},
      {std::string("udid/a\0b", 8), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto path = ResolveDevicePath(root, c.name);
    EXPECT_EQ(path.has_value(), c.accepted);
    if (path) {
      EXPECT_EQ(path->string().rfind(root.string() + "/", 0), 0u);
    }
  }
  std::error_code ec;
  fs::remove_all(scratch, ec);
}

TEST(DeviceErrorCodes, ErrnoAndDeletionMappings) {
  EXPECT_EQ(DeviceErrorCode(ENOENT), -6);
  EXPECT_EQ(DeviceErrorCode(EEXIST), -7);
  EXPECT_EQ(DeviceErrorCode(EACCES), -13);
  EXPECT_EQ(DeviceErrorCode(ENOSPC), -ENOSPC);
  EXPECT_EQ(DeleteFailureErrno(ENOENT, true), ENOENT);
  EXPECT_EQ(DeleteFailureErrno(ENOENT, false), EFAULT);
  EXPECT_EQ(DeleteFailureErrno(ENOTDIR, true), EFAULT);
  EXPECT_EQ(DeleteFailureErrno(EACCES, true), EFAULT);
  EXPECT_EQ(DeleteFailureErrno(EEXIST, true), EEXIST);
}

}  // namespace
}  // namespace fq
