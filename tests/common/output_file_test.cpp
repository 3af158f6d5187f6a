#include "output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "api/pitch_line.h"
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
  ASSERT_TRUE(writeOutputFile(target, "600+610\n").ok());
  EXPECT_EQ(readFile(target), "600+610\n");
  ASSERT_EQ(chmod(target.c_str(), 0640), 0);
  ASSERT_TRUE(writeOutputFile(target, "5\n").ok());
  EXPECT_EQ(readFile(target), "5\n");
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  fs::create_symlink(target, dir.path("link.pv"));
  ASSERT_TRUE(writeOutputFile(dir.path("link.pv"), "570+570\n").ok());
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir.path("link.pv"))));
  EXPECT_EQ(readFile(target), "570+570\n");
  EXPECT_EQ(dir.names(), (std::vector<std::string>{"link.pv", "song.pv"}));  // no temporaries
}

TEST(PitchFile, ReportsFilesThatCannotBeWritten) {
  testsupport::TempDir dir;
  EXPECT_FALSE(writeOutputFile(dir.path("missing/song.pv"), "1\n").ok());
  EXPECT_TRUE(dir.names().empty());
  // A device that accepts the open but refuses the bytes.
  EXPECT_TRUE(!fs::exists("/dev/full") || !writeOutputFile("/dev/full", "600+610\n").ok());
}

// A folder below `root` whose path leaves exactly room for a name of `nameLength` bytes in a
// path of `pathLength` bytes (nested folders of at most 200 bytes); `root` itself for 0.
fs::path nestedFolder(const fs::path& root, size_t pathLength, size_t nameLength) {
  fs::path folder = root;
  if (pathLength == 0) return folder;
  size_t remaining = pathLength - root.string().size() - 1 - nameLength;  // "/folder" pieces
  while (remaining > 0) {
    const size_t length = remaining > 203 ? 200 : remaining - 1;
    folder /= std::string(length, 'd');
    remaining -= length + 1;
  }
  return folder;
}

// The temporary name is of fixed length, so a name up to the 255-byte limit, or a path up to
// PATH_MAX - 1 bytes ending in a short name, is written like any other.
TEST(PitchFile, LongNamesAndPathsAreWritten) {
  struct Case {
    size_t nameLength;
    size_t pathLength;  // 0: the name sits in the test folder
  };
  for (const Case& c : {Case{242, 0}, Case{250, 0}, Case{255, 0}, Case{4, 4095}, Case{12, 4082}}) {
    SCOPED_TRACE(testing::Message() << "name " << c.nameLength << ", path " << c.pathLength);
    testsupport::TempDir dir;
    const fs::path folder = nestedFolder(dir.root(), c.pathLength, c.nameLength);
    fs::create_directories(folder);
    const fs::path target = folder / std::string(c.nameLength, 'n');
    if (c.pathLength > 0) {
      ASSERT_EQ(target.string().size(), c.pathLength);
    }
    for (const char* line : {"600+610\n", "5\n"}) {  // a new file, then its replacement
      const WriteResult written = writeOutputFile(target, line);
      ASSERT_TRUE(written.ok()) << written.reason;
      EXPECT_EQ(readFile(target), line);
    }
    EXPECT_EQ(fs::directory_iterator(folder)->path(), target);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
  }
}

// A signal that ends the tool between the creation of the temporary file and its rename takes
// the file with it; the process still dies of that signal.
TEST(PitchFile, EndingSignalRemovesTheTemporaryFile) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    testsupport::TempDir dir;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      protectOutputFiles();
      const WriteResult created = withTemporaryFile(dir.root(), [&](const std::string& name) {
        if (!fs::exists(dir.path(name))) _exit(3);
        std::raise(signal);
      });
      _exit(created.ok() ? 4 : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), signal);
    EXPECT_TRUE(dir.names().empty());
  }
}

}  // namespace

}  // namespace pitchtrack
