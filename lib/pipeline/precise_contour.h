// The precise analysis as a contour: the frames of PreciseAnalysis with the unpitched ends cut,
// the values in tenths of a semitone (rounded), the measured frequencies and the confidences.
#pragma once

#include <cstdint>
#include <span>

#include "pitchtrack/contour.h"
#include "pitchtrack/frame.h"
#include "precise_tracker.h"

namespace pitchtrack::pipeline {

// Frame `index` as callers see it: the fields the contour holds for it.
Frame publicFrame(int64_t index, const PreciseFrame& frame);

// `recordingSeconds` is the length of the whole recording.
Contour preciseContour(std::span<const PreciseFrame> frames, double recordingSeconds);

}  // namespace pitchtrack::pipeline
