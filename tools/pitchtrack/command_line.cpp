#include "command_line.h"

#include <CLI/CLI.hpp>
#include <string_view>

namespace pitchtrack::cli {

namespace {

// Whether `argument` is spelled as one of the parser's options ("-q", "--format",
// "--format=csv"), or is the "--" that ends them. Only then does an argument of a two-argument
// command line leave the default invocation.
bool spelledAsOption(const CLI::App& app, std::string_view argument) {
  if (argument == "--") return true;
  const std::string_view name = argument.substr(0, argument.find('='));
  const bool withValue = name.size() < argument.size();
  for (const CLI::Option* option : app.get_options()) {
    for (const std::string& longName : option->get_lnames()) {
      if (name == "--" + longName) return true;
    }
    for (const std::string& shortName : option->get_snames()) {
      if (!withValue && argument == "-" + shortName) return true;
    }
  }
  return false;
}

// -j takes a whole number of threads from 1 to 1024, and says so otherwise.
CLI::Validator threadCount() {
  return CLI::Validator(
      [](const std::string& value) -> std::string {
        const bool digits = !value.empty() && value.size() <= 4 &&
                            value.find_first_not_of("0123456789") == std::string::npos;
        const int count = digits ? std::stoi(value) : 0;
        if (count >= 1 && count <= 1024) return "";
        return "needs a whole number of threads from 1 to 1024, not '" + value + "'";
      },
      "1..1024");
}

CommandLine usageError(std::string problem) {
  CommandLine line;
  line.action = CommandLine::Action::kUsageError;
  line.usageProblem = std::move(problem);
  return line;
}

// Sorts the parsed options into an action, or says why they make none.
CommandLine chooseAction(CommandLine line, const std::vector<std::string>& operands, bool corpus) {
  if (corpus && line.live) return usageError("--live follows one stream, not a corpus (-o OUTDIR)");
  if (line.live && line.format == OutputFormat::kNotesMidi) {
    return usageError("--live writes lines, CSV or JSON, not MIDI");
  }
  if (corpus) {
    line.waveFiles = operands;
    if (line.waveFiles.empty() && !line.filesFrom) {
      return usageError("-o needs recordings, or --files-from");
    }
    line.action = CommandLine::Action::kTrackCorpus;
    return line;
  }
  if (line.filesFrom || line.nulSeparated || line.threads != 0) {
    return usageError("--files-from, -0 and -j belong to the corpus mode (-o OUTDIR)");
  }
  if (operands.size() != 2) return usageError("expected waveFile and pitchFile");
  line.waveFile = operands[0];
  line.pitchFile = operands[1];
  line.action = line.live ? CommandLine::Action::kTrackLive : CommandLine::Action::kTrackOne;
  return line;
}

// The output of --format=NAME, for the notes when `notes` (MIDI is notes always).
OutputFormat outputFormatOf(const std::string& name, bool notes) {
  if (name == "midi") return OutputFormat::kNotesMidi;
  if (name == "csv") return notes ? OutputFormat::kNotesCsv : OutputFormat::kCsv;
  if (name == "json") return notes ? OutputFormat::kNotesJson : OutputFormat::kJson;
  return notes ? OutputFormat::kNotesLine : OutputFormat::kLine;
}

// The parser and the values it fills.
struct Parser {
  Parser() {
    app.set_help_flag();  // help and version are handled here, not by the parser's own texts
    app.add_flag("-h,--help", help);
    app.add_flag("--version", version);
    app.add_flag("-q,--quiet", line.quiet);
    app.add_option("--format", format)->check(CLI::IsMember({"line", "csv", "json", "midi"}));
    app.add_flag("--notes", notes);
    app.add_option("--min-note", line.analysis.notes.minNoteSeconds)->check(CLI::Range(0.03, 10.0));
    app.add_option("--onset-db", line.analysis.notes.onsetDb)->check(CLI::Range(1.0, 60.0));
    outputDirectory = app.add_option("-o,--output-dir", line.outputDirectory);
    app.add_option("--files-from", line.filesFrom);
    app.add_flag("-0", line.nulSeparated);
    app.add_option("-j,--jobs", line.threads)->check(threadCount());
    app.add_flag("--normalize", line.analysis.normalize)->disable_flag_override();
    app.add_flag("--keep-final", line.analysis.keepFinal)->disable_flag_override();
    app.add_option_function<std::string>(
           "--voicing",
           [this](const std::string& mode) {
             line.analysis.voicing = mode == "strict" ? Voicing::kStrict : Voicing::kRelative;
           })
        ->check(CLI::IsMember({"relative", "strict"}));
    app.add_flag_callback("--precise", [this] { line.analysis.analysis = Analysis::kPrecise; });
    app.add_flag_callback("--live", [this] {
      line.live = true;
      line.analysis.analysis = Analysis::kPrecise;
    });
    app.add_option("operands", operands);
    app.allow_extras(false);
  }
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;

  CommandLine parse(int argc, const char* const* argv) {
    try {
      app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
      return usageError(error.what());
    }
    if (help || version) {
      CommandLine request;
      request.action = help ? CommandLine::Action::kHelp : CommandLine::Action::kVersion;
      return request;
    }
    line.format = outputFormatOf(format, notes);
    if (notes || format == "midi") line.analysis.analysis = Analysis::kPrecise;
    const bool corpus = outputDirectory->count() > 0;
    if (corpus && line.outputDirectory.empty()) return usageError("-o needs a folder name");
    return chooseAction(std::move(line), operands, corpus);
  }

