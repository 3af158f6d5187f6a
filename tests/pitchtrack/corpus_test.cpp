// The corpus mode: many recordings in one process, each result equal to a single run's,
// whatever the number of threads; each at a path that depends on its name alone; failing entries
// reported with their reason while the others are tracked; names tracked as they arrive.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <utility>
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

  // The files below `folder`, relative to it.
  std::set<std::string> filesBelow(const std::string& folder) {
    std::set<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(work_.path(folder))) {
      if (entry.is_regular_file()) found.insert(fs::relative(entry.path(), work_.path(folder)));
    }
    return found;
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
      EXPECT_EQ(readFile(work_.path(out + "/corpus/" + withExtension(recordingName(i), ".pitch"))),
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
                             "pitchtrack: corpus/folder.wav: is a directory (-r searches folders "
                             "for recordings)\n",
                             "pitchtrack: corpus/missing.wav: no such file\n",
                             "pitchtrack: corpus/fifo.wav: not a regular file\n"}) {
    EXPECT_NE(corpus.err.find(reason), std::string::npos) << reason << corpus.err;
  }
  EXPECT_EQ(readFile(work_.path("out/corpus/note_0.pitch")), single(0));
  EXPECT_EQ(readFile(work_.path("out/corpus/choir/alto/note_1.pitch")), single(1));
}

