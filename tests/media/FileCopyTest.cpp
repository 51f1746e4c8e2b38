#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/ResultCodes.h"
#include "engine/media/FileCopy.h"
#include "tests/support/TempFolder.h"
#include "tools/backupbuilder/MediaSamples.h"

namespace fq {
namespace {

using Bytes = std::vector<uint8_t>;

struct CopyReport {
  int32_t percent;
  int32_t code;
  bool operator==(const CopyReport&) const = default;
};

void PrintTo(const CopyReport& r, std::ostream* os) { *os << "(" << r.percent << ", " << r.code << ")"; }

Bytes Pattern(size_t size) {
  Bytes b(size);
  for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>((i * 131) ^ (i >> 9));
  return b;
}

Bytes ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class CopyOutTest : public ::testing::Test {
 protected:
  CopyProgressCallback recorder(int answerAt = 0, int32_t answer = kCancelled) {
    return [this, answerAt, answer](int32_t percent, int32_t code, const std::filesystem::path& destination) {
      reports.push_back({percent, code});
      destinations.push_back(destination);
      return static_cast<int>(reports.size()) == answerAt ? answer : kOk;
    };
  }
  testsupport::TempFolder dir;
  std::vector<CopyReport> reports;
  std::vector<std::filesystem::path> destinations;
};

TEST_F(CopyOutTest, CopiesInChunksOf64KiBAndReportsEach) {
  struct Case {
    size_t size;
    std::vector<CopyReport> reports;
  };
  const Case cases[] = {
      {1, {{100, 0}}},
      {65535, {{100, 0}}},
      {65536, {{100, 0}}},
      {65537, {{99, 0}, {100, 0}}},
      {200000, {{32, 0}, {65, 0}, {98, 0}, {100, 0}}},
  };
  for (const auto& c : cases) {
    reports.clear();
    const Bytes source = Pattern(c.size);
    WriteAll(dir / "source", source);
    const auto destination = dir / "out" / std::to_string(c.size) / "copy.bin";
    ASSERT_EQ(CopyOut(dir / "source", destination, recorder()), kOk) << c.size;
    EXPECT_EQ(ReadAll(destination), source) << c.size;
    EXPECT_EQ(reports, c.reports) << c.size;
  }
  EXPECT_EQ(destinations.back(), dir / "out" / "200000" / "copy.bin");
}

TEST_F(CopyOutTest, AnEmptySourceGivesAnEmptyFileAndNoReport) {
  WriteAll(dir / "empty", {});
  WriteAll(dir / "existing", Pattern(5000));
  ASSERT_EQ(CopyOut(dir / "empty", dir / "existing", recorder()), kOk);
  EXPECT_TRUE(reports.empty());
  EXPECT_EQ(std::filesystem::file_size(dir / "existing"), 0u) << "an existing destination is emptied";
}

TEST_F(CopyOutTest, FailuresAreReportedAt100WithTheirCode) {
  ASSERT_EQ(CopyOut(dir / "missing", dir / "out.bin", recorder()), kInvalid);
  EXPECT_EQ(reports, (std::vector<CopyReport>{{100, kInvalid}}));

  reports.clear();
  WriteAll(dir / "source", Pattern(10));
  WriteAll(dir / "plainfile", {});
  EXPECT_EQ(CopyOut(dir / "source", dir / "plainfile" / "below" / "x", recorder()), kInvalid);
  EXPECT_EQ(reports, (std::vector<CopyReport>{{100, kInvalid}}));

  EXPECT_EQ(CopyOut(dir / "missing", dir / "out.bin", nullptr), kInvalid) << "no callback, same result";

  // A destination that is the source itself (or a link to it) is refused, never emptied.
  const Bytes original = Pattern(70000);
  WriteAll(dir / "source", original);
  std::filesystem::create_hard_link(dir / "source", dir / "alias");
  EXPECT_EQ(CopyOut(dir / "source", dir / "source", nullptr), kInvalid);
  EXPECT_EQ(CopyOut(dir / "source", dir / "alias", nullptr), kInvalid);
  EXPECT_EQ(ReadAll(dir / "source"), original);
}

TEST_F(CopyOutTest, ACancelEndsTheCopyWithTheAnswer) {
  WriteAll(dir / "source", Pattern(200000));
  EXPECT_EQ(CopyOut(dir / "source", dir / "out.bin", recorder(1)), kCancelled);
  EXPECT_EQ(reports, (std::vector<CopyReport>{{32, 0}, {100, kCancelled}}));
  EXPECT_EQ(std::filesystem::file_size(dir / "out.bin"), 65536u);
}

TEST_F(CopyOutTest, ASourceThatShrinksMidCopyIsAShortRead) {
  WriteAll(dir / "source", Pattern(200000));
  const auto shrink = [this](int32_t percent, int32_t code, const std::filesystem::path&) {
    reports.push_back({percent, code});
    std::filesystem::resize_file(dir / "source", 70000);
    return kOk;
  };
  EXPECT_EQ(CopyOut(dir / "source", dir / "out.bin", shrink), kShortRead);
  EXPECT_EQ(reports, (std::vector<CopyReport>{{32, 0}, {100, kShortRead}}));
}

TEST_F(CopyOutTest, AFailedWriteReachesTheCallbackOrEndsTheCopy) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  WriteAll(dir / "source", Pattern(100000));
  // The callback decides: going on after a failed write is its choice.
  EXPECT_EQ(CopyOut(dir / "source", "/dev/full", recorder()), kOk);
  EXPECT_EQ(reports, (std::vector<CopyReport>{{65, ENOSPC}, {100, ENOSPC}}));
  reports.clear();
  EXPECT_EQ(CopyOut(dir / "source", "/dev/full", recorder(1, ENOSPC)), ENOSPC);
  EXPECT_EQ(reports, (std::vector<CopyReport>{{65, ENOSPC}, {100, ENOSPC}}));
  // Without a callback nobody would learn of it: the copy ends with the error.
  EXPECT_EQ(CopyOut(dir / "source", "/dev/full", nullptr), ENOSPC);
}

class ExtractPreviewTest : public ::testing::Test {
 protected:
  ProgressCallback recorder(int cancelAt = 0) {
    return [this, cancelAt](int32_t percent) {
      reports.push_back(percent);
      return static_cast<int>(reports.size()) == cancelAt ? kCancelled : kOk;
    };
  }
  testsupport::TempFolder dir;
  std::vector<int32_t> reports;
};

TEST_F(ExtractPreviewTest, PicksThePreviewFileByTheKindOfMedia) {
  struct Case {
    const char* what;
    Bytes source;
    const char* previewName;
  };
  const Case cases[] = {
      {"gif", builder::GifImage(800), "tmp.jpg"},
      {"png", builder::PngImage(4, 4, 0x00FF00, 800), "tmp.jpg"},
      {"mp3", builder::Mp3Audio(800), "tmp.wav"},
      {"wav", builder::WavAudio(800), "tmp.wav"},
      {"mov", builder::QuickTimeMovie(800), "tmp.avi"},
      {"3gp", builder::ThreeGppMovie(800), "tmp.avi"},
  };
  for (const auto& c : cases) {
    reports.clear();
    WriteAll(dir / c.what, c.source);
    std::filesystem::path output = "stale";
    ASSERT_EQ(ExtractPreview(dir / c.what, dir.path(), output, recorder()), kOk) << c.what;
    EXPECT_EQ(output, dir / c.previewName) << c.what;
    EXPECT_EQ(ReadAll(output), c.source) << c.what;
    EXPECT_EQ(reports, (std::vector<int32_t>{100, 100})) << c.what;
  }
}

TEST_F(ExtractPreviewTest, AShorterSecondPreviewLeavesTheFileExactlyAsLongAsItsSource) {
  WriteAll(dir / "big.jpg", builder::JpegImage(builder::JpegHeader::Jfif, 8, 8, 150000));
  std::filesystem::path output;
  ASSERT_EQ(ExtractPreview(dir / "big.jpg", dir.path(), output, recorder()), kOk);
  EXPECT_EQ(reports, (std::vector<int32_t>{43, 87, 100, 100}));
  const Bytes small = builder::GifImage(700);
  WriteAll(dir / "small.gif", small);
  ASSERT_EQ(ExtractPreview(dir / "small.gif", dir.path(), output, nullptr), kOk);
  EXPECT_EQ(ReadAll(dir / "tmp.jpg"), small);
}

TEST_F(ExtractPreviewTest, RefusesUnrecognisedSourcesAndStopsOnCancel) {
  WriteAll(dir / "notes.txt", Bytes(4096, 'n'));
  std::filesystem::path output = "stale";
  EXPECT_EQ(ExtractPreview(dir / "notes.txt", dir.path(), output, recorder()), kInvalid);
  EXPECT_TRUE(output.empty());
  EXPECT_FALSE(std::filesystem::exists(dir / "tmp.jpg"));
  EXPECT_EQ(ExtractPreview(dir / "missing", dir.path(), output, recorder()), kInvalid);
  EXPECT_EQ(reports, (std::vector<int32_t>{100, 100})) << "100 is reported whatever happened";

  WriteAll(dir / "big.mov", builder::QuickTimeMovie(150000));
  reports.clear();
  EXPECT_EQ(ExtractPreview(dir / "big.mov", dir.path(), output, recorder(1)), kCancelled);
  EXPECT_EQ(reports, (std::vector<int32_t>{43, 100})) << "100 is reported whatever happened";
  EXPECT_EQ(std::filesystem::file_size(dir / "tmp.avi"), 65536u);

  // A work folder whose preview name is the source itself.
  const Bytes movie = ReadAll(dir / "big.mov");
  std::filesystem::rename(dir / "big.mov", dir / "tmp.avi");
  EXPECT_EQ(ExtractPreview(dir / "tmp.avi", dir.path(), output, nullptr), kInvalid);
  EXPECT_EQ(ReadAll(dir / "tmp.avi"), movie);
  std::filesystem::rename(dir / "tmp.avi", dir / "big.mov");

  reports.clear();
  EXPECT_EQ(ExtractPreview(dir / "big.mov", dir / "no" / "such" / "folder", output, recorder()), kInvalid);
  EXPECT_EQ(reports, (std::vector<int32_t>{100}));
}

}  // namespace
}  // namespace fq
