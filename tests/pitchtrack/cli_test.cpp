// The command-line contract of the built tool: usage, exit statuses, the pitch file's format
// and the messages on standard output.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/run_tool.h"
#include "support/signals.h"
#include "support/temp_dir.h"
#include "support/wav_image.h"

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::runTool;
using testsupport::TempDir;

// A steady voice-like tone at f0 Hz between stretches of silence, as 16-bit samples.
std::vector<int16_t> toneInSilence(double f0, int rate, double silence, double tone) {
  return testsignal::hummedNotes(rate, {f0}, tone, /*restSeconds=*/0, silence, /*amplitude=*/6000);
}

TEST(Cli, WrongArgumentCountPrintsUsageWithoutNewlineAndExitsTwo) {
  TempDir work;
  for (const std::string arguments : {"", "one.wav", "a.wav b.pitch c"}) {
    const auto run = runTool(work.root(), arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_EQ(run.output, std::string("Usage:") + PITCHTRACK_BIN + " waveFile pitchFile")
        << arguments;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(work.root()), fs::directory_iterator()), 0);
}

TEST(Cli, UnreadableWaveFileExitsOneAndCreatesNoPitchFile) {
  TempDir work;
  testwav::writeFile(work.path("text.wav"), testwav::Bytes{'h', 'e', 'l', 'l', 'o'});
  for (const std::string input : {"missing.wav", "text.wav"}) {
    const auto run = runTool(work.root(), input + " out.pitch");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "Error: cannot open wave file " + input + "!\n");
    EXPECT_FALSE(fs::exists(work.path("out.pitch")));
  }
}

TEST(Cli, FailedLoadLeavesAnExistingPitchFileUntouched) {
  TempDir work;
  testwav::writeFile(work.path("out.pitch"), testwav::Bytes{'4', '2', '\n'});
  EXPECT_EQ(runTool(work.root(), "missing.wav out.pitch").status, 1);
  EXPECT_EQ(readFile(work.path("out.pitch")), "42\n");
}

TEST(Cli, SteadyToneGivesOneValueRepeatedWithoutUnpitchedEnds) {
  TempDir work;
  // 220 Hz is semitone 57: every voiced frame reads 570, and the silence around it is cut.
  testwav::writeFile(work.path("tone.wav"), testwav::pcmWave(toneInSilence(220, 8000, 0.5, 1.0)));
  const auto run = runTool(work.root(), "tone.wav tone.pitch");
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "nbits=16 ===> Convert from nbits=16 to 8!\nWriting pitch to tone.pitch\n");
  std::string line = readFile(work.path("tone.pitch"));
  ASSERT_TRUE(line.ends_with('\n'));
  line.pop_back();
  size_t values = 0;
  for (size_t start = 0; start <= line.size(); ++values) {
    const size_t end = std::min(line.find('+', start), line.size());
    EXPECT_EQ(line.substr(start, end - start), "570") << "value " << values << " of " << line;
    start = end + 1;
  }
  EXPECT_GE(values, 25u);  // one second of tone is about 31 frames of 32 ms
}

TEST(Cli, SilenceGivesAnEmptyLine) {
  TempDir work;
  testwav::writeFile(work.path("quiet.wav"),
                     testwav::pcmWave(std::vector<int16_t>(16000, 0), 8000));
  const auto run = runTool(work.root(), "quiet.wav quiet.pitch");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(readFile(work.path("quiet.pitch")), "\n");
}

TEST(Cli, HighRateSixteenBitRunPrintsThreeLinesInOrder) {
  TempDir work;
  testwav::writeFile(work.path("cd.wav"),
                     testwav::pcmWave(toneInSilence(220, 44100, 0.3, 0.6), 44100));
  const auto run = runTool(work.root(), "cd.wav cd.pitch");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output,
            "fs=44100 ===> Resample to have fs=8000\n"
            "nbits=16 ===> Convert from nbits=16 to 8!\n"
            "Writing pitch to cd.pitch\n");
}

TEST(Cli, UnwritablePitchFileExitsOneWithMessage) {
  TempDir work;
  testwav::writeFile(work.path("tone.wav"), testwav::pcmWave(toneInSilence(220, 8000, 0.2, 0.5)));
  const auto run = runTool(work.root(), "tone.wav no/such/dir/out.pitch");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output,
            "nbits=16 ===> Convert from nbits=16 to 8!\n"
            "Writing pitch to no/such/dir/out.pitch\n"
            "Error: cannot write pitch file no/such/dir/out.pitch!\n");
}

// The example recording's contour is committed beside it. This guards the whole analysis
// against unintended change: a difference here means the contour the tool writes has moved.
TEST(Cli, ExampleMelodyContourIsUnchanged) {
  TempDir work;
  fs::copy_file(fs::path(EXAMPLES_DIR) / "melody.wav", work.path("melody.wav"));
  const auto run = runTool(work.root(), "melody.wav melody.pitch");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(readFile(work.path("melody.pitch")), readFile(fs::path(EXAMPLES_DIR) / "melody.pitch"));
}

}  // namespace
