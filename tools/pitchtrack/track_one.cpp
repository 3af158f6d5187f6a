#include "track_one.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <new>
#include <stdexcept>

#include "analysis_options.h"
#include "fatal_report.h"
#include "output_file.h"
#include "output_format.h"
#include "report.h"

namespace pitchtrack::cli {

namespace {

constexpr int kExitFailure = 1;

bool isStandardStream(const std::string& name) { return name == "-"; }

// Where the "Error: ..." lines go: standard output, as the default invocation always had them,
// unless standard output carries the contour ("-" as pitch file) and must hold nothing else.
std::FILE* errorLineStream(const CommandLine& line) {
  return isStandardStream(line.pitchFile) ? stderr : stdout;
}

// The default invocation's line for a recording that cannot be tracked, and the reason.
int refuseWaveFile(const CommandLine& line, const std::string& reason) {
  std::fprintf(errorLineStream(line), "Error: cannot open wave file %s!\n",
               printableName(line.waveFile).c_str());
  std::fflush(errorLineStream(line));
  reportFailure(line.waveFile, reason);
  return kExitFailure;
}

int refusePitchFile(const CommandLine& line, const std::string& reason) {
  std::fprintf(errorLineStream(line), "Error: cannot write pitch file %s!\n",
               printableName(line.pitchFile).c_str());
  std::fflush(errorLineStream(line));
  reportFailure(line.pitchFile, reason);
  return kExitFailure;
}

// The file the recording is read from: the named one, or standard input's when it is a regular
// file (a pipe or terminal cannot be replaced by the pitch file).
bool examineRecording(const CommandLine& line, struct stat& wave) {
  if (!isStandardStream(line.waveFile)) return ::stat(line.waveFile.c_str(), &wave) == 0;
  return ::fstat(STDIN_FILENO, &wave) == 0 && S_ISREG(wave.st_mode);
}

// Whether writing the pitch file would replace the recording itself: the same file through any
// path, link or hard link, standard input's file included (- rec.wav < rec.wav).
bool pitchFileIsTheRecording(const CommandLine& line) {
  if (isStandardStream(line.pitchFile)) return false;
  struct stat wave {};
  struct stat pitch {};
  return examineRecording(line, wave) && ::stat(line.pitchFile.c_str(), &pitch) == 0 &&
         wave.st_dev == pitch.st_dev && wave.st_ino == pitch.st_ino;
}

// Progress lines go to standard output, or to standard error when standard output carries the
// contour; -q drops them.
std::FILE* progressStream(const CommandLine& line) {
  if (line.quiet) return nullptr;
  return isStandardStream(line.pitchFile) ? stderr : stdout;
}

Contour trackRecording(const CommandLine& line, std::FILE* progress) {
  Options options = analysisOptions(line, line.waveFile);
  if (progress != nullptr) {
    options.progress = [progress](const std::string& text) {
      std::fprintf(progress, "%s\n", text.c_str());
    };
  }
  if (isStandardStream(line.waveFile)) return trackStream(STDIN_FILENO, "-", options);
  return trackFile(line.waveFile, options);
}

int writeResult(const CommandLine& line, const Contour& contour, std::FILE* progress) {
  if (progress != nullptr) {
    std::fprintf(progress, "Writing pitch to %s\n", printableName(line.pitchFile).c_str());
  }
  // The pitch file may be standard output itself (/dev/stdout): the messages come first.
  std::fflush(stdout);
  const std::string text = formatOutput(line.format, contour, line.waveFile);
  if (isStandardStream(line.pitchFile)) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
        std::fflush(stdout) == 0) {
      return 0;
    }
    return refusePitchFile(line, "cannot write to standard output");
  }
  if (WriteResult written = writeOutputFile(line.pitchFile, text); !written.ok()) {
    return refusePitchFile(line, written.reason);
  }
  return 0;
}

}  // namespace

int trackOne(const CommandLine& line) {
  if (pitchFileIsTheRecording(line)) {
    return refusePitchFile(line, "is the recording itself; it is left untouched");
  }
  std::FILE* progress = progressStream(line);
  Contour contour;
  try {
    contour = trackRecording(line, progress);
  } catch (const WaveError& error) {
    return refuseWaveFile(line, error.reason());
  } catch (const InternalError& fault) {
    return reportFatalError(fault, errorLineStream(line));
  } catch (const std::bad_alloc&) {
    return refuseWaveFile(line, "not enough memory");
  } catch (const std::length_error& error) {
    return refuseWaveFile(line, error.what());
  }
  return writeResult(line, contour, progress);
}

}  // namespace pitchtrack::cli
