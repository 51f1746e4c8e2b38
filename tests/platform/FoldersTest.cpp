#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/platform/AppDataFolder.h"
#include "engine/platform/File.h"
#include "engine/platform/Folders.h"

namespace fq {
namespace {

namespace fs = std::filesystem;

class TempFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "fq-platform-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_root = pattern;
  }
  void TearDown() override { fs::remove_all(m_root); }
  void write(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }
  fs::path m_root;
};

using FoldersTest = TempFolder;

TEST_F(FoldersTest, CreatesFoldersWithParents) {
  EXPECT_EQ(CreateFolders(m_root / "a" / "b" / "c"), 0);
  EXPECT_TRUE(IsFolder(m_root / "a" / "b" / "c"));
  EXPECT_EQ(CreateFolders(m_root / "a"), 0);  // existing is fine
  write(m_root / "file", "x");
  EXPECT_NE(CreateFolders(m_root / "file"), 0);
  EXPECT_NE(CreateFolders(m_root / "file" / "below"), 0);
  EXPECT_EQ(CreateFolders(""), EINVAL);
}

TEST_F(FoldersTest, ListsEntriesAndTellsFoldersFromLinks) {
  write(m_root / "f.txt", "x");
  fs::create_directory(m_root / "sub");
  fs::create_directory_symlink(m_root / "sub", m_root / "link");
  std::vector<FolderEntry> entries;
  ASSERT_EQ(ListFolder(m_root, entries), 0);
  std::sort(entries.begin(), entries.end(), [](auto& a, auto& b) { return a.name < b.name; });
  EXPECT_EQ(entries, (std::vector<FolderEntry>{{"f.txt", false}, {"link", false}, {"sub", true}}));
  std::vector<FolderEntry> none;
  EXPECT_EQ(ListFolder(m_root / "missing", none), ENOENT);
  EXPECT_TRUE(none.empty());
}

TEST_F(FoldersTest, CopiesOverAndDeletesOnlyFiles) {
  write(m_root / "src", "new content");
  write(m_root / "dst", "older and longer content");
  EXPECT_EQ(CopyFileReplacing(m_root / "src", m_root / "dst"), 0);
  std::ifstream in(m_root / "dst");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new content");
  EXPECT_NE(CopyFileReplacing(m_root / "missing", m_root / "dst2"), 0);
  EXPECT_FALSE(fs::exists(m_root / "dst2"));

  fs::create_directory(m_root / "folder");
  EXPECT_EQ(DeleteFileAt(m_root / "folder"), EISDIR);
  EXPECT_TRUE(IsFolder(m_root / "folder"));
  EXPECT_EQ(DeleteFileAt(m_root / "dst"), 0);
  EXPECT_EQ(DeleteFileAt(m_root / "dst"), ENOENT);
}

TEST_F(FoldersTest, FileReadsAndWritesAtPositions) {
  File out = File::CreateOutput(m_root / "data");
  ASSERT_TRUE(out.ok());
  const std::array<uint8_t, 4> tail = {5, 6, 7, 8};
  const std::array<uint8_t, 4> head = {1, 2, 3, 4};
  EXPECT_EQ(out.writeAt(4, tail), 0);
  EXPECT_EQ(out.writeAt(0, head), 0);

  File in = File::OpenRead(m_root / "data");
  ASSERT_TRUE(in.ok());
  EXPECT_EQ(in.size(), 8);
  std::array<uint8_t, 6> buffer{};
  size_t got = 0;
  EXPECT_EQ(in.readAt(5, buffer, got), 0);
  EXPECT_EQ(got, 3u);  // short at the end of the file
  EXPECT_EQ(buffer[0], 6);
  EXPECT_EQ(in.readAt(100, buffer, got), 0);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(in.readAt(UINT64_MAX - 2, buffer, got), EINVAL);

  EXPECT_FALSE(File::OpenRead(m_root / "missing").ok());
  EXPECT_EQ(File::OpenRead(m_root / "missing").error(), ENOENT);
  EXPECT_EQ(File::OpenRead(m_root).error(), EISDIR);  // a folder is no file to read
  ASSERT_EQ(mkfifo((m_root / "fifo").c_str(), 0600), 0);
  EXPECT_EQ(File::OpenRead(m_root / "fifo").error(), EINVAL);  // refused at once, never waits for a writer
  EXPECT_EQ(File::OpenRead("/dev/zero").error(), EINVAL);
}

// Every file the program writes goes through CreateOutput (or OpenAppend): a
// link planted where an output file goes must not redirect the write.
TEST_F(FoldersTest, OutputFilesAndCopiesRefuseLinksAndTheSource) {
  write(m_root / "victim", "keep me");
  write(m_root / "src", "new content");
  fs::create_symlink(m_root / "victim", m_root / "link");
  EXPECT_EQ(File::CreateOutput(m_root / "link").error(), ELOOP);
  EXPECT_EQ(File::OpenAppend(m_root / "link").error(), ELOOP);
  EXPECT_EQ(WriteWholeFile(m_root / "link", "overwritten"), ELOOP);
  EXPECT_EQ(CopyFileReplacing(m_root / "src", m_root / "link"), ELOOP);
  EXPECT_EQ(File::OpenRead(m_root / "link", File::Links::Refuse).error(), ELOOP);
  EXPECT_TRUE(File::OpenRead(m_root / "link").ok());
  // Onto the source itself, by its name or through a link: refused before it is emptied.
  EXPECT_EQ(CopyFileReplacing(m_root / "victim", m_root / "victim"), EINVAL);
  fs::create_hard_link(m_root / "victim", m_root / "alias");
  EXPECT_EQ(CopyFileReplacing(m_root / "victim", m_root / "alias"), EINVAL);
  std::ifstream in(m_root / "victim");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep me");

  EXPECT_EQ(WriteWholeFile(m_root / "log", "one "), 0);
  File more = File::OpenAppend(m_root / "log");
  EXPECT_EQ(more.write(std::string_view("two")), 0);
  EXPECT_EQ(more.close(), 0);
  std::ifstream log(m_root / "log");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(log), {}), "one two");
}

TEST(RoamingAppDataFolder, FollowsXdgDataHome) {
  const char* savedXdg = getenv("XDG_DATA_HOME");
  const std::string saved = savedXdg ? savedXdg : "";
  setenv("XDG_DATA_HOME", "/some/where", 1);
  EXPECT_EQ(RoamingAppDataFolder(), "/some/where");
  setenv("XDG_DATA_HOME", "relative/ignored", 1);
  const char* home = getenv("HOME");
  if (home != nullptr && home[0] == '/') {
    EXPECT_EQ(RoamingAppDataFolder(), fs::path(home) / ".local" / "share");
  }
  if (savedXdg) {
    setenv("XDG_DATA_HOME", saved.c_str(), 1);
  } else {
    unsetenv("XDG_DATA_HOME");
  }
}

}  // namespace
}  // namespace fq
