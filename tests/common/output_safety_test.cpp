// The rules of shared folders: in a world-writable sticky folder such as /tmp, a symbolic link
// or FIFO at an output's name is used only when it belongs to the user writing or to the
// folder's owner, whatever the kernel's own protections say. Entries of another user are made
// with lchown, so these tests need root.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "output_file.h"
#include "support/shell.h"
#include "support/temp_dir.h"

namespace pitchtrack {

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;

constexpr uid_t kNobody = 65534;

struct FolderCase {
  const char* what;
  mode_t folderMode;
  uid_t folderOwner;
  uid_t entryOwner;
  bool refused;
};

std::vector<FolderCase> folderCases() {
  const uid_t self = geteuid();
  return {
      {"another user's entry in a shared folder", 01777, self, kNobody, true},
      {"another user's entry in a shared folder of a third user", 01777, kNobody + 1, kNobody,
       true},
      {"the writer's own entry in a shared folder", 01777, kNobody, self, false},
      {"the folder owner's entry in a shared folder", 01777, kNobody, kNobody, false},
      {"a world-writable folder without the sticky bit", 0777, self, kNobody, false},
      {"a sticky folder only its owner writes to", 01755, self, kNobody, false},
  };
}

// Makes `folder` with the case's mode and owner, and gives `entry` (inside it) to its owner.
void share(const fs::path& folder, const fs::path& entry, const FolderCase& c) {
  ASSERT_EQ(lchown(entry.c_str(), c.entryOwner, c.entryOwner), 0);
  ASSERT_EQ(chown(folder.c_str(), c.folderOwner, c.folderOwner), 0);
  ASSERT_EQ(chmod(folder.c_str(), c.folderMode), 0);
}

class SharedFolder : public testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "planting another user's entries needs root";
  }
};

TEST_F(SharedFolder, LinkOfAnotherUserIsNotFollowed) {
  for (const FolderCase& c : folderCases()) {
    SCOPED_TRACE(c.what);
    testsupport::TempDir dir;
    testsupport::writeText(dir.path("victim"), "untouched\n");
    fs::create_directory(dir.path("shared"));
    fs::create_symlink("../victim", dir.path("shared/out.pitch"));
    share(dir.path("shared"), dir.path("shared/out.pitch"), c);

    const WriteResult written = writeOutputFile(dir.path("shared/out.pitch"), "600+610\n");
    EXPECT_EQ(written.ok(), !c.refused);
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir.path("shared/out.pitch"))));
    EXPECT_EQ(readFile(dir.path("victim")), c.refused ? "untouched\n" : "600+610\n");
    if (c.refused) {
      EXPECT_EQ(written.reason, "a symbolic link of another user in a shared folder; not followed");
    }
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"shared", "victim"}));
    EXPECT_EQ(dir.names("shared"), std::vector<std::string>{"out.pitch"});
  }
}

// Nobody reads the FIFOs: one that may be used fails at once for want of a reader instead of
// waiting for one; one of another user is not even opened.
TEST_F(SharedFolder, FifoOfAnotherUserIsNotOpened) {
  for (const FolderCase& c : folderCases()) {
    SCOPED_TRACE(c.what);
    testsupport::TempDir dir;
    fs::create_directory(dir.path("shared"));
    ASSERT_EQ(mkfifo(dir.path("shared/out.pitch").c_str(), 0666), 0);
    share(dir.path("shared"), dir.path("shared/out.pitch"), c);

    const WriteResult written = writeOutputFile(dir.path("shared/out.pitch"), "600+610\n");
    EXPECT_FALSE(written.ok());
    EXPECT_EQ(written.reason, c.refused ? "a FIFO of another user in a shared folder; not opened"
                                        : "no reader on the FIFO");
    EXPECT_TRUE(fs::is_fifo(dir.path("shared/out.pitch")));
    EXPECT_EQ(dir.names("shared"), std::vector<std::string>{"out.pitch"});
  }
}

// A link to a link: each one is judged in its own folder.
TEST_F(SharedFolder, EveryLinkOfAChainIsJudged) {
  testsupport::TempDir dir;
  testsupport::writeText(dir.path("victim"), "untouched\n");
  fs::create_directory(dir.path("shared"));
  fs::create_symlink("../victim", dir.path("shared/planted"));
  fs::create_symlink("shared/planted", dir.path("out.pitch"));
  share(dir.path("shared"), dir.path("shared/planted"), folderCases().front());

  EXPECT_FALSE(writeOutputFile(dir.path("out.pitch"), "600+610\n").ok());
  EXPECT_EQ(readFile(dir.path("victim")), "untouched\n");
}

// A planted link to a folder stands anywhere in the path: as the folder of the output, further
// up, or on the way a link of the writer's own leads. Each is judged by the rule for a link at
// the output's own name; the folder it leads to stays empty.
TEST_F(SharedFolder, PlantedFolderLinksAnywhereOnThePathAreNotFollowed) {
  struct PathCase {
    const char* output;   // below the test folder; shared/sub is the planted link to victim/
    const char* ownLink;  // a link of the writer's own made first ("" for none)
  };
  const std::vector<PathCase> pathCases = {
      {"shared/sub/x.pitch", ""},
      {"shared/sub/deeper/../x.pitch", ""},
      {"mine/x.pitch", "shared/sub"},
  };
  for (const FolderCase& c : folderCases()) {
    for (const PathCase& p : pathCases) {
      SCOPED_TRACE(std::string(c.what) + ": " + p.output);
      testsupport::TempDir dir;
      fs::create_directories(dir.path("victim/deeper"));
      fs::create_directory(dir.path("shared"));
      fs::create_directory_symlink(dir.path("victim"), dir.path("shared/sub"));
      if (*p.ownLink != '\0') fs::create_directory_symlink(dir.path(p.ownLink), dir.path("mine"));
      share(dir.path("shared"), dir.path("shared/sub"), c);

      const WriteResult written = writeOutputFile(dir.path(p.output), "600+610\n");
      EXPECT_EQ(written.ok(), !c.refused) << written.reason;
      EXPECT_EQ(fs::exists(dir.path("victim/x.pitch")), !c.refused);
      if (c.refused) {
        EXPECT_EQ(written.reason,
                  "a symbolic link of another user in a shared folder on the way; not followed");
      }
    }
  }
}

}  // namespace

}  // namespace pitchtrack
