// Removes a constant offset from the working signal: a first-order highpass with its corner
// near 6 Hz, y[n] = x[n] - x[n-1] + a * y[n-1], in 16.16 fixed point so every build agrees. An
// offset would otherwise make every lag look periodic.
#pragma once

#include <algorithm>
#include <cstdint>

namespace pitchtrack {

class PreciseDcBlocker {
 public:
  int16_t next(int16_t x) {
    state_ = (int64_t{x - previous_} << 16) + ((state_ * kPole) >> 16);
    previous_ = x;
    const int64_t rounded = (state_ + (1 << 15)) >> 16;
    return static_cast<int16_t>(std::clamp<int64_t>(rounded, -32767, 32767));
  }

 private:
  static constexpr int64_t kPole = 65208;  // 0.995 in 16.16
  int64_t state_ = 0;                      // y in 16.16
  int32_t previous_ = 0;
};

}  // namespace pitchtrack
