// Command lines that once lost data or ended the process: a recording replaced by its own
// contour, a result silently lost to another recording with the same output, messages landing in
// a result, lists and thread counts that aborted, endless inputs that never finished. Each run
// must keep every recording, end with a status that tells what happened, and never abort.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/address_sanitizer.h"
#include "support/run_tool.h"
#include "support/shell.h"
#include "support/signals.h"
#include "support/temp_dir.h"
#include "support/wav_image.h"

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::shellQuote;
using testsupport::TempDir;

const std::string kTool = shellQuote(PITCHTRACK_BIN);
const std::string kMelody = shellQuote(std::string(EXAMPLES_DIR) + "/melody.wav");

constexpr int kAborted = 134;  // the shell's status for a process ended by SIGABRT

class HostileRuns : public testing::Test {
 protected:
  testsupport::ShellRun run(const std::string& command) {
    return testsupport::runShell("cd " + shellQuote(work_.root().string()) + " && " + command,
                                 work_.root());
  }
  void copyMelody(const std::string& name) {
    ASSERT_EQ(run("cp " + kMelody + " " + shellQuote(name)).status, 0);
  }
  bool sameAsMelody(const std::string& name) {
    return readFile(work_.path(name)) == readFile(fs::path(EXAMPLES_DIR) / "melody.wav");
  }

  TempDir work_;
  std::string lastError_;  // standard error of the last run of a table
};

struct RecordingKept {
  const char* what;
  std::vector<const char*> recordings;  // copies of the melody made first
  const char* arguments;
  const char* kept;  // the recording that must stay as it was
};

// A run whose output would be one of its own recordings refuses that output, whichever way the
// recording arrives, and says so with status 1.
TEST_F(HostileRuns, NoRunReplacesARecordingWithItsContour) {
  const std::vector<RecordingKept> cases = {
      {"corpus entry whose output is itself",
       {"r/rec.pitch"},
       "-q -o . r/rec.pitch",
       "r/rec.pitch"},
      {"corpus entry whose output is another entry",
       {"a2.wav", "a2.pitch"},
       "-q -j1 -o . a2.wav a2.pitch",
       "a2.pitch"},
      {"standard input's file as the pitch file", {"m2.wav"}, "- m2.wav < m2.wav", "m2.wav"},
      {"standard input through /dev/fd/0", {"m3.wav"}, "-q - /dev/fd/0 < m3.wav", "m3.wav"},
  };
  ASSERT_EQ(run("mkdir r").status, 0);
  for (const RecordingKept& c : cases) {
    for (const char* name : c.recordings) copyMelody(name);
    const auto result = run(kTool + " " + c.arguments);
    EXPECT_EQ(result.status, 1) << c.what << result.err;
    EXPECT_TRUE(sameAsMelody(c.kept)) << c.what;
    EXPECT_NE(result.err.find("itself; it is left untouched"), std::string::npos)
        << c.what << result.err;
  }
}

// Two names with one output: the first keeps its result, every later one is refused, the same
// recording named twice included.
TEST_F(HostileRuns, TwoRecordingsWithOneOutputFailTheSecond) {
  ASSERT_EQ(run("mkdir c").status, 0);
  copyMelody("c/a.wav");
  copyMelody("c/a.WAV");
  const auto result = run(kTool + " -q -j1 -o out c/a.wav c/a.WAV c/a.wav");
  EXPECT_EQ(result.status, 1) << result.err;
  EXPECT_EQ(result.err,
            "pitchtrack: c/a.WAV: its output out/c/a.pitch is already the output of c/a.wav, "
            "named earlier in this run; not tracked\n"
            "pitchtrack: c/a.wav: its output out/c/a.pitch is already the output of c/a.wav, "
            "named earlier in this run; not tracked\n");
  EXPECT_TRUE(fs::exists(work_.path("out/c/a.pitch")));
}

