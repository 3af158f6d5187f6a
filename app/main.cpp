// pitchtrack waveFile pitchFile: tracks the pitch of a recording and writes its contour.
//
// Exit status: 0 when the contour was written, 1 when the wave file cannot be read (or has an
// unsupported format), the pitch file cannot be written, or an internal fault stopped the
// analysis; 2 for a wrong command line.
#include <cstdio>
#include <vector>

#include "extract_pitch.h"
#include "pitch_file.h"
#include "wave/wave_data.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::printf("Usage:%s waveFile pitchFile", argc > 0 ? argv[0] : "pitchtrack");
    return kExitUsage;
  }
  const char* waveFile = argv[1];
  const char* pitchFile = argv[2];

  // The samples stream from the file into the analysis, so that a long recording is never
  // held whole at its own rate.
  WaveData wave(1, 8000, 8);
  std::vector<int32_t> contour;
  const auto readBlock = [&wave](std::span<int16_t> block) { return wave.readMono(block); };
  if (!wave.openMono(waveFile) ||
      !extractPitch(wave.monoLength(), readBlock, contour, wave.getSampleRate(),
                    static_cast<int32_t>(wave.getBitsPerSample()))) {
    std::printf("Error: cannot open wave file %s!\n", waveFile);
    return kExitFailure;
  }
  wave.release();

  std::printf("Writing pitch to %s\n", pitchFile);
  // The pitch file may be standard output itself (/dev/stdout): the messages come first.
  std::fflush(stdout);
  if (!writePitchFile(pitchFile, formatPitchLine(contour))) {
    std::printf("Error: cannot write pitch file %s!\n", pitchFile);
    return kExitFailure;
  }
  return 0;
}
