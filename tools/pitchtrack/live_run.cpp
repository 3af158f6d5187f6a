#include "live_run.h"

#include <csignal>
#include <new>
#include <stdexcept>

#include "analysis_options.h"
#include "fatal_report.h"
#include "live_input.h"
#include "live_output.h"
#include "output_format.h"
#include "report.h"

namespace pitchtrack::cli {

namespace {

constexpr int kExitFailure = 1;

int fail(const std::string& name, const std::string& reason) {
  reportFailure(name, reason);
  return kExitFailure;
}

bool writesNotes(OutputFormat format) {
  return format == OutputFormat::kNotesLine || format == OutputFormat::kNotesCsv ||
         format == OutputFormat::kNotesJson;
}

// The analysis of a live run: precise, each frame (or with --notes each note) to `output` as it
// becomes final, nothing kept for the end; warnings (a stream cut short of its stated size) on
// standard error. A failed write ends the input, so that the run stops soon.
Options liveOptions(const CommandLine& line, LiveOutput& output, LiveInput& input) {
  Options options = analysisOptions(line, line.waveFile);
  options.analysis = Analysis::kPrecise;
  options.keepFrames = false;
  const OutputFormat format = line.format;
  if (writesNotes(format)) {
    options.noteSink = [&output, &input, format](const Note& note) {
      if (!output.write(formatLiveNote(format, note))) input.stop();
    };
  } else {
    options.frameSink = [&output, &input, format](const Frame& frame) {
      if (!output.write(formatLiveFrame(format, frame))) input.stop();
    };
  }
  return options;
}

int follow(const CommandLine& line, LiveOutput& output) {
  LiveInput input(line.waveFile);
  try {
    trackStream(input.descriptor(), line.waveFile, liveOptions(line, output, input));
  } catch (const WaveError& error) {
    return fail(line.waveFile, error.reason());
  } catch (const InternalError& fault) {
    return reportFatalError(fault);
  } catch (const std::bad_alloc&) {
    return fail(line.waveFile, "not enough memory");
  }
  return output.reason().empty() ? 0 : fail(line.pitchFile, output.reason());
}

}  // namespace

int trackLive(const CommandLine& line) {
  // A destination or an internal pipe whose reader went away fails its write instead.
  std::signal(SIGPIPE, SIG_IGN);
  try {
    LiveOutput output(line.pitchFile);
    if (!output.write(formatLiveHeader(line.format))) return fail(line.pitchFile, output.reason());
    try {
      return follow(line, output);
    } catch (const std::runtime_error& error) {
      return fail(line.waveFile, error.what());
    }
  } catch (const std::runtime_error& error) {
    return fail(line.pitchFile, error.what());
  }
}

}  // namespace pitchtrack::cli
