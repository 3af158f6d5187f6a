// A WAV stream that ends before the data size its header states (sox's estimate for a decoded
// MP3, a recorder stopped early) is the recording that arrived, with a warning saying how much
// is missing; a regular file cut short is still refused.
#include <gtest/gtest.h>

#include <string>

#include "support/run_tool.h"
#include "support/shell.h"
#include "support/signals.h"
#include "support/temp_dir.h"
#include "support/wav_image.h"

namespace pitchtrack {

namespace {

using testsupport::shellQuote;

constexpr const char* kTool = PITCHTRACK_BIN;

std::vector<int16_t> notes() {
  return testsignal::hummedNotes(16000, {220, 247, 262, 294, 330}, 0.4, 0.1, 0.2, 8000);
}

// The contour of the first `bytes` bytes of the notes' samples, as a complete WAV file.
std::string contourOfArrived(size_t bytes, const testsupport::TempDir& dir) {
  std::vector<int16_t> arrived = notes();
  arrived.resize(bytes / 2);
  testwav::writeFile(dir.path("arrived.wav"), testwav::pcmWave(arrived, 16000));
  return testsupport::runTool(dir.root(), "-q arrived.wav -").output;
}

struct CutCase {
  const char* name;
  size_t missing;       // bytes cut from the end of the data
  const char* command;  // how the tool reads "cut.wav"; TOOL stands for the tool
  int status;
  const char* errorHas;  // a piece of standard error
  bool warns;            // whether standard error holds a warning
};

std::string withTool(std::string command) {
  return command.replace(command.find("TOOL"), 4, shellQuote(kTool));
}

class StreamEnd : public testing::TestWithParam<CutCase> {};

TEST_P(StreamEnd, TracksWhatArrivedOrRefusesAFile) {
  const CutCase& c = GetParam();
  testsupport::TempDir dir;
  testwav::Bytes image = testwav::pcmWave(notes(), 16000);
  const size_t dataBytes = notes().size() * 2;
  image.resize(image.size() - c.missing);
  testwav::writeFile(dir.path("cut.wav"), image);

  const testsupport::ShellRun run = testsupport::runShell(
      "cd " + shellQuote(dir.root().string()) + " && " + withTool(c.command), dir.root());
  EXPECT_EQ(run.status, c.status) << run.err;
  EXPECT_NE(run.err.find(c.errorHas), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("warning") != std::string::npos, c.warns) << run.err;
  if (c.status == 0) {
    const std::string expected = contourOfArrived(dataBytes - c.missing, dir);
    ASSERT_GT(expected.size(), 40U);
    EXPECT_EQ(run.out, expected);
  } else {
    EXPECT_EQ(run.out, "");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cuts, StreamEnd,
    testing::Values(
        CutCase{"pipe_whole_samples", 4000, "cat cut.wav | TOOL - -", 0,
                "pitchtrack: -: warning: the stream ended 4000 bytes (0.125 s) before the data "
                "size its header states",
                true},
        CutCase{"pipe_half_a_sample", 4001, "cat cut.wav | TOOL - -", 0, "ended 4001 bytes", true},
        CutCase{"pipe_most_of_it", 60000, "cat cut.wav | TOOL - -", 0, "ended 60000 bytes", true},
        CutCase{"pipe_quiet", 4000, "cat cut.wav | TOOL -q - -", 0, "", false},
        CutCase{"redirected_file", 4000, "TOOL - - < cut.wav", 1,
                "truncated: the file ends inside the data chunk", false},
        CutCase{"named_file", 4000, "TOOL cut.wav -", 1,
                "truncated: the file ends inside the data chunk", false}),
    [](const testing::TestParamInfo<CutCase>& info) { return info.param.name; });

// The user's first try: sox decodes an MP3 to a WAV stream whose header holds an estimate.
TEST(StreamEndSox, Mp3ThroughSoxPipe) {
  testsupport::TempDir dir;
  const std::string mp3 = dir.path("song.mp3").string();
  if (!testsupport::haveProgram("sox") ||
      testsupport::runShell("sox -n -r 44100 " + shellQuote(mp3) + " synth 3 sine 180-360 vol 0.5",
                            dir.root())
              .status != 0) {
    GTEST_SKIP() << "needs sox with MP3 writing (libsox-fmt-mp3)";
  }
  const testsupport::ShellRun run = testsupport::runShell(
      "sox " + shellQuote(mp3) + " -t wav - | " + shellQuote(kTool) + " -q - -", dir.root());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_GT(run.out.size(), 100U);
  EXPECT_EQ(run.out.find("Error"), std::string::npos);
}

}  // namespace

}  // namespace pitchtrack
