#include "precise_choice.h"

namespace pitchtrack {

int32_t choosePreciseCandidate(const PreciseCandidates& candidates,
                               const PreciseChoiceLimits& limits) {
  double best = 0;
  for (int32_t i = 0; i < candidates.count; ++i) {
    if (candidates.peaks[i].strength > best) best = candidates.peaks[i].strength;
  }
  for (int32_t i = 0; i < candidates.count; ++i) {  // ordered by lag
    if (candidates.peaks[i].strength >= best - limits.octaveMargin) return i;
  }
  return -1;
}

}  // namespace pitchtrack
