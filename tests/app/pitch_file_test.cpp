#include "pitch_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "pitch_line.h"
#include "support/shell.h"
#include "support/temp_dir.h"

namespace pitchtrack {

namespace fs = std::filesystem;

namespace {

using testsupport::readFile;

TEST(PitchFile, FormatJoinsValuesWithPlus) {
  EXPECT_EQ(formatPitchLine(std::vector<int32_t>{}), "\n");
  EXPECT_EQ(formatPitchLine(std::vector<int32_t>{600}), "600\n");
  EXPECT_EQ(formatPitchLine(std::vector<int32_t>{600, 0, 610}), "600+0+610\n");
  EXPECT_EQ(formatPitchLine(std::vector<int32_t>{2147483647, -2147483647 - 1}),
            "2147483647+-2147483648\n");
}

TEST(PitchFile, ReplacesAnOldFileKeepingItsPermissionsAndLinks) {
  testsupport::TempDir dir;
  const fs::path target = dir.path("song.pv");
  ASSERT_TRUE(writePitchFile(target, "600+610\n"));
  EXPECT_EQ(readFile(target), "600+610\n");
  ASSERT_EQ(chmod(target.c_str(), 0640), 0);
  ASSERT_TRUE(writePitchFile(target, "5\n"));
  EXPECT_EQ(readFile(target), "5\n");
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  fs::create_symlink(target, dir.path("link.pv"));
  ASSERT_TRUE(writePitchFile(dir.path("link.pv"), "570+570\n"));
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir.path("link.pv"))));
  EXPECT_EQ(readFile(target), "570+570\n");
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"link.pv", "song.pv"}));  // no temporaries
}

TEST(PitchFile, ReportsFilesThatCannotBeWritten) {
  testsupport::TempDir dir;
  EXPECT_FALSE(writePitchFile(dir.path("missing/song.pv"), "1\n"));
  EXPECT_TRUE(dir.names().empty());
  // A device that accepts the open but refuses the bytes.
  EXPECT_TRUE(!fs::exists("/dev/full") || !writePitchFile("/dev/full", "600+610\n"));
}

}  // namespace

}  // namespace pitchtrack
