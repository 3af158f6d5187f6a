// The tool's warnings and remedies: warnings on standard error only, silenced by -q, never a
// change to the pitch file or standard output; each remedy an option spelled as documented.
#include <gtest/gtest.h>

#include <string>

#include "support/analysis_examples.h"
#include "support/run_tool.h"
#include "support/shell.h"
#include "support/temp_dir.h"
#include "support/wav_image.h"

namespace {

using testsupport::readFile;
using testsupport::shellQuote;

const std::string kTool = shellQuote(PITCHTRACK_BIN);
const std::string kProgress = "nbits=16 ===> Convert from nbits=16 to 8!\n";

class ToolWarnings : public testing::Test {
 protected:
  void SetUp() override {
    write("late.wav", examples::notes({57, 59, 60, 62, 64}, 0.4, 0.2, 1.2));
    write("loud.wav", examples::notes({48, 52, 55, 57}));
    write("quiet.wav", examples::scaled(examples::notes({48, 52, 55, 57}), 0.018));
    write("noise.wav", examples::whiteNoise(2, 10000));
  }
  void write(const char* name, const std::vector<int16_t>& samples) {
    testwav::writeFile(work_.path(name), testwav::pcmWave(samples));
  }
  testsupport::ShellRun run(const std::string& arguments) {
    return testsupport::runShell(
        "cd " + shellQuote(work_.root().string()) + " && " + kTool + " " + arguments, work_.root());
  }
  // The default run's pitch file of a recording.
  std::string byDefault(const std::string& wave) {
    EXPECT_EQ(run("-q " + wave + " default.pitch").status, 0);
    return readFile(work_.path("default.pitch"));
  }
  testsupport::TempDir work_;
};

TEST_F(ToolWarnings, GoToStandardErrorAndLeaveTheOutputsAlone) {
  const struct {
    const char* wave;
    std::string err;
  } cases[] = {
      {"late.wav",
       "pitchtrack: late.wav: warning: the final-gap rule dropped the last stretch of sound, "
       "3.696-4.112 s: it starts 1.184 s after the one before (more than 0.7 s); --keep-final "
       "keeps it\n"},
      {"quiet.wav", "pitchtrack: quiet.wav: warning: the peak level is -42.7 dBFS"},
      {"loud.wav", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.wave);
    const std::string expected = byDefault(c.wave);
    const auto loud = run(std::string(c.wave) + " out.pitch");
    EXPECT_EQ(loud.status, 0);
    EXPECT_EQ(loud.out, kProgress + "Writing pitch to out.pitch\n");
    EXPECT_EQ(loud.err.substr(0, c.err.size()), c.err);
    EXPECT_EQ(loud.err.empty(), c.err.empty()) << loud.err;
    EXPECT_EQ(readFile(work_.path("out.pitch")), expected);
    const auto quiet = run(std::string("-q ") + c.wave + " - ");
    EXPECT_EQ(quiet.err, "");
    EXPECT_EQ(quiet.out, expected);
  }
}

TEST_F(ToolWarnings, RemediesAreOptionsThatRepairWhatTheWarningNames) {
  const std::string loud = byDefault("loud.wav");
  const struct {
    std::string arguments;
    std::string line;  // the whole pitch line, or a part of it after '~'
    std::string err;
    bool quiet = false;
  } cases[] = {
      {"--keep-final late.wav -", "~+640+640+640+", ""},
      {"--normalize quiet.wav -", loud, ""},
      {"--normalize --voicing=relative quiet.wav -", loud, ""},
      {"--voicing=strict --normalize noise.wav -", "\n",
       "pitchtrack: noise.wav: warning: the contour is empty although the recording is not "
       "silent"},
      {"--voicing=strict -q noise.wav -", "\n", "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const auto tracked = run(c.arguments);
    EXPECT_EQ(tracked.status, 0);
    if (c.line.starts_with("~")) {
      EXPECT_NE(tracked.out.find(c.line.substr(1)), std::string::npos) << tracked.out;
    } else {
      EXPECT_EQ(tracked.out, c.line);
    }
    // Standard output holds the contour, so the progress lines go to standard error too.
    if (c.err.empty()) {
      EXPECT_EQ(tracked.err, c.quiet ? "" : kProgress + "Writing pitch to -\n");
    } else {
      EXPECT_NE(tracked.err.find(c.err), std::string::npos) << tracked.err;
    }
  }
}

TEST_F(ToolWarnings, RemedyOptionsAreSpelledAsDocumented) {
  for (const char* arguments :
       {"--voicing=loose loud.wav x.pitch", "--normalize loud.wav", "--keep-final loud.wav",
        "--voicing loud.wav x.pitch", "--normalize=yes loud.wav x.pitch"}) {
    EXPECT_EQ(run(arguments).status, 2) << arguments;
  }
}

TEST_F(ToolWarnings, CorpusModeWarnsPerRecordingUnlessQuiet) {
  const auto corpus = run("-j 2 -o out late.wav loud.wav");
  EXPECT_EQ(corpus.status, 0);
  EXPECT_NE(corpus.err.find("pitchtrack: late.wav: warning: the final-gap rule"), std::string::npos)
      << corpus.err;
  EXPECT_EQ(corpus.err.find("loud.wav: warning"), std::string::npos) << corpus.err;
  EXPECT_EQ(readFile(work_.path("out/late.pitch")), byDefault("late.wav"));
  const auto kept = run("-q --keep-final -o kept late.wav");
  EXPECT_EQ(kept.err, "");
  EXPECT_NE(readFile(work_.path("kept/late.pitch")).find("+640+"), std::string::npos);
}

}  // namespace
