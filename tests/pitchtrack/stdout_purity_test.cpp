// With "-" as the pitch file, standard output holds the contour and nothing else: the
// "Error: ..." line of a recording that cannot be tracked goes to standard error. With a named
// pitch file the line stays on standard output, where the default run has always printed it.
#include <gtest/gtest.h>

#include <string>

#include "support/shell.h"
#include "support/temp_dir.h"

namespace pitchtrack {

namespace {

using testsupport::shellQuote;

struct PurityCase {
  const char* name;
  const char* setup;      // shell commands that prepare the folder
  const char* arguments;  // the tool's arguments
  const char* stdoutIs;   // standard output, exactly
  const char* stderrHas;  // a piece of standard error
};

class StdoutPurity : public testing::TestWithParam<PurityCase> {};

TEST_P(StdoutPurity, ErrorLineGoesWhereTheContourDoesNot) {
  const PurityCase& c = GetParam();
  testsupport::TempDir dir;
  const testsupport::ShellRun run =
      testsupport::runShell("cd " + shellQuote(dir.root().string()) + " && " + c.setup + "\n" +
                                shellQuote(PITCHTRACK_BIN) + " " + c.arguments,
                            dir.root());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, c.stdoutIs);
  EXPECT_NE(run.err.find(c.stderrHas), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Failures, StdoutPurity,
    testing::Values(
        PurityCase{"missing_to_stdout", ":", "none.wav -", "",
                   "Error: cannot open wave file none.wav!\npitchtrack: none.wav: no such file"},
        PurityCase{"text_on_stdin", "echo hello > hello.txt", "- - < hello.txt", "",
                   "Error: cannot open wave file -!\npitchtrack: -: not a RIFF WAVE file"},
        PurityCase{"empty_pipe", ":", "- - < /dev/null", "", "Error: cannot open wave file -!"},
        PurityCase{"m4a_to_stdout", "printf '\\0\\0\\0\\040ftypM4A ' > a.m4a", "a.m4a -", "",
                   "pitchtrack: a.m4a: MP4/M4A not supported: convert it to WAV first"},
        // A named pitch file: the default run's line on standard output, unchanged.
        PurityCase{"missing_to_file", ":", "none.wav none.pitch",
                   "Error: cannot open wave file none.wav!\n",
                   "pitchtrack: none.wav: no such file"},
        PurityCase{"text_to_file", "echo hello > hello.txt", "hello.txt x.pitch",
                   "Error: cannot open wave file hello.txt!\n", "not a RIFF WAVE file"}),
    [](const testing::TestParamInfo<PurityCase>& info) { return info.param.name; });

}  // namespace

}  // namespace pitchtrack
