// The README's pictures of what the analysis does to a recording are current: drawn again from
// the example recordings, every one equals the committed file byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/run_tool.h"
#include "support/shell.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::shellQuote;

TEST(DocPictures, TheCommittedPicturesAreCurrent) {
  testsupport::TempDir work;
  const fs::path script = fs::path(PT_SOURCE_DIR) / "docs" / "make_pictures.sh";
  const auto run =
      testsupport::runShell("sh " + shellQuote(script.string()) + " " + shellQuote(PT_BUILD_DIR) +
                                " " + shellQuote(work.root().string()),
                            work.root());
  ASSERT_EQ(run.status, 0) << run.err;
  size_t pictures = 0;
  for (const auto& entry : fs::directory_iterator(work.root())) {
    if (entry.path().extension() != ".svg") continue;
    ++pictures;
    const fs::path committed = fs::path(PT_SOURCE_DIR) / "docs" / entry.path().filename();
    ASSERT_TRUE(fs::exists(committed)) << committed << ": run docs/make_pictures.sh";
    EXPECT_EQ(testsupport::readFile(entry.path()), testsupport::readFile(committed))
        << committed << " is out of date: run docs/make_pictures.sh";
  }
  EXPECT_EQ(pictures, 13u);
}

}  // namespace
