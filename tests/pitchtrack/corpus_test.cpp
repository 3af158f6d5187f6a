// The corpus mode: many recordings in one process, each result equal to a single run's,
// whatever the number of threads; failing entries reported with their reason while the others
// are tracked.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/run_tool.h"
#include "support/shell.h"
#include "support/signals.h"
#include "support/temp_dir.h"
#include "support/wav_image.h"

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::runShell;
using testsupport::shellQuote;
using testsupport::TempDir;

const std::string kTool = shellQuote(PITCHTRACK_BIN);

// A short recording of one note, different for every index: quarter tones from A2 upwards,
// every third one at 16000 Hz.
testwav::Bytes recording(int index) {
  const int rate = index % 3 == 0 ? 16000 : 8000;
  const double semitone = 45.25 + 0.5 * index;
  return testwav::pcmWave(testsignal::hummedNotes(rate, {testsignal::semitoneHz(semitone)}, 0.3),
                          static_cast<uint32_t>(rate));
}

// Names with spaces, quotes and shell syntax among plain ones, some in subfolders.
std::string recordingName(int index) {
  const std::string number = std::to_string(index);
  if (index % 10 == 7) return "take " + number + ".wav";
  if (index == 13) return "don't $(panic) " + number + ".wav";
  if (index == 21) return "-dash" + number + ".wav";
  if (index % 4 == 1) return "choir/alto/note_" + number + ".wav";
  return "note_" + number + ".wav";
}

std::string withExtension(std::string name, const std::string& extension) {
  return name.substr(0, name.size() - 4) + extension;
}

class Corpus : public testing::Test {
 protected:
  static constexpr int kRecordings = 30;

  void SetUp() override {
    fs::create_directories(work_.path("corpus/choir/alto"));
    for (int i = 0; i < kRecordings; ++i) {
      testwav::writeFile(work_.path("corpus/" + recordingName(i)), recording(i));
    }
  }

  testsupport::ShellRun run(const std::string& command) {
    return runShell("cd " + shellQuote(work_.root().string()) + " && " + command, work_.root());
  }

  // The single run's pitch file of recording i.
  std::string single(int i) {
    const auto one = run(kTool + " -q " + shellQuote("corpus/" + recordingName(i)) + " one.pitch");
    EXPECT_EQ(one.status, 0) << one.err;
    return readFile(work_.path("one.pitch"));
  }

  TempDir work_;
};

TEST_F(Corpus, EveryResultEqualsASingleRunWhateverTheThreads) {
  std::vector<std::string> expected;
  for (int i = 0; i < kRecordings; ++i) expected.push_back(single(i));
  for (const char* threads : {"1", "2", "5"}) {
    const std::string out = std::string("out") + threads;
    const auto corpus = run("find corpus -name '*.wav' | " + kTool + " -j " + threads + " -o " +
                            out + " --files-from -");
    EXPECT_EQ(corpus.status, 0) << corpus.err;
    EXPECT_EQ(corpus.out, "") << "results go to files; standard output stays clean";
    EXPECT_NE(corpus.err.find("pitchtrack: 30 files, 0 failed"), std::string::npos) << corpus.err;
    for (int i = 0; i < kRecordings; ++i) {
      EXPECT_EQ(readFile(work_.path(out + "/" + withExtension(recordingName(i), ".pitch"))),
                expected[static_cast<size_t>(i)])
          << recordingName(i) << " with " << threads << " threads";
    }
  }
}

TEST_F(Corpus, FailingEntriesAreReportedAndTheOthersTracked) {
  testsupport::writeText(work_.path("corpus/broken.wav"), "not a recording");
  fs::create_directory(work_.path("corpus/folder.wav"));
  const auto fifo = run("mkfifo corpus/fifo.wav");
  ASSERT_EQ(fifo.status, 0);
  // Operands and a NUL-separated list together, with a missing name; a FIFO must not block.
  const auto corpus =
      run("printf 'corpus/note_0.wav\\0corpus/missing.wav\\0corpus/fifo.wav\\0' | timeout 60 " +
          kTool + " -q -0 --files-from - -o out corpus/broken.wav corpus/folder.wav " +
          "corpus/choir/alto/note_1.wav");
  EXPECT_EQ(corpus.status, 1);
  for (const char* reason : {"pitchtrack: corpus/broken.wav: not a RIFF WAVE file\n",
                             "pitchtrack: corpus/folder.wav: is a directory\n",
                             "pitchtrack: corpus/missing.wav: no such file\n",
                             "pitchtrack: corpus/fifo.wav: not a regular file\n"}) {
    EXPECT_NE(corpus.err.find(reason), std::string::npos) << reason << corpus.err;
  }
  EXPECT_EQ(readFile(work_.path("out/note_0.pitch")), single(0));
  EXPECT_EQ(readFile(work_.path("out/choir/alto/note_1.pitch")), single(1));
}

TEST_F(Corpus, FormatsAndNewlineListsWork) {
  testsupport::writeText(work_.path("list.txt"),
                         "corpus/note_0.wav\ncorpus/choir/alto/note_5.wav\r\n\n");
  const auto corpus = run(kTool + " -q --format=json --files-from list.txt -o out");
  EXPECT_EQ(corpus.status, 0) << corpus.err;
  EXPECT_EQ(corpus.err, "");
  const std::string json = readFile(work_.path("out/note_0.json"));
  EXPECT_TRUE(json.starts_with("{\"file\": \"corpus/note_0.wav\", \"frame_seconds\": 0.032"))
      << json;
  EXPECT_TRUE(fs::exists(work_.path("out/choir/alto/note_5.json")));
}

TEST_F(Corpus, UnusableOutputFolderFailsBeforeAnyAnalysis) {
  testsupport::writeText(work_.path("taken"), "a file, not a folder");
  for (const char* outdir : {"taken", "taken/below"}) {
    const auto corpus = run(kTool + " -o " + outdir + " corpus/note_0.wav");
    EXPECT_EQ(corpus.status, 1) << outdir;
    EXPECT_TRUE(corpus.err.starts_with(std::string("pitchtrack: ") + outdir + ": ")) << corpus.err;
    EXPECT_EQ(corpus.err.find("files"), std::string::npos) << "no analysis ran";
  }
  const auto missingList = run(kTool + " -o out --files-from nothing.txt");
  EXPECT_EQ(missingList.status, 1);
  EXPECT_EQ(missingList.err, "pitchtrack: nothing.txt: No such file or directory\n");
}

// On a terminal (here a pseudo-terminal from script(1)) a progress line is redrawn in place on
// standard error; when standard error is a file there is none, only the summary.
TEST_F(Corpus, ProgressLineOnlyOnATerminal) {
  const std::string command =
      kTool + " -j 2 -o out corpus/note_0.wav corpus/note_2.wav corpus/note_3.wav";
  const auto piped = run(command);
  EXPECT_EQ(piped.status, 0);
  EXPECT_EQ(piped.err.find('\r'), std::string::npos) << piped.err;
  if (!testsupport::haveProgram("script")) GTEST_SKIP() << "script is not installed";
  const auto terminal = run("script -qec " + shellQuote(command) + " /dev/null");
  EXPECT_EQ(terminal.status, 0);
  for (const char* part :
       {"\r", "3/3 files", "h of audio", "real time", "left", "pitchtrack: 3 files, 0 failed"}) {
    EXPECT_NE(terminal.out.find(part), std::string::npos) << part << terminal.out;
  }
}

}  // namespace
