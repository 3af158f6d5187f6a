// pitchtrack waveFile pitchFile: tracks the pitch of a recording and writes its contour.
// pitchtrack --help tells the options: standard input and output, other formats, a whole corpus
// in one process.
//
// Exit status: 0 when the contour was written (every contour, for a corpus), 1 when a wave file
// cannot be read (or has an unsupported format), an output cannot be written, or an internal
// fault stopped the analysis; 2 for a wrong command line.
#include <cstdio>
#include <string>

#include "command_line.h"
#include "corpus.h"
#include "live_run.h"
#include "output_file.h"
#include "standard_descriptors.h"
#include "track_one.h"

namespace {

constexpr int kExitUsage = 2;

// The default invocation's usage text on standard output (without a line end, as it always was),
// and what was wrong on standard error.
int usageError(const char* program, const std::string& problem) {
  std::printf("Usage:%s waveFile pitchFile", program);
  std::fflush(stdout);
  std::fprintf(stderr, "\npitchtrack: %s; see %s --help\n", problem.c_str(), program);
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  pitchtrack::openClosedStandardDescriptors();
  pitchtrack::protectOutputFiles();
  using pitchtrack::cli::CommandLine;
  const char* program = argc > 0 ? argv[0] : "pitchtrack";
  const CommandLine line = pitchtrack::cli::parseCommandLine(argc, argv);
  switch (line.action) {
    case CommandLine::Action::kHelp:
      std::fputs(pitchtrack::cli::helpText(program).c_str(), stdout);
      return 0;
    case CommandLine::Action::kVersion:
      std::printf("pitchtrack %s\n%s\n", PITCHTRACK_VERSION_STRING,
                  pitchtrack::cli::formatsLine().c_str());
      return 0;
    case CommandLine::Action::kTrackOne:
      return pitchtrack::cli::trackOne(line);
    case CommandLine::Action::kTrackLive:
      return pitchtrack::cli::trackLive(line);
    case CommandLine::Action::kTrackCorpus:
      return pitchtrack::cli::trackCorpus(line);
    case CommandLine::Action::kUsageError:
      break;
  }
  return usageError(program, line.usageProblem);
}
