// The anti-alias and band-limiting filter of the precise analysis, as integer coefficients.
//
// A windowed-sinc lowpass (Blackman window) sampled at `phases` fractional offsets, so a
// resampler can evaluate the band-limited signal between input samples. Every phase has
// 2 * halfWidth taps in Q15 that sum to exactly 32768 (unit gain at 0 Hz), so the integer
// output keeps the input's scale. Rows are padded in front with zero taps to a whole number of
// 16-tap blocks, for the packed multiply-add of the resampler.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pitchtrack {

struct PreciseLowpass {
  int32_t halfWidth = 0;  // taps on each side of the output position
  int32_t phases = 0;     // fractional offsets tabulated
  int32_t rowLength = 0;  // 2 * halfWidth rounded up to a multiple of 16
  // phases rows of rowLength taps. Row p, tap j weighs input sample
  // (i0 + halfWidth - rowLength + 1 + j) for an output at position i0 + p / phases.
  std::vector<int16_t> taps;

  const int16_t* row(int32_t phase) const {
    return taps.data() + static_cast<size_t>(phase) * static_cast<size_t>(rowLength);
  }
};

// A lowpass for input at `rate` Hz with its -6 dB point at `cutoffHz` and a transition band of
// about `transitionHz`.
PreciseLowpass designPreciseLowpass(double rate, double cutoffHz, double transitionHz,
                                    int32_t phases);

}  // namespace pitchtrack