  CLI::App app;
  CLI::Option* outputDirectory = nullptr;
  CommandLine line;
  bool help = false;
  bool version = false;
  bool notes = false;
  std::string format = "line";
  std::vector<std::string> operands;
};

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
  Parser parser;
  if (argc == 3 && !spelledAsOption(parser.app, argv[1]) && !spelledAsOption(parser.app, argv[2])) {
    CommandLine line;
    line.action = CommandLine::Action::kTrackOne;
    line.waveFile = argv[1];
    line.pitchFile = argv[2];
    return line;
  }
  if (argc < 2) return usageError("expected waveFile and pitchFile");
  return parser.parse(argc, argv);
}

std::string helpText(const std::string& program) {
  return "Usage: " + program + R"( [OPTIONS] waveFile pitchFile
       )" +
         program + R"( [OPTIONS] -o OUTDIR WAVE... | --files-from LIST

Tracks the pitch of the singing, humming or speech in a recording and writes its
pitch contour. WAV is read by pitchtrack itself; FLAC, Ogg Vorbis, Opus, MP3,
AIFF, CAF, AU, RF64 and Wave64 through libsndfile when it is built with it
(--version says). The container is told by the file's first bytes.

The pitch file holds one line: the contour's values joined by "+". Each value
covers one 32 ms frame of the recording and is the pitch in tenths of a
semitone, truncated to a whole semitone (690 is A4 = 440 Hz, 600 is middle C);
0 marks a frame without pitch. Unpitched frames at both ends are trimmed, so
the first value belongs to the first pitched frame (--format=csv and json say
which frame that is).

Options:
  -h, --help           show this text and exit
      --version        show the version and exit
  -q, --quiet          print no progress lines
      --format=FORMAT  line (the pitch file, default), csv (frame, seconds,
                       value, Hz and MIDI note per frame) or json
  -o, --output-dir OUTDIR
                       corpus mode: track every WAVE given and write
                       OUTDIR/NAME.pitch (.csv, .json) for each, keeping the
                       subfolders below the inputs' common folder
      --files-from LIST
                       corpus mode: read the recordings' names from LIST, one
                       per line ("-" is standard input)
  -0                   the names in LIST end with NUL instead of newline
  -j, --jobs N         corpus mode: track N recordings at once (default: one
                       per core)
      --normalize      scale the recording to full range before the reduction
                       to 8 bits, so that a quiet recording keeps its pitch
      --keep-final     keep the last stretch of sound even when it starts
                       more than 0.7 s after the one before it
      --voicing=MODE   relative (default): a frame is voiced when it is loud
                       for this recording; strict: it must also be periodic
                       and not faint, so noise gets no pitch
      --precise        the precise analysis: the pitch rounded to a tenth of a
                       semitone, the measured Hz and a confidence per frame
                       (csv, json), voicing from periodicity and level; the
                       three options above belong to the default analysis
      --notes          write the notes instead of the frames (implies --precise):
                       line (default) gives ONSET OFFSET NOTE per note, csv and
                       json add cents, Hz, frames, confidence and velocity,
                       --format=midi (implies --notes) a MIDI file; corpus mode
                       writes NAME.notes (.notes.csv, .notes.json, .mid)
      --min-note=SECONDS
                       notes: the shortest note (default 0.1); shorter
                       stretches join their neighbour or are dropped
      --onset-db=DB    notes: the dip and rise of the level that starts a new
                       note on the same pitch (default 6)
      --live           follow a recording while it is made (standard input, a
                       FIFO, a socket): each frame is written as soon as it is
                       final, about 0.1 s after its audio, one per line (the
                       value; a CSV row; a JSON object), with --notes each note
                       as soon as it ends; implies --precise; SIGINT or the end
                       of the stream ends the run
  --                   end of options

"-" as waveFile reads the recording from standard input (a pipe works: a
streaming writer's placeholder data size means "to the end of the input", and a
WAV stream that ends before its stated size is tracked as far as it arrived,
with a warning);
"-" as pitchFile writes the contour to standard output, and the progress lines
then go to standard error.

Warnings go to standard error as "pitchtrack: FILE: warning: ..." when the
analysis loses something: a last stretch dropped by the final-gap rule, a
recording too quiet for the reduction to 8 bits, an empty contour from a
recording that is not silent, clipping, a first pass mostly outside the final
pitch range. Each gives the time and the option that would change the result;
-q silences them. They never change the pitch file or standard output.

Exit status:
  0  the contour was written (in corpus mode: every recording was tracked)
  1  a recording could not be read, an output could not be written, or an
     internal fault stopped the analysis; the reason is on standard error
     (and with "-" as pitchFile, so is the "Error: ..." line)
  2  wrong command line
)";
}

std::string formatsLine() {
  const std::string library = soundFileLibraryVersion();
  if (library.empty()) return "formats: WAV only (built without libsndfile)";
  return "formats: WAV; FLAC, Ogg Vorbis, Opus, MP3, AIFF, CAF, AU, RF64, Wave64 through " +
         library;
}

}  // namespace pitchtrack::cli
