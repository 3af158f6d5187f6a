// The manual pages: clean roff (groff with every warning enabled has nothing to say), and the
// sections a reader looks for.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/run_tool.h"
#include "support/shell.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::shellQuote;

const fs::path kManDir = fs::path(PT_SOURCE_DIR) / "man";

TEST(ManualPages, GroffFindsNothingToWarnAbout) {
  if (!testsupport::haveProgram("groff")) GTEST_SKIP() << "groff is not installed";
  testsupport::TempDir scratch;
  for (const std::string page : {"pitchtrack.1", "pitchplot.1"}) {
    const auto run = testsupport::runShell(
        "groff -ww -z -man " + shellQuote((kManDir / page).string()), scratch.root());
    EXPECT_EQ(run.status, 0) << page;
    EXPECT_EQ(run.out + run.err, "") << page;
  }
}

// The section headings of a page, in order.
std::vector<std::string> sections(const std::string& roff) {
  std::vector<std::string> found;
  size_t at = 0;
  while ((at = roff.find("\n.SH ", at)) != std::string::npos) {
    at += 5;
    const size_t end = roff.find('\n', at);
    found.push_back(roff.substr(at, end - at));
  }
  return found;
}

TEST(ManualPages, HaveTheSectionsAReaderLooksFor) {
  EXPECT_EQ(
      sections(testsupport::readFile(kManDir / "pitchtrack.1")),
      (std::vector<std::string>{
          "NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "STANDARD INPUT AND OUTPUT",
          "OUTPUT FORMAT", "WHAT THE ANALYSIS DOES TO YOUR RECORDING", "PRECISE ANALYSIS", "NOTES",
          "LIVE", "EXIT STATUS", "SUPPORTED FORMATS", "FILES", "EXAMPLES", "SEE ALSO"}));
  EXPECT_EQ(sections(testsupport::readFile(kManDir / "pitchplot.1")),
            (std::vector<std::string>{"NAME", "SYNOPSIS", "DESCRIPTION", "EXIT STATUS", "EXAMPLES",
                                      "SEE ALSO"}));
}

}  // namespace
