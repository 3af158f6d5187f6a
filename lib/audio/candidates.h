// Pitch candidates of one frame: the lags at which the frame's period may lie.
//
// pickRawCandidates reads one frame's pitch function (frameSize/2 values indexed by lag) and
// writes candidate lags, in increasing order, to the front of `lags`; it returns how many.
//   - extremaOnly == 1: the middles of the local maxima (pfType 2) or minima (pfType 1). A flat
//     top of odd width yields its middle lag, of even width the right one of its two middles.
//     Lag 0 never qualifies, nor does an extremum whose flat part reaches the last lag. Any
//     other pfType throws pitchtrack::InternalError ("Unknown ptParam.pfType=...").
//   - otherwise: every lag is a candidate.
// The path search keeps only the lags inside [minLag, maxLag] (both inclusive), where
//   minLag = roundToInt(float(float(fs) / semitone2freq(maxPitch))) and
//   maxLag = roundToInt(float(float(fs) / semitone2freq(minPitch))),
// a bound being 0 when its pitch is at or below 0. Lag 0 is always removed.
// (fs 8000 with the range 30..84 gives lags 8..173.)
#pragma once

#include <cstdint>
#include <span>

#include "pt_param.h"
#include "simd.h"

namespace pitchtrack {

// `lags` must hold pitchFunction.size() values. Allocates nothing. `level` picks the vector
// instructions (simd.h) and must be available; every level gives the same lags.
int32_t pickRawCandidates(std::span<const int32_t> pitchFunction, const PtParam& ptParam,
                          std::span<int32_t> lags, SimdLevel level = simdLevel());

// The inclusive lag range [minLag, maxLag] that ptParam's pitch range allows.
struct LagRange {
  int32_t minLag;
  int32_t maxLag;
};
LagRange lagRange(const PtParam& ptParam);

// Whether a candidate lag survives the range: nonzero and inside [minLag, maxLag].
inline bool lagInRange(int32_t lag, LagRange range) {
  return lag != 0 && lag >= range.minLag && lag <= range.maxLag;
}

}  // namespace pitchtrack
