// The tool's command line: the default invocation's two operands, or documented options.
//
// `pitchtrack waveFile pitchFile`, with two arguments that are not spelled as a documented
// option, is the default invocation and keeps its exact behaviour. Anything else goes through
// the option parser; options are recognised only when spelled exactly as documented, and `--`
// ends them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "pitchtrack/pitchtrack.h"

namespace pitchtrack::cli {

// What the tool writes: the contour as the pitch line, CSV or JSON, or its notes (--notes) as
// lines, CSV, JSON or a MIDI file.
enum class OutputFormat { kLine, kCsv, kJson, kNotesLine, kNotesCsv, kNotesJson, kNotesMidi };

struct CommandLine {
  enum class Action { kTrackOne, kTrackLive, kTrackCorpus, kHelp, kVersion, kUsageError };
  Action action = Action::kUsageError;
  std::string usageProblem;  // what was wrong, for kUsageError

  bool quiet = false;
  bool live = false;  // follow a stream: each frame written as soon as it is final
  OutputFormat format = OutputFormat::kLine;

  // The analysis the options ask for: the remedies, all off by default. The sinks stay empty;
  // analysisOptions() adds the warning sink.
  Options analysis;

  // One recording: "-" reads standard input, writes standard output.
  std::string waveFile;
  std::string pitchFile;

  // A corpus: the recordings and where their results go.
  std::string outputDirectory;
  std::vector<std::string> waveFiles;
  std::optional<std::string> filesFrom;  // a list of names; "-" is standard input
  bool nulSeparated = false;             // the list's names end with NUL, not newline
  unsigned threads = 0;                  // 0: one per core
};

CommandLine parseCommandLine(int argc, const char* const* argv);

// The text of --help.
std::string helpText(const std::string& program);

// The second line of --version: which containers are read, and by what.
std::string formatsLine();

}  // namespace pitchtrack::cli
