// The built tool under valgrind's memcheck: no invalid access, no use of uninitialised values
// and no leak, on real-length recordings and on the paths that give up early (a refused file,
// an unwritable pitch file).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/run_tool.h"
#include "support/shell.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(undefined_behavior_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

bool valgrindInstalled() { return std::system("valgrind --version > /dev/null 2>&1") == 0; }

const fs::path kGolden = fs::path(TEST_DATA_DIR) / "golden";

struct Case {
  const char* recording;  // golden case whose in.wav is analysed; "" for a refused file
  const char* target;     // pitch file argument
  int status;
};

TEST(Valgrind, ToolRunsCleanUnderMemcheck) {
  if (kSanitized) GTEST_SKIP() << "a sanitized tool cannot run under valgrind";
  if (!valgrindInstalled()) GTEST_SKIP() << "valgrind is not installed";
  const std::vector<Case> cases = {
      {"03_melody_44100_s16", "out.pitch", 0}, {"06_melody_48000_s24_ext", "out.pitch", 0},
      {"04_melody_8k_mulaw", "out.pitch", 0},  {"", "out.pitch", 1},
      {"01_melody_8k_u8", "/dev/full", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.recording) + " -> " + c.target);
    testsupport::TempDir work;
    const std::string recording = c.recording;
    if (recording.empty()) {
      testsupport::writeText(work.path("in.wav"), "RIFF, but not a wave file\n");
    } else {
      fs::copy_file(kGolden / recording / "in.wav", work.path("in.wav"));
    }

    // The log goes beside the input, outside the captured standard output.
    const auto run = testsupport::runTool(
        work.root(), std::string("in.wav ") + c.target,
        "valgrind --error-exitcode=1 --leak-check=full --log-file=memcheck.log",
        PITCHTRACK_MEMCHECK_BIN);
    const std::string log = readFile(work.path("memcheck.log"));
    EXPECT_EQ(run.status, c.status) << log;
    EXPECT_NE(log.find("ERROR SUMMARY: 0 errors from 0 contexts"), std::string::npos) << log;
    if (c.status == 0) {
      const fs::path golden = kGolden / recording;
      EXPECT_EQ(run.output, readFile(golden / "stdout.txt"));
      EXPECT_EQ(readFile(work.path("out.pitch")), readFile(golden / "expected.pitch"));
    }
  }
}

}  // namespace
