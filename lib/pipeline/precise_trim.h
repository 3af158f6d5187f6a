// The precise frames of a recording with the unpitched frames at both ends cut, as the
// default contour does: the first and the last kept frame have a pitch.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "precise_tracker.h"

namespace pitchtrack {

struct PreciseContour {
  std::vector<PreciseFrame> frames;
  int64_t firstFrame = 0;  // index in the recording of frames[0]
};

PreciseContour trimUnpitched(std::span<const PreciseFrame> frames);

}  // namespace pitchtrack
