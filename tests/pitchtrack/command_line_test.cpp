// The tool's options beside the default invocation: help and version, wrong command lines,
// reasons on standard error, quiet runs, standard input and output, the timed formats and the
// refusal to overwrite the recording. The default two-argument run is pinned elsewhere (golden
// and end-to-end tests); here it serves as the reference the options must agree with.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "pitchtrack/pitchtrack.h"
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

// Two notes, A3 and D4 a quarter tone sharp, at 22050 Hz: resampled and reduced to 8 bits.
testwav::Bytes recording() {
  using testsignal::semitoneHz;
  return testwav::pcmWave(testsignal::hummedNotes(22050, {semitoneHz(57.5), semitoneHz(62.5)}, 0.4),
                          22050);
}

const std::string kProgress =
    "fs=22050 ===> Resample to have fs=8000\nnbits=16 ===> Convert from nbits=16 to 8!\n";

// A folder holding rec.wav and the default run's pitch file of it, default.pitch.
class CommandLine : public testing::Test {
 protected:
  void SetUp() override {
    testwav::writeFile(work_.path("rec.wav"), recording());
    const auto byDefault = run("rec.wav default.pitch");
    ASSERT_EQ(byDefault.status, 0) << byDefault.err;
    defaultLine_ = readFile(work_.path("default.pitch"));
    ASSERT_TRUE(defaultLine_.starts_with("570+")) << defaultLine_;
  }

  // The tool with `arguments`, in the folder.
  testsupport::ShellRun run(const std::string& arguments) { return shell(kTool + " " + arguments); }

  testsupport::ShellRun shell(const std::string& command) {
    return runShell("cd " + shellQuote(work_.root().string()) + " && " + command, work_.root());
  }

  TempDir work_;
  std::string defaultLine_;
};

TEST_F(CommandLine, HelpAndVersionGoToStandardOutputWithStatusZero) {
  for (const char* option : {"-h", "--help"}) {
    const auto help = run(option);
    EXPECT_EQ(help.status, 0) << option;
    EXPECT_EQ(help.err, "") << option;
    for (const char* part : {"Usage:", "tenths of a", "32 ms", "--quiet", "--format",
                             "--files-from", "-j, --jobs", "Exit status", "standard input"}) {
      EXPECT_NE(help.out.find(part), std::string::npos) << option << " lacks " << part;
    }
  }
  const auto version = run("--version");
  EXPECT_EQ(version.status, 0);
  // The version, then which containers are read: through the libsndfile in use, or WAV only.
  const std::string library = pitchtrack::soundFileLibraryVersion();
  EXPECT_EQ(version.out, "pitchtrack 2.0.0\n" +
                             (library.empty() ? std::string("formats: WAV only (built without "
                                                            "libsndfile)")
                                              : "formats: WAV; FLAC, Ogg Vorbis, Opus, MP3, AIFF, "
                                                "CAF, AU, RF64, Wave64 through " +
                                                    library) +
                             "\n");
}

TEST_F(CommandLine, WrongCommandLinesKeepTheUsageTextAndPointToHelp) {
  for (const char* arguments :
       {"", "rec.wav", "rec.wav a.pitch b.pitch", "-q rec.wav", "--format=xml rec.wav x.pitch",
        "--bogus rec.wav x.pitch", "-j 2 rec.wav x.pitch", "-o", "-o out"}) {
    const auto wrong = run(arguments);
    EXPECT_EQ(wrong.status, 2) << arguments;
    EXPECT_EQ(wrong.out, "Usage:" + std::string(PITCHTRACK_BIN) + " waveFile pitchFile")
        << arguments;
    EXPECT_NE(wrong.err.find("--help"), std::string::npos) << arguments;
  }
  EXPECT_EQ(work_.names(), (std::vector<std::string>{"default.pitch", "rec.wav"}));
}