TEST_F(Corpus, FormatsAndNewlineListsWork) {
  testsupport::writeText(work_.path("list.txt"),
                         "corpus/note_0.wav\ncorpus/choir/alto/note_5.wav\r\n\n");
  const auto corpus = run(kTool + " -q --format=json --files-from list.txt -o out");
  EXPECT_EQ(corpus.status, 0) << corpus.err;
  EXPECT_EQ(corpus.err, "");
  const std::string json = readFile(work_.path("out/corpus/note_0.json"));
  EXPECT_TRUE(json.starts_with("{\"file\": \"corpus/note_0.wav\", \"frame_seconds\": 0.032"))
      << json;
  EXPECT_TRUE(fs::exists(work_.path("out/corpus/choir/alto/note_5.json")));
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

struct NamingCase {
  const char* what;
  const char* arguments;  // after "pitchtrack -q -j N -o out"
  int status;
  std::map<std::string, int> outputs;  // every file below out/, and the recording it holds
  std::vector<const char*> says;       // lines of standard error
};

// Each output path depends on the name alone, is decided when the name is read, and is taken by
// the first name that claims it: the same files, contents and reasons whatever the threads.
TEST_F(Corpus, OutputPathsFollowTheNameAndTheFirstClaimHoldsWhateverTheThreads) {
  testwav::writeFile(work_.path("corpus/note_0.WAV"), recording(1));
  const std::string taken =
      ": its output out/corpus/note_0.pitch is already the output of corpus/note_0.wav, named "
      "earlier in this run; not tracked\n";
  const std::vector<NamingCase> cases = {
      {"other spellings and a second naming of one recording",
       "corpus/note_0.wav corpus/note_0.WAV corpus/note_0 ./corpus/note_0.wav",
       1,
       {{"corpus/note_0.pitch", 0}},
       {"pitchtrack: corpus/note_0.WAV", "pitchtrack: corpus/note_0: its",
        "pitchtrack: ./corpus/note_0.wav: its"}},
      {"a name with '..'",
       "corpus/choir/../note_2.wav corpus/note_2.wav",
       1,
       {{"corpus/note_2.pitch", 2}},
       {"pitchtrack: corpus/choir/../note_2.wav: a name with '..' could put its result outside "
        "OUTDIR; give --base DIR (the part of each name below DIR is kept below OUTDIR)\n"}},
      {"an absolute name without --base",
       "\"$PWD/corpus/note_2.wav\"",
       1,
       {},
       {"/corpus/note_2.wav: an absolute name needs --base DIR (the part of each name below DIR "
        "is kept below OUTDIR)\n"}},
      {"--base keeps the part below it and refuses names outside",
       "--base corpus/choir corpus/choir/alto/note_1.wav \"$PWD/corpus/choir/alto/note_5.wav\" "
       "corpus/note_2.wav",
       1,
       {{"alto/note_1.pitch", 1}, {"alto/note_5.pitch", 5}},
       {"pitchtrack: corpus/note_2.wav: outside --base corpus/choir\n"}},
  };
  std::map<int, std::string> expected;
  for (int i : {0, 1, 2, 5}) expected[i] = single(i);
  for (const NamingCase& c : cases) {
    std::string firstErrors;
    for (const char* threads : {"1", "4", "4"}) {
      SCOPED_TRACE(std::string(c.what) + ", -j " + threads);
      const auto result =
          run("rm -rf out && " + kTool + " -q -j " + threads + " -o out " + c.arguments);
      EXPECT_EQ(result.status, c.status) << result.err;
      for (const char* line : c.says) EXPECT_NE(result.err.find(line), std::string::npos) << line;
      if (c.outputs.contains("corpus/note_0.pitch")) {
        EXPECT_NE(result.err.find("corpus/note_0.WAV" + taken), std::string::npos) << result.err;
      }
      std::set<std::string> files;
      for (const auto& [output, index] : c.outputs) {
        files.insert(output);
        EXPECT_EQ(readFile(work_.path("out/" + output)), expected[index]) << output;
      }
      EXPECT_EQ(filesBelow("out"), files);
      if (firstErrors.empty()) firstErrors = result.err;
      EXPECT_EQ(result.err, firstErrors) << "the same reasons in the same order";
    }
  }
}

// Shards of a list written into one OUTDIR give the tree of one run, as do the folders of a
// corpus walked one by one below one --base.
TEST_F(Corpus, ShardsGiveTheTreeOfOneRun) {
  const auto lists =
      run("find corpus -name '*.wav' | sort > all && head -n 13 all > s1 && "
          "tail -n +14 all > s2");
  ASSERT_EQ(lists.status, 0);
  const std::vector<std::pair<std::string, std::vector<std::string>>> layouts = {
      {"--files-from all", {"-j 3 --files-from s2", "-j 1 --files-from s1"}},
      {"-r --base corpus corpus", {"-r --base corpus corpus/choir", "--base corpus corpus/*.wav"}},
  };
  for (const auto& [whole, shards] : layouts) {
    SCOPED_TRACE(whole);
    EXPECT_EQ(run("rm -rf one parts && " + kTool + " -q -o one " + whole).status, 0);
    for (const std::string& shard : shards) {
      EXPECT_EQ(run(kTool + " -q -o parts " + shard).status, 0) << shard;
    }
    EXPECT_EQ(filesBelow("one").size(), static_cast<size_t>(kRecordings));
    const auto diff = run("diff -r one parts");
    EXPECT_EQ(diff.status, 0) << diff.out;
  }
}

// -r walks a folder in byte order of the names (so note_1.WAV comes before note_1.wav and keeps
// the output they share), takes the formats read by their extension, and follows no link: not
// out of the tree, and not back into it.
TEST_F(Corpus, FoldersAreWalkedInSortedOrderWithoutLinks) {
  testwav::writeFile(work_.path("corpus/choir/alto/note_1.WAV"), recording(9));
  fs::create_directory(work_.path("elsewhere"));
  testwav::writeFile(work_.path("elsewhere/far.wav"), recording(2));
  testsupport::writeText(work_.path("corpus/readme.txt"), "not a recording");
  fs::copy_file(work_.path("corpus/note_0.wav"), work_.path("corpus/copy.pitch"));
  fs::create_symlink("../elsewhere/far.wav", work_.path("corpus/outside.wav"));
  fs::create_directory_symlink("../elsewhere", work_.path("corpus/outside"));
  fs::create_directory_symlink("choir", work_.path("corpus/again"));
  std::set<std::string> expected;
  for (int i = 0; i < kRecordings; ++i) {
    expected.insert("corpus/" + withExtension(recordingName(i), ".pitch"));
  }
  const std::string winner = single(9);
  for (const char* threads : {"1", "4"}) {
    const auto walked = run("rm -rf out && " + kTool + " -q -r -j " + threads + " -o out corpus");
    EXPECT_EQ(walked.status, 1) << walked.err;
    EXPECT_EQ(walked.err,
              "pitchtrack: corpus/choir/alto/note_1.wav: its output out/corpus/choir/alto/"
              "note_1.pitch is already the output of corpus/choir/alto/note_1.WAV, named earlier "
              "in this run; not tracked\n");
    EXPECT_EQ(filesBelow("out"), expected);
    EXPECT_EQ(readFile(work_.path("out/corpus/choir/alto/note_1.pitch")), winner);
  }
}

// The list may never end: tracking starts with its first name, and each result is in place (and
// on the disk) soon after, while the list is still open.
TEST_F(Corpus, AListIsTrackedAsItArrives) {
  const auto fed = run("mkfifo list && { " + kTool +
                       " -q -o out --files-from list & pid=$!; exec 3>list; "
                       "echo corpus/note_0.wav >&3; "
                       "for i in $(seq 1 300); do [ -e out/corpus/note_0.pitch ] && break; "
                       "sleep 0.1; done; [ -e out/corpus/note_0.pitch ] && echo before the end; "
                       "echo corpus/note_2.wav >&3; exec 3>&-; wait $pid; echo status $?; }");
  EXPECT_EQ(fed.out, "before the end\nstatus 0\n") << fed.err;
  EXPECT_EQ(readFile(work_.path("out/corpus/note_0.pitch")), single(0));
  EXPECT_EQ(readFile(work_.path("out/corpus/note_2.pitch")), single(2));
}

// On a terminal, no line runs into another: a failure clears the progress line before it is
// written, and the usage text ends its line even when standard error goes elsewhere.
TEST_F(Corpus, OnATerminalNoLineRunsIntoAnother) {
  if (!testsupport::haveProgram("script")) GTEST_SKIP() << "script is not installed";
  const auto failing = run("script -qec " +
                           shellQuote("{ sleep 0.5; echo corpus/missing.wav; sleep 0.5; } | " +
                                      kTool + " -o out --files-from -") +
                           " /dev/null");
  EXPECT_NE(failing.out.find("left"), std::string::npos) << failing.out;
  size_t lines = 0;
  for (size_t start = 0; start < failing.out.size();) {
    const size_t end = std::min(failing.out.find_first_of("\r\n", start), failing.out.size());
    const std::string line = failing.out.substr(start, end - start);
    if (line.find("missing.wav") != std::string::npos) {
      ++lines;
      EXPECT_TRUE(line.starts_with("pitchtrack: corpus/missing.wav: ")) << line;
    }
    start = end + 1;
  }
  EXPECT_EQ(lines, 1U) << failing.out;
  const auto usage = run("script -qec " + shellQuote(kTool + " 2>/dev/null") + " /dev/null");
  EXPECT_TRUE(usage.out.ends_with(" waveFile pitchFile\r\n")) << usage.out;
}

}  // namespace
