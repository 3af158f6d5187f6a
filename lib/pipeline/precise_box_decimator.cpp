#include "precise_box_decimator.h"

#include <algorithm>

namespace pitchtrack {

PreciseBoxDecimator::PreciseBoxDecimator(int32_t factor)
    : factor_(factor),
      gain_(static_cast<int64_t>(factor) * factor * factor),
      inverse_(1.0 / static_cast<double>(2 * gain_)) {}

void PreciseBoxDecimator::push(std::span<const int16_t> samples, std::vector<int16_t>& out) {
  State s = state_;  // in locals through the loop, so that the sums stay in registers
  for (const int16_t sample : samples) {
    s.integrator1 += static_cast<uint64_t>(static_cast<int64_t>(sample));
    s.integrator2 += s.integrator1;
    s.integrator3 += s.integrator2;
    if (++s.count < factor_) continue;
    s.count = 0;
    out.push_back(comb(s));
  }
  state_ = s;
}

int16_t PreciseBoxDecimator::comb(State& state) const {
  const uint64_t c1 = state.integrator3 - state.delay1;
  state.delay1 = state.integrator3;
  const uint64_t c2 = c1 - state.delay2;
  state.delay2 = c1;
  const uint64_t c3 = c2 - state.delay3;
  state.delay3 = c2;
  // The sum is at most 32768 * D^3 in magnitude, so its 64-bit two's complement is exact.
  const auto sum = static_cast<int64_t>(c3);
  // Rounded to nearest (halves upward) by floor division: a quotient estimated by multiplying
  // with the divisor's reciprocal (within one of the exact one, since the numerator has at most
  // 38 bits), then corrected by its integer remainder, which makes it exact on every build.
  const int64_t numerator = 2 * sum + gain_;
  const int64_t denominator = 2 * gain_;
  auto q = static_cast<int64_t>(static_cast<double>(numerator) * inverse_);
  int64_t remainder = numerator - q * denominator;
  while (remainder < 0) --q, remainder += denominator;
  while (remainder >= denominator) ++q, remainder -= denominator;
  return static_cast<int16_t>(std::clamp<int64_t>(q, -32767, 32767));
}

}  // namespace pitchtrack
