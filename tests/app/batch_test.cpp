// tools/batch.sh over a folder of recordings: every X.wav gets the X.pitch that a single run of
// the tool writes for it, with GNU parallel and with xargs as the runner.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/hummed_notes.h"
#include "support/run_tool.h"
#include "support/shell.h"
#include "support/temp_dir.h"
#include "support/wav_image.h"

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::runShell;
using testsupport::shellQuote;
using testsupport::TempDir;

const std::string kScript = std::string(PT_SOURCE_DIR) + "/tools/batch.sh";

testsupport::ShellRun batch(const TempDir& scratch, const std::string& arguments,
                            const std::string& runner = "xargs",
                            const std::string& tool = PITCHTRACK_BIN) {
  return runShell("PITCHTRACK=" + shellQuote(tool) + " PITCHTRACK_BATCH_RUNNER=" + runner +
                      " bash " + shellQuote(kScript) + " " + arguments,
                  scratch.root());
}

// A short recording of one note, different for every index: quarter tones from A2 upwards,
// every third one at 16000 Hz.
testwav::Bytes recording(int index) {
  const int rate = index % 3 == 0 ? 16000 : 8000;
  const double semitone = 45.25 + 0.5 * index;
  return testwav::pcmWave(testsignal::hummedNotes(rate, {testsignal::semitoneHz(semitone)}, 0.3),
                          static_cast<uint32_t>(rate));
}

// Names with spaces, quotes and shell syntax among plain ones.
std::string recordingName(int index) {
  const std::string number = std::to_string(index);
  if (index % 10 == 7) return "take " + number + ".wav";
  if (index == 13) return "don't $(panic) " + number + ".wav";
  if (index == 21) return "-dash" + number + ".wav";
  return "note_" + number + ".wav";
}

size_t entries(const fs::path& dir) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

class BatchScript : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (GetParam() == "parallel" && !testsupport::haveProgram("parallel")) {
      GTEST_SKIP() << "GNU parallel is not installed";
    }
  }
};

TEST_P(BatchScript, TracksFiftyRecordingsExactlyAsSingleRunsDo) {
  constexpr int kRecordings = 50;
  TempDir corpus;
  TempDir single;
  for (int i = 0; i < kRecordings; ++i) {
    testwav::writeFile(corpus.path(recordingName(i)), recording(i));
  }

  const auto run = batch(corpus, shellQuote(corpus.root().string()) + " 2", GetParam());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "batch.sh: tracked 50 recordings in " + corpus.root().string() + " (" +
                         GetParam() + ", 2 jobs)\n");
  EXPECT_EQ(entries(corpus.root()), 2u * kRecordings) << "one pitch file per recording, no debris";

  std::set<std::string> distinct;
  for (int i = 0; i < kRecordings; ++i) {
    testwav::writeFile(single.path("one.wav"), recording(i));
    ASSERT_EQ(testsupport::runTool(single.root(), "one.wav one.pitch").status, 0);
    const std::string expected = readFile(single.path("one.pitch"));
    const std::string name = recordingName(i);
    const fs::path pitch = corpus.path(name.substr(0, name.size() - 4) + ".pitch");
    EXPECT_EQ(readFile(pitch), expected) << name;
    distinct.insert(expected);
  }
  // Quarter tones apart, the recordings fill at least 24 different semitones: a pitch file
  // written beside the wrong recording cannot go unnoticed.
  EXPECT_GE(distinct.size(), 24u);
}

TEST_P(BatchScript, ReportsAFailedRecordingAndStillTracksTheOthers) {
  TempDir corpus;
  testwav::writeFile(corpus.path("good1.wav"), recording(10));
  testwav::writeFile(corpus.path("good2.wav"), recording(20));
  testsupport::writeText(corpus.path("broken.wav"), "not a recording");
  testsupport::writeText(corpus.path("notes.txt"), "not a wave file name");
  fs::create_directory(corpus.path("inner"));
  testwav::writeFile(corpus.path("inner") / "deeper.wav", recording(30));

  const std::string dir = corpus.root().string();
  const auto run = batch(corpus, shellQuote(dir) + " 3", GetParam());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "pitchtrack: " + dir +
                "/broken.wav: not a RIFF WAVE file\nbatch.sh: some of the 3 recordings in " + dir +
                " failed\n");
  EXPECT_FALSE(readFile(corpus.path("good1.pitch")).empty());
  EXPECT_FALSE(readFile(corpus.path("good2.pitch")).empty());
  EXPECT_FALSE(fs::exists(corpus.path("broken.pitch")));
  EXPECT_FALSE(fs::exists(corpus.path("inner") / "deeper.pitch")) << "only DIR itself is read";
}

INSTANTIATE_TEST_SUITE_P(Runners, BatchScript, testing::Values("xargs", "parallel"));

TEST(BatchScriptCommandLine, WrongCommandLinesExitTwo) {
  TempDir scratch;
  const std::string dir = shellQuote(scratch.root().string());
  const std::string usage = "Usage: batch.sh DIR [JOBS]\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", usage},
      {dir + " 2 3", usage},
      {dir + " 0", usage},
      {dir + " two", usage},
      {dir + "/missing", "batch.sh: " + scratch.root().string() + "/missing is not a directory\n"},
  };
  for (const auto& [arguments, message] : cases) {
    const auto run = batch(scratch, arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_EQ(run.err, message) << arguments;
  }
  const auto run = batch(scratch, dir, "make");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "batch.sh: unknown runner make (parallel or xargs)\n");
}

TEST(BatchScriptCommandLine, EmptyFolderIsNotAnError) {
  TempDir scratch;
  const auto run = batch(scratch, shellQuote(scratch.root().string()));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "batch.sh: no *.wav in " + scratch.root().string() + "\n");
}

TEST(BatchScriptCommandLine, AToolThatCannotRunExitsOne) {
  TempDir scratch;
  testwav::writeFile(scratch.path("a.wav"), recording(1));
  const auto run = batch(scratch, shellQuote(scratch.root().string()), "xargs",
                         scratch.path("no-such-tool").string());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "batch.sh: cannot run " + scratch.path("no-such-tool").string() +
                         " (install pitchtrack or set PITCHTRACK)\n");
  EXPECT_FALSE(fs::exists(scratch.path("a.pitch")));
}

}  // namespace
