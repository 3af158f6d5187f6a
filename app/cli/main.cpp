// pitchtrack waveFile pitchFile: tracks the pitch of a recording and writes its contour.
//
// Exit status: 0 when the contour was written, 1 when the wave file cannot be read (or has an
// unsupported format), the pitch file cannot be written, or an internal fault stopped the
// analysis; 2 for a wrong command line.
#include <cstdio>
#include <new>
#include <stdexcept>
#include <string>

#include "fatal_error.h"
#include "pitch_file.h"
#include "pitchtrack/pitchtrack.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// The progress lines of the analysis, on standard output as the tool has always printed them.
void printProgress(const std::string& line) { std::printf("%s\n", line.c_str()); }

// The tool's report of a recording it cannot track: its line on standard output and the reason
// on standard error.
int refuseWaveFile(const char* waveFile, const std::string& reason) {
  std::printf("Error: cannot open wave file %s!\n", waveFile);
  std::fflush(stdout);
  std::fprintf(stderr, "pitchtrack: %s: %s\n", waveFile, reason.c_str());
  return kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::printf("Usage:%s waveFile pitchFile", argc > 0 ? argv[0] : "pitchtrack");
    return kExitUsage;
  }
  const char* waveFile = argv[1];
  const char* pitchFile = argv[2];

  pitchtrack::Contour contour;
  try {
    contour = pitchtrack::trackFile(waveFile, {.progress = printProgress});
  } catch (const pitchtrack::WaveError& error) {
    return refuseWaveFile(waveFile, error.reason());
  } catch (const pitchtrack::InternalError& fault) {
    return pitchtrack::reportFatalError(fault);
  } catch (const std::bad_alloc&) {
    return refuseWaveFile(waveFile, "not enough memory");
  } catch (const std::length_error& error) {
    return refuseWaveFile(waveFile, error.what());
  }

  std::printf("Writing pitch to %s\n", pitchFile);
  // The pitch file may be standard output itself (/dev/stdout): the messages come first.
  std::fflush(stdout);
  if (!pitchtrack::writePitchFile(pitchFile, pitchtrack::formatContour(contour))) {
    std::printf("Error: cannot write pitch file %s!\n", pitchFile);
    return kExitFailure;
  }
  return 0;
}
