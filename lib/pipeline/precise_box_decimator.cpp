#include "precise_box_decimator.h"

#include <algorithm>

namespace pitchtrack {

PreciseBoxDecimator::PreciseBoxDecimator(int32_t factor)
    : factor_(factor), gain_(static_cast<int64_t>(factor) * factor * factor) {}

int16_t PreciseBoxDecimator::comb() {
  const uint64_t c1 = integrator3_ - delay1_;
  delay1_ = integrator3_;
  const uint64_t c2 = c1 - delay2_;
  delay2_ = c1;
  const uint64_t c3 = c2 - delay3_;
  delay3_ = c2;
  // The sum is at most 32768 * D^3 in magnitude, so its 64-bit two's complement is exact.
  const auto sum = static_cast<int64_t>(c3);
  // Rounded to nearest (halves upward) by floor division.
  const int64_t numerator = 2 * sum + gain_;
  const int64_t denominator = 2 * gain_;
  int64_t q = numerator / denominator;
  if (numerator % denominator != 0 && numerator < 0) --q;
  return static_cast<int16_t>(std::clamp<int64_t>(q, -32767, 32767));
}

}  // namespace pitchtrack
