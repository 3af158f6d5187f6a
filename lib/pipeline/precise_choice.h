// Which candidate is a frame's period, and whether the frame is periodic enough to be voiced.
//
// A harmonic-rich tone is nearly as periodic at twice and three times its period as at the
// period itself, and sometimes a hair more, so the strongest candidate alone would often fall
// an octave. The choice is the shortest candidate whose strength comes within a margin of the
// strongest one.
#pragma once

#include <cstdint>

#include "precise_candidates.h"

namespace pitchtrack {

// Thresholds of the choice; the defaults are the tuned values.
struct PreciseChoiceLimits {
  double octaveMargin = 0.1;    // strength a shorter candidate may lack against the best
  double voicedStrength = 0.6;  // strength a frame's choice needs to count as voiced
};

// Index of the chosen candidate, or -1 when the frame has none.
int32_t choosePreciseCandidate(const PreciseCandidates& candidates,
                               const PreciseChoiceLimits& limits = {});

}  // namespace pitchtrack
