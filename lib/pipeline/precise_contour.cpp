#include "precise_contour.h"

#include "precise_trim.h"

namespace pitchtrack::pipeline {

Contour preciseContour(std::span<const PreciseFrame> frames, double recordingSeconds) {
  const PreciseContour trimmed = trimUnpitched(frames);
  Contour contour;
  contour.firstFrame = trimmed.firstFrame;
  contour.recordingSeconds = recordingSeconds;
  contour.recordingFrames = static_cast<int64_t>(frames.size());
  const size_t count = trimmed.frames.size();
  contour.values.reserve(count);
  contour.hz.reserve(count);
  contour.confidence.reserve(count);
  for (const PreciseFrame& frame : trimmed.frames) {
    contour.values.push_back(frame.tenths);
    contour.hz.push_back(frame.hz);
    contour.confidence.push_back(frame.tenths == 0 ? 0.0 : frame.confidence);
  }
  return contour;
}

}  // namespace pitchtrack::pipeline