// With a standard descriptor closed, the process opens /dev/null there first, so no file it
// opens later (here the FIFO it waits on for its recording) takes that number and collects its
// messages.
TEST_F(HostileRuns, ClosedStandardDescriptorsPointAtDevNull) {
  ASSERT_EQ(run("mkfifo slow").status, 0);
  for (const std::string closed : {"0", "1", "2"}) {
    const auto result = run("{ " + kTool + " -q slow out.pitch " + closed +
                            ">&- & pid=$!; sleep 0.5; readlink /proc/$pid/fd/" + closed +
                            "; exec 3>slow; exec 3>&-; wait $pid; }");
    EXPECT_TRUE(result.out.starts_with("/dev/null\n"))
        << "descriptor " << closed << ": " << result.out << result.err;
  }
}

struct LimitCase {
  const char* what;
  const char* command;  // after "cd work &&", with TOOL for the tool
  const char* reason;   // in standard error
};

// Resource limits end a run with status 1 and a reason, never with an abort.
TEST_F(HostileRuns, ExhaustedResourcesEndTheRunCleanly) {
  if (testsupport::kAddressSanitizer) GTEST_SKIP() << "a sanitized tool cannot run under ulimit -v";
  copyMelody("x.wav");
  ASSERT_EQ(run("for i in $(seq 1 40); do ln x.wav h$i.wav; done; ls h*.wav > forty").status, 0);
  const std::vector<LimitCase> cases = {
      // Every name is new and claims its output; their recordings are missing, or fail for want
      // of memory once it is short (reported, and filtered out here).
      {"an endless list of new names under a memory limit",
       "( ulimit -v 40000; awk 'BEGIN { for (i = 0; ; i++) printf \"d/%0400d.wav\\n\", i }' | "
       "TOOL -q -o o --files-from -; echo status $? >&2 ) 2>&1 | "
       "grep -v -e ': no such file$' -e ': not enough memory$' >&2",
       "pitchtrack: -: not enough memory for the output paths of the names read; the rest is not "
       "tracked\nstatus 1\n"},
      {"more threads than the memory limit allows",
       "( ulimit -v 200000; TOOL -j 1024 -o o2 --files-from forty )", " files, "},
  };
  for (const LimitCase& c : cases) {
    std::string command = c.command;
    command.replace(command.find("TOOL"), 4, kTool);
    const auto result = run(command);
    lastError_ = result.err;
    EXPECT_NE(result.status, kAborted) << c.what;
    EXPECT_NE(result.err.find(c.reason), std::string::npos) << c.what << ": " << result.err;
  }
  // The threads that started took every entry: each has its output or its reported failure.
  const auto summary = run("ls o2 | wc -l");
  const auto failures = run("grep -c '^pitchtrack: h' <<'EOF'\n" + lastError_ + "EOF");
  EXPECT_EQ(std::stoi(summary.out) + std::stoi(failures.out), 40) << lastError_;
}

// A list that cannot be read is not an empty list.
TEST_F(HostileRuns, UnreadableListFailsTheRun) {
  const auto writeOnly = run(kTool + " -o o --files-from - 0>wo.txt");
  EXPECT_EQ(writeOnly.status, 1);
  EXPECT_EQ(writeOnly.err, "pitchtrack: -: Bad file descriptor\n");
  const auto folder = run("mkdir d && " + kTool + " -o o --files-from d");
  EXPECT_EQ(folder.status, 1);
  EXPECT_EQ(folder.err, "pitchtrack: d: Is a directory\n");
}

// An input that is not a RIFF file and never ends is refused at its first bytes.
TEST_F(HostileRuns, EndlessInputsThatAreNotWaveFilesAreRefusedAtOnce) {
  for (const char* command :
       {"timeout 20 TOOL /dev/urandom o.pitch", "yes | timeout 20 TOOL - o.pitch",
        "timeout 20 TOOL - o.pitch < /dev/zero"}) {
    std::string line = command;
    line.replace(line.find("TOOL"), 4, kTool);
    const auto result = run(line);
    EXPECT_EQ(result.status, 1) << command;
    EXPECT_NE(result.err.find(": not a RIFF WAVE file\n"), std::string::npos)
        << command << result.err;
  }
}

