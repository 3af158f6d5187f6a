// The public entry of the library (include/pitchtrack/pitchtrack.h) over the pipeline.
#include <stdexcept>
#include <string>

#include "extract_pitch.h"
#include "pitch_file.h"
#include "pitchtrack/pitchtrack.h"

namespace pitchtrack {

static_assert(kMinSampleRate == pipeline::kMinInputRate);
static_assert(kMaxSampleRate == pipeline::kMaxInputRate);

std::vector<int32_t> trackContour(std::span<const int16_t> samples, int32_t sampleRate,
                                  int32_t bitsPerSample) {
  if (bitsPerSample != 8 && bitsPerSample != 16) {
    throw std::invalid_argument("pitchtrack::trackContour: bitsPerSample must be 8 or 16, not " +
                                std::to_string(bitsPerSample));
  }
  if (sampleRate < kMinSampleRate || sampleRate > kMaxSampleRate) {
    throw std::invalid_argument(
        "pitchtrack::trackContour: sample rate " + std::to_string(sampleRate) + " Hz is outside " +
        std::to_string(kMinSampleRate) + ".." + std::to_string(kMaxSampleRate) + " Hz");
  }
  std::vector<int32_t> contour;
  extractPitch(samples, contour, sampleRate, bitsPerSample);
  return contour;
}

std::string formatContour(std::span<const int32_t> contour) { return formatPitchLine(contour); }

}  // namespace pitchtrack
