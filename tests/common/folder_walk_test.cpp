// The walk to an output's folder through open descriptors: it makes missing folders when asked,
// follows the user's own links as the kernel would (".." after a link is the parent of where the
// link leads), and never makes a folder that a link leads to.
#include "folder_walk.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/shell.h"
#include "support/temp_dir.h"

namespace pitchtrack {

namespace {

namespace fs = std::filesystem;

struct WalkCase {
  const char* path;  // below the test folder
  MissingFolders missing;
  const char* reaches;  // the folder the walk must end in ("" when it fails)
  const char* failure;  // the reason, when it fails
};

TEST(FolderWalk, ReachesTheFolderTheKernelWouldOrSaysWhy) {
  const std::vector<WalkCase> cases = {
      {"new/deeper", MissingFolders::kCreate, "new/deeper", ""},
      {"absent/deeper", MissingFolders::kFail, "", "No such file or directory"},
      {"own/sub", MissingFolders::kFail, "real/sub", ""},
      {"own/../sibling", MissingFolders::kCreate, "sibling", ""},
      {"deep/../made", MissingFolders::kCreate, "far/made", ""},
      {"dangling/x", MissingFolders::kCreate, "",
       "a symbolic link to a folder that does not exist"},
      {"file/x", MissingFolders::kCreate, "", "Not a directory"},
  };
  testsupport::TempDir dir;
  fs::create_directories(dir.path("real/sub"));
  fs::create_directories(dir.path("far/away"));
  fs::create_directory_symlink("real", dir.path("own"));
  fs::create_directory_symlink("far/away", dir.path("deep"));
  fs::create_directory_symlink("nowhere", dir.path("dangling"));
  testsupport::writeText(dir.path("file"), "a file");
  for (const WalkCase& c : cases) {
    SCOPED_TRACE(c.path);
    OpenFolder folder;
    EXPECT_EQ(walkToFolder(nullptr, dir.path(c.path), c.missing, folder), c.failure);
    EXPECT_EQ(folder.isOpen(), *c.reaches != '\0');
    if (!folder.isOpen()) continue;
    struct stat reached {};
    struct stat expected {};
    ASSERT_EQ(fstat(folder.fd(), &reached), 0);
    ASSERT_EQ(stat(dir.path(c.reaches).c_str(), &expected), 0);
    EXPECT_EQ(reached.st_ino, expected.st_ino);
  }
  EXPECT_FALSE(fs::exists(dir.path("nowhere")));
  EXPECT_FALSE(fs::exists(dir.path("made"))) << "'..' after a link is not taken lexically";
}

}  // namespace

}  // namespace pitchtrack