// Only the documented spellings are options: a file whose name starts with a dash is tracked as
// it always was, and "--" ends the options.
TEST_F(CommandLine, NamesThatLookLikeOptionsAreOperands) {
  fs::copy_file(work_.path("rec.wav"), work_.path("-in.wav"));
  for (const char* arguments : {"-in.wav out.pitch", "-- -in.wav out.pitch", "-q -- -in.wav -q"}) {
    fs::remove(work_.path("out.pitch"));
    fs::remove(work_.path("-q"));
    const auto tracked = run(arguments);
    EXPECT_EQ(tracked.status, 0) << arguments << tracked.err;
    const std::string output = std::string(arguments).ends_with("-q") ? "-q" : "out.pitch";
    EXPECT_EQ(readFile(work_.path(output)), defaultLine_) << arguments;
  }
}

TEST_F(CommandLine, QuietRunPrintsNothingAndWritesTheSameFile) {
  const auto quiet = run("-q rec.wav quiet.pitch");
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.out, "");
  EXPECT_EQ(quiet.err, "");
  EXPECT_EQ(readFile(work_.path("quiet.pitch")), defaultLine_);
}

// Every failure keeps the default invocation's line on standard output and adds its reason on
// standard error. (Damaged recordings and their reasons are covered by the hostile-file matrix.)
TEST_F(CommandLine, FailuresGiveTheirReasonOnStandardError) {
  fs::create_directory(work_.path("folder.wav"));
  const struct {
    std::string arguments, out, err;
  } cases[] = {
      {"missing.wav x.pitch", "Error: cannot open wave file missing.wav!\n",
       "pitchtrack: missing.wav: no such file\n"},
      {"folder.wav x.pitch", "Error: cannot open wave file folder.wav!\n",
       "pitchtrack: folder.wav: is a directory\n"},
      {"-q rec.wav no/such/dir/x.pitch", "Error: cannot write pitch file no/such/dir/x.pitch!\n",
       "pitchtrack: no/such/dir/x.pitch: No such file or directory\n"},
  };
  for (const auto& c : cases) {
    const auto failed = run(c.arguments);
    EXPECT_EQ(failed.status, 1) << c.arguments;
    EXPECT_EQ(failed.out, c.out) << c.arguments;
    EXPECT_EQ(failed.err, c.err) << c.arguments;
  }
  // A name with a newline stays on one line of standard error.
  const auto strange = run("\"$(printf 'bad\\nname.wav')\" x.pitch");
  EXPECT_EQ(strange.err, "pitchtrack: bad\\nname.wav: no such file\n");
}

// The recording is never replaced by its own contour, whatever path leads to it twice.
TEST_F(CommandLine, RefusesToWriteThePitchFileOverTheRecording) {
  fs::create_symlink("rec.wav", work_.path("link.wav"));
  fs::create_hard_link(work_.path("rec.wav"), work_.path("hard.wav"));
  const std::string original = readFile(work_.path("rec.wav"));
  for (const char* arguments : {"rec.wav rec.wav", "rec.wav ./rec.wav", "rec.wav link.wav",
                                "link.wav hard.wav", "-q rec.wav hard.wav"}) {
    const auto refused = run(arguments);
    EXPECT_EQ(refused.status, 1) << arguments;
    EXPECT_NE(refused.err.find("is the recording itself"), std::string::npos) << arguments;
    EXPECT_EQ(readFile(work_.path("rec.wav")), original) << arguments;
  }
}

TEST_F(CommandLine, ReadsStandardInputAndWritesStandardOutput) {
  const auto piped = run("- piped.pitch < rec.wav");
  EXPECT_EQ(piped.status, 0);
  EXPECT_EQ(piped.out, kProgress + "Writing pitch to piped.pitch\n");
  EXPECT_EQ(readFile(work_.path("piped.pitch")), defaultLine_);

  // Through a real pipe, which cannot seek.
  const auto fromPipe =
      run("- - < rec.wav | cat > through.pitch; cat rec.wav | " + kTool + " -q - -");
  EXPECT_EQ(fromPipe.status, 0);
  EXPECT_EQ(fromPipe.out, defaultLine_) << "standard output holds only the contour";
  EXPECT_EQ(fromPipe.err, kProgress + "Writing pitch to -\n");
  EXPECT_EQ(readFile(work_.path("through.pitch")), defaultLine_);
}

