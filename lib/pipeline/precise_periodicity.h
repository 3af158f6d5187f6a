// Periodicity of the working signal around one frame's centre: how alike a stretch of `width`
// samples is to the stretch `lag` samples later, the two placed symmetrically about the centre.
//
//   periodicity = 2 * sum(a * b) / (sum(a * a) + sum(b * b))
//
// It is 1 for a signal that repeats exactly after `lag` samples, near 0 for unrelated stretches
// and -1 for a sign flip; 0 where both stretches are silent.
//
// The frame's samples are copied once, every `step`-th one, and loud frames are scaled down by a
// power of two (a shared exponent, like a block floating-point number) so that their products sum
// exactly in 32 bits; quiet frames keep every bit. The sums are exact integers and the one
// division is the only rounding.
#pragma once

#include <array>
#include <cstdint>

namespace pitchtrack {

// Offset of the first stretch's start from the centre.
inline int32_t stretchStart(int32_t lag, int32_t width) { return -((width + lag) / 2); }

// The right shift that brings samples within `reach` of the centre to at most 2047 in magnitude.
int32_t precisePeakShift(const int16_t* centre, int32_t reach);

class PreciseStretch {
 public:
  static constexpr int32_t kMaxReach = 208;

  // Copies centre[step * i] for |i| <= reach, shifted right by `shift`.
  void load(const int16_t* centre, int32_t reach, int32_t step, int32_t shift);

  // Needs (width + lag) / 2 + 1 <= reach; width a multiple of 16, at most 256.
  double periodicity(int32_t lag, int32_t width) const;
  // periodicity(lag, width) for every lag in [first, last], into out[lag - first]; at most
  // kMaxBatch lags.
  void periodicities(int32_t first, int32_t last, int32_t width, double* out) const;
  static constexpr int32_t kMaxBatch = 80;
  // Mean square of the `width` samples about the centre, in the original scale.
  double meanSquare(int32_t width) const;

 private:
  void prefixSquares(int32_t count);
  int64_t energy(int32_t from, int32_t count) const {  // from: offset from the centre
    return int64_t{squares_[reach_ + from + count]} - squares_[reach_ + from];
  }

  std::array<int16_t, 2 * kMaxReach + 1> samples_{};
  // Prefix sums of squares: at most 417 squares of magnitudes up to 2048, within 32 bits.
  std::array<int32_t, 2 * kMaxReach + 2> squares_{};
  int32_t reach_ = 0;
  int32_t shift_ = 0;
};

// A periodicity maximum between whole lags, from a parabola through three neighbours.
struct PrecisePeak {
  double lag = 0;
  double strength = 0;
};

// The parabola's vertex through (lag - 1, before), (lag, at), (lag + 1, after).
PrecisePeak interpolatePeak(int32_t lag, double before, double at, double after);

}  // namespace pitchtrack
