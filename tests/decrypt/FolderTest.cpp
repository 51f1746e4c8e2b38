// Where the decrypt tool reads and writes: a stored file must be a regular
// file, and a copy written into the output folder never goes through what
// stands there already.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/decrypt/CryptoTestSupport.h"
#include "tools/decrypt/Folder.h"

namespace fq::decrypt {
namespace {

using testsupport::ReadAll;
using testsupport::ScratchFolder;
using testsupport::WriteAll;

TEST(Folder, CreateFileReplacesWhatItMayAndRefusesTheRest) {
  ScratchFolder dir;
  const auto out = dir / "out";
  std::filesystem::create_directories(out);
  const auto victim = dir / "victim";
  struct Case {
    const char* what;
    std::function<void()> plant;  // what stands at out/name beforehand
    int expected;
  };
  const Case cases[] = {
      {"nothing", [] {}, 0},
      {"an old copy",
       [&] {
         WriteAll(out / "name", {9, 9, 9, 9, 9});
       },
       0},
      // Written through, the user's file behind the second link would change.
      {"a second link to a file elsewhere",
       [&] { ASSERT_EQ(::link(victim.c_str(), (out / "name").c_str()), 0); }, 0},
      {"a link", [&] { std::filesystem::create_symlink(victim, out / "name"); }, ELOOP},
      {"a dangling link", [&] { std::filesystem::create_symlink(dir / "absent", out / "name"); }, ELOOP},
      {"a folder", [&] { std::filesystem::create_directory(out / "name"); }, EISDIR},
  };
  const Folder folder = Folder::Open(out);
  ASSERT_TRUE(folder.ok());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(out / "name");
    std::filesystem::remove(dir / "absent");
    WriteAll(victim, {1, 2, 3});
    c.plant();
    UniqueFd file;
    EXPECT_EQ(folder.createFile("name", file), c.expected);
    if (c.expected == 0) {
      ASSERT_TRUE(file.ok());
      ASSERT_EQ(::write(file.get(), "new", 3), 3);
      EXPECT_EQ(file.close(), 0);
      EXPECT_EQ(ReadAll(out / "name"), (std::vector<uint8_t>{'n', 'e', 'w'}));
    } else {
      EXPECT_FALSE(file.ok());
    }
    EXPECT_EQ(ReadAll(victim), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_FALSE(std::filesystem::exists(dir / "absent"));
  }
}

TEST(Folder, OnlyRegularFilesOpenToRead) {
  ScratchFolder dir;
  WriteAll(dir / "file", {1, 2, 3, 4});
  std::filesystem::create_directory(dir / "sub");
  WriteAll(dir / "sub" / "inner", {5});
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  std::filesystem::create_symlink(dir / "file", dir / "link");
  struct Case {
    const char* name;
    int expected;
    off_t size;
  };
  const Case cases[] = {
      {"file", 0, 4},     {"sub/inner", 0, 1},   {"link", 0, 4},
      {"sub", EISDIR, 0}, {"absent", ENOENT, 0}, {"fifo", EINVAL, 0},  // refused at once, never waited on
  };
  const Folder folder = Folder::Open(dir.path());
  ASSERT_TRUE(folder.ok());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    UniqueFd file;
    struct stat status {};
    EXPECT_EQ(folder.openRegular(c.name, file, status), c.expected);
    EXPECT_EQ(file.ok(), c.expected == 0);
    if (c.expected == 0) {
      EXPECT_EQ(status.st_size, c.size);
    }
  }
  EXPECT_FALSE(Folder::Open(dir / "file").ok());
  EXPECT_FALSE(Folder::Open(dir / "absent").ok());
}

}  // namespace
}  // namespace fq::decrypt
