// The steps of the dynamic-programming pitch path search: one lag per frame for a run of
// consecutive frames that all have candidates, balancing each candidate's pitch-function value
// against the pitch jumps between neighbouring frames.
//
// With D(a, b) the jump between candidates of neighbouring frames (|lag difference| for
// distType 1, |difference of the lags' pitches in tenths of a semitone| for distType 2) and
// P = transitionWeight * D (distPower 1) or transitionWeight * D^2 (otherwise):
//   pfType 1 minimises  sum localWeight*pfValue + sum P,
//   pfType 2 maximises  sum localWeight*pfValue - sum P.
// Costs are single precision; each new sum is formed in double precision and compared with the
// best value as it was stored. Every comparison is strict, so the lower index wins every tie.
// The search itself, which links frame after frame and traces the best path back, is
// trackPitch (pitch_tracker.h).
#pragma once

#include <cstdint>
#include <span>

#include "pt_param.h"
#include "simd.h"

namespace pitchtrack {

// Pitch of `lag` in tenths of a semitone: roundToInt(float(10 * freq2semitone(float(fs/lag)))),
// 0 for lag 0. The table of the distType 2 jump measure.
int32_t lagTenthsOfSemitone(int32_t fs, int32_t lag);

// One step of the path search on plain arrays, for callers that hold only two frames of costs:
// every candidate of a frame gets its best predecessor in the previous frame. A candidate is
// given by its key (its lag for distType 1, its pitch in tenths of a semitone for distType 2,
// so that the jump is |fromKey - toKey|) and its local term localWeight * pfValue (32-bit
// wrapping product).
namespace path {

struct JumpScore {
  int32_t weight = 0;     // transitionWeight
  bool squared = false;   // distPower != 1
  bool minimise = false;  // pfType 1 minimises cost + P, any other pfType maximises cost - P

  static JumpScore of(const PtParam& ptParam) {
    return {ptParam.transitionWeight, ptParam.distPower != 1,
            ptParam.pfType == kMagnitudeDifference};
  }
};

// The previous frame (at least one candidate) and the frame being linked.
struct FrameStep {
  std::span<const int32_t> fromKeys;
  std::span<const float> fromCosts;
  std::span<const int32_t> toKeys;
  std::span<const int32_t> toLocal;
};

// Writes the best predecessor's index to back[j] and the accumulated cost to costs[j] for every
// to-candidate j; both spans hold toKeys.size() values. The portable loop, or every
// to-candidate in its own vector lane (AVX2: four doubles, AVX-512: eight), each lane running
// the same sequence of double sums, strict comparisons and single-precision narrowing as the
// loop; `level` must be available.
void linkFrame(SimdLevel level, const JumpScore& score, const FrameStep& step,
               std::span<float> costs, std::span<int32_t> back);

}  // namespace path

}  // namespace pitchtrack
