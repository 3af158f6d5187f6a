#include "precise_contour.h"

#include "precise_trim.h"

namespace pitchtrack::pipeline {

Frame publicFrame(int64_t index, const PreciseFrame& frame) {
  return Frame{.index = index,
               .value = frame.tenths,
               .hz = frame.hz,
               .confidence = frame.tenths == 0 ? 0.0 : frame.confidence};
}

Contour preciseContour(std::span<const PreciseFrame> frames, double recordingSeconds) {
  const PreciseContour trimmed = trimUnpitched(frames);
  Contour contour;
  contour.firstFrame = trimmed.firstFrame;
  contour.recordingSeconds = recordingSeconds;
  const size_t count = trimmed.frames.size();
  contour.values.reserve(count);
  contour.hz.reserve(count);
  contour.confidence.reserve(count);
  for (const PreciseFrame& precise : trimmed.frames) {
    const Frame frame = publicFrame(0, precise);
    contour.values.push_back(frame.value);
    contour.hz.push_back(frame.hz);
    contour.confidence.push_back(frame.confidence);
  }
  return contour;
}

}  // namespace pitchtrack::pipeline
