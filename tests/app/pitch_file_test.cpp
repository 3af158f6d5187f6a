#include "pitch_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

TEST(PitchFile, FormatJoinsValuesWithPlus) {
  EXPECT_EQ(formatPitchLine(std::vector<int32_t>{}), "\n");
  EXPECT_EQ(formatPitchLine(std::vector<int32_t>{600}), "600\n");
  EXPECT_EQ(formatPitchLine(std::vector<int32_t>{600, 0, 610}), "600+0+610\n");
  EXPECT_EQ(formatPitchLine(std::vector<int32_t>{-10, 20}), "-10+20\n");
  EXPECT_EQ(formatPitchLine(std::vector<int32_t>{2147483647, -2147483647 - 1}),
            "2147483647+-2147483648\n");
}

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> namesIn(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(PitchFile, WritesANewFileAndReplacesAnOldOne) {
  testsupport::TempDir dir;
  const fs::path target = dir.path("song.pv");
  ASSERT_TRUE(writePitchFile(target, "600+610\n"));
  EXPECT_EQ(readAll(target), "600+610\n");
  ASSERT_TRUE(writePitchFile(target, "5\n"));
  EXPECT_EQ(readAll(target), "5\n");
  EXPECT_EQ(namesIn(dir.root()), (std::vector<std::string>{"song.pv"}));  // no temporaries
}

TEST(PitchFile, KeepsTheOldFilesPermissions) {
  testsupport::TempDir dir;
  const fs::path target = dir.path("song.pv");
  std::ofstream(target) << "old\n";
  ASSERT_EQ(chmod(target.c_str(), 0640), 0);
  ASSERT_TRUE(writePitchFile(target, "1\n"));
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(readAll(target), "1\n");
}

TEST(PitchFile, WritesThroughASymbolicLink) {
  testsupport::TempDir dir;
  const fs::path real = dir.path("real.pv");
  const fs::path link = dir.path("link.pv");
  std::ofstream(real) << "old\n";
  fs::create_symlink(real, link);
  ASSERT_TRUE(writePitchFile(link, "570+570\n"));
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
  EXPECT_EQ(readAll(real), "570+570\n");
  EXPECT_EQ(namesIn(dir.root()), (std::vector<std::string>{"link.pv", "real.pv"}));
}

TEST(PitchFile, ReportsFilesThatCannotBeWritten) {
  testsupport::TempDir dir;
  EXPECT_FALSE(writePitchFile(dir.path("missing/song.pv"), "1\n"));
  EXPECT_TRUE(namesIn(dir.root()).empty());
  // A device that accepts the open but refuses the bytes.
  if (fs::exists("/dev/full")) {
    EXPECT_FALSE(writePitchFile("/dev/full", "600+610\n"));
  }
}

}  // namespace
