// Removes a constant offset from the working signal: a first-order highpass with its corner
// near 5 Hz, y[n] = x[n] - x[n-1] + (1 - 1/256) y[n-1], with y carried in 24.8 fixed point so
// every build agrees. An offset would otherwise make every lag look periodic.
#pragma once

#include <algorithm>
#include <cstdint>

namespace pitchtrack {

class PreciseDcBlocker {
 public:
  int16_t next(int16_t x) {
    state_ += (x - previous_) * 256 - (state_ >> 8);
    previous_ = x;
    return static_cast<int16_t>(std::clamp((state_ + 128) >> 8, -32767, 32767));
  }

 private:
  int32_t state_ = 0;  // y * 256
  int32_t previous_ = 0;
};

}  // namespace pitchtrack
