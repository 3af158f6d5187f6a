// The results of a corpus run reach their final names only when their batch is committed, after
// the flush of their contents; a veto keeps a file from being replaced; a failed result leaves no
// temporary file.
#include "staged_outputs.h"

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
using testsupport::readFile;

struct StagedCase {
  const char* what;
  const char* existing;  // what the final name holds first (null: nothing)
  bool vetoed;           // the veto refuses what is at the name
  const char* after;     // what the final name holds after the commit
};

TEST(StagedOutputs, ResultsReachTheirNamesAtTheCommitUnlessVetoed) {
  const std::vector<StagedCase> cases = {
      {"a new name", nullptr, false, "600+610\n"},
      {"an earlier result", "5\n", false, "600+610\n"},
      {"a file the veto protects", "RIFF", true, "RIFF"},
  };
  for (const StagedCase& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::TempDir dir;
    fs::create_directory(dir.path("out"));
    if (c.existing != nullptr) {
      fs::create_directory(dir.path("out/sub"));
      testsupport::writeText(dir.path("out/sub/x.pitch"), c.existing);
      fs::permissions(dir.path("out/sub/x.pitch"), fs::perms(0640));
    }
    OpenFolder base;
    ASSERT_EQ(walkToFolder(nullptr, dir.path("out"), MissingFolders::kFail, base), "");
    StagedOutputs staged(std::move(base));
    ASSERT_TRUE(staged.stage("sub/x.pitch", "600+610\n", "x.wav").ok());
    EXPECT_EQ(staged.pendingFiles(), 1U);
    EXPECT_EQ(dir.names("out/sub").size(), c.existing != nullptr ? 2U : 1U) << "a temporary file";
    if (c.existing != nullptr) {
      EXPECT_EQ(readFile(dir.path("out/sub/x.pitch")), c.existing) << "untouched before the commit";
    }

    std::vector<std::string> failures;
    staged.commit(
        [&](const std::string& path, const struct stat&) {
          return c.vetoed ? "refused " + path : std::string();
        },
        [&](const std::string& owner, const std::string& path, const char* reason, bool vetoed) {
          failures.push_back(owner + " " + path + " " + reason + (vetoed ? " (vetoed)" : ""));
        });
    EXPECT_EQ(failures, c.vetoed ? std::vector<std::string>{"x.wav sub/x.pitch refused "
                                                            "sub/x.pitch (vetoed)"}
                                 : std::vector<std::string>{});
    EXPECT_EQ(readFile(dir.path("out/sub/x.pitch")), c.after);
    EXPECT_EQ(dir.names("out/sub"), std::vector<std::string>{"x.pitch"}) << "no temporary left";
    EXPECT_EQ(staged.pendingFiles(), 0U);
    if (c.existing != nullptr) {
      EXPECT_EQ(fs::status(dir.path("out/sub/x.pitch")).permissions(), fs::perms(0640));
    }
  }
}

}  // namespace

}  // namespace pitchtrack
