// Periodicity of the working signal at one lag: how alike a stretch of `width` samples is to
// the stretch `lag` samples later, the two placed symmetrically about a frame's centre.
//
//   periodicity = 2 * sum(a * b) / (sum(a * a) + sum(b * b))
//
// It is 1 for a signal that repeats exactly after `lag` samples, near 0 for unrelated stretches
// and -1 for a sign flip; 0 where both stretches are silent. The sums are exact integers; the
// one division is the only rounding.
#pragma once

#include <cstdint>

namespace pitchtrack {

// Offset of the first stretch's start from the centre.
inline int32_t stretchStart(int32_t lag, int32_t width) { return -((width + lag) / 2); }

// `centre` points at the frame's centre sample; samples from centre - (width + lag) / 2 to
// centre + (width + lag) / 2 + 1 must be readable.
double precisePeriodicity(const int16_t* centre, int32_t lag, int32_t width);

// A periodicity maximum between whole lags, from a parabola through three neighbours.
struct PrecisePeak {
  double lag = 0;
  double strength = 0;
};

// The parabola's vertex through (lag - 1, before), (lag, at), (lag + 1, after).
PrecisePeak interpolatePeak(int32_t lag, double before, double at, double after);

}  // namespace pitchtrack