// Programs that write a recording to a pipe cannot know its length and leave a placeholder in
// the data size; it means "to the end of the input", piped or saved to a file first. The
// contour equals that of the same samples in a well-formed file.
TEST_F(CommandLine, StreamedRecordingsOfOtherProgramsAreRead) {
  if (!testsupport::haveProgram("sox")) GTEST_SKIP() << "sox is not installed";
  const std::string synth =
      "sox -D -n -r 16000 -b 16 -c 1 -t wav - synth 0.6 sawtooth 196 "
      "synth 0.6 sawtooth 262 2>/dev/null";
  const auto made = shell(
      "sox -D -n -r 16000 -b 16 -c 1 whole.wav synth 0.6 sawtooth 196 synth 0.6 "
      "sawtooth 262 && " +
      kTool + " -q whole.wav whole.pitch && " + synth + " | " + kTool + " -q - piped.pitch && " +
      synth + " > saved.wav && " + kTool + " -q saved.wav saved.pitch");
  ASSERT_EQ(made.status, 0) << made.err;
  const std::string whole = readFile(work_.path("whole.pitch"));
  EXPECT_GT(whole.size(), 20u) << whole;
  EXPECT_EQ(readFile(work_.path("piped.pitch")), whole);
  EXPECT_EQ(readFile(work_.path("saved.pitch")), whole);

  if (!testsupport::haveProgram("espeak-ng")) GTEST_SKIP() << "espeak-ng is not installed";
  const auto spoken = shell(
      "espeak-ng --stdout 'the quick brown fox' > spoken.wav && sox -D "
      "spoken.wav fixed.wav && " +
      kTool + " -q spoken.wav spoken.pitch && " + kTool + " -q fixed.wav fixed.pitch");
  ASSERT_EQ(spoken.status, 0) << spoken.err;
  EXPECT_GT(readFile(work_.path("fixed.pitch")).size(), 20u);
  EXPECT_EQ(readFile(work_.path("spoken.pitch")), readFile(work_.path("fixed.pitch")));
}

// A regular file whose data really stops short of its declared size is still refused.
TEST_F(CommandLine, TruncatedFileIsRefused) {
  testwav::Bytes image = recording();
  image.resize(image.size() / 2);
  testwav::writeFile(work_.path("cut.wav"), image);
  for (const char* arguments : {"cut.wav x.pitch", "- x.pitch < cut.wav"}) {
    const auto refused = run(arguments);
    EXPECT_EQ(refused.status, 1) << arguments;
    EXPECT_NE(refused.err.find("truncated"), std::string::npos) << arguments << refused.err;
    EXPECT_FALSE(fs::exists(work_.path("x.pitch"))) << arguments;
  }
}

// The timed formats parse with standard tools and hold the default run's contour, placed in time.
TEST_F(CommandLine, CsvAndJsonHoldTheContourPlacedInTime) {
  ASSERT_EQ(run("-q --format=csv rec.wav out.csv").status, 0);
  ASSERT_EQ(run("-q --format json rec.wav out.json").status, 0);
  const std::string check = R"PY(
import csv, json, math, sys
line = open('default.pitch').read().strip()
values = [int(v) for v in line.split('+')]
rows = list(csv.reader(open('out.csv', newline='')))
assert rows[0] == ['frame', 'seconds', 'value', 'hz', 'midi'], rows[0]
rows = rows[1:]
assert [int(r[2]) if r[2] else 0 for r in rows] == values
first = int(rows[0][0])
for i, r in enumerate(rows):
    assert len(r) == 5 and int(r[0]) == first + i, r
    assert abs(float(r[1]) - int(r[0]) * 0.032) < 1e-9, r
    if r[2]:
        assert abs(float(r[3]) - 440 * 2 ** ((int(r[2]) / 10 - 69) / 12)) < 1e-3, r
        assert float(r[4]) == int(r[2]) / 10, r
    else:
        assert r[3] == '' and r[4] == '', r
data = json.load(open('out.json'))
assert data['values'] == values and data['first_frame'] == first, data
assert data['frame_seconds'] == 0.032 and data['file'] == 'rec.wav', data
# The recording starts with 0.2 s of silence: the first pitched frame is not frame 0.
assert 5 <= first <= 8, first
print('ok')
)PY";
  testsupport::writeText(work_.path("check.py"), check);
  const auto checked = shell("python3 check.py");
  EXPECT_EQ(checked.out, "ok\n") << checked.err;
}

}  // namespace