// A non-blocking input that is momentarily empty has not ended: the list and the recording are
// read to their real ends (the writer pauses after the first bytes).
TEST_F(HostileRuns, NonBlockingInputsAreReadToTheirEnd) {
  ASSERT_EQ(run("mkdir sub").status, 0);
  copyMelody("sub/x.wav");
  copyMelody("x.wav");
  const std::string nonBlocking =
      "python3 -c 'import fcntl, os, sys; fcntl.fcntl(0, fcntl.F_SETFL, os.O_NONBLOCK); "
      "os.execv(sys.argv[1], sys.argv[1:])' " +
      kTool;
  const auto list =
      run("{ printf sub; sleep 0.3; echo /x.wav; } | " + nonBlocking + " -q -o o --files-from -");
  EXPECT_EQ(list.status, 0) << list.err;
  EXPECT_TRUE(fs::exists(work_.path("o/sub/x.pitch"))) << list.err;
  const auto single = run(kTool + " -q x.wav whole.pitch && { head -c 100 x.wav; sleep 0.3; " +
                          "tail -c +101 x.wav; } | " + nonBlocking + " -q - piped.pitch");
  EXPECT_EQ(single.status, 0) << single.err;
  EXPECT_EQ(readFile(work_.path("piped.pitch")), readFile(work_.path("whole.pitch")));
}

// An output folder that another user planted as a link in a shared folder is not used, and
// nothing is created where it leads.
TEST_F(HostileRuns, PlantedOutputFolderLinksAreRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "planting another user's link needs root";
  copyMelody("a.wav");
  ASSERT_EQ(run("mkdir sh victim && chmod 1777 sh && ln -s \"$PWD/victim\" sh/sub && "
                "chown -h 65534:65534 sh/sub")
                .status,
            0);
  for (const char* arguments : {"-q a.wav sh/sub/x.pitch", "-q -o sh/sub a.wav"}) {
    const auto result = run(kTool + " " + arguments);
    EXPECT_EQ(result.status, 1) << arguments;
    EXPECT_NE(result.err.find("a symbolic link of another user in a shared folder on the way"),
              std::string::npos)
        << arguments << result.err;
    EXPECT_EQ(run("ls -A victim").out, "") << arguments;
  }
}

// A signal that ends a corpus run, whenever it comes, leaves no temporary file: the threads that
// write never handle it, and the one that does stops new temporary files before it removes the
// ones being written.
TEST_F(HostileRuns, EndingSignalsLeaveNoTemporaryFiles) {
  testwav::writeFile(work_.path("s.wav"),
                     testwav::pcmWave(testsignal::hummedNotes(8000, {220.0}, 0.2)));
  const auto made = run("for i in $(seq 1 400); do ln s.wav s$i.wav; done && ls s*.wav > list");
  ASSERT_EQ(made.status, 0) << made.err;
  // (A background job ignores SIGINT, so SIGTERM and SIGHUP stand for the three.)
  for (const char* signal : {"TERM", "HUP"}) {
    const auto rounds = run(
        "left=0; for delay in 1 2 3 4 5 6 7 8 9; do rm -rf out; " + kTool +
        " -q -j 8 -o out --files-from list 2>/dev/null & pid=$!; sleep 0.0$delay; kill -" + signal +
        " $pid; wait $pid; left=$((left + $(ls -A out 2>/dev/null | grep -c '^.pitchtrack-'))); "
        "done; echo $left");
    EXPECT_EQ(rounds.out, "0\n") << "SIG" << signal << rounds.err;
  }
}

}  // namespace
