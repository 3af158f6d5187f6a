// Removes a constant offset from the working signal: a first-order highpass with its corner
// near 5 Hz, y[n] = x[n] - x[n-1] + (1 - 1/256) y[n-1], with y carried in 24.8 fixed point so
// every build agrees. An offset would otherwise make every lag look periodic.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>

namespace pitchtrack {

class PreciseDcBlocker {
 public:
  int16_t next(int16_t x) {
    state_ += (x - previous_) * 256 - (state_ >> 8);
    previous_ = x;
    return static_cast<int16_t>(std::clamp((state_ + 128) >> 8, -32767, 32767));
  }

  // out[i] = next(in[i]) for every sample. Silence drives the state to a resting value in
  // 0..255, which silence then keeps: runs of zeros there give that value's output at once.
  void filter(std::span<const int16_t> in, int16_t* out) {
    size_t i = 0;
    while (i < in.size()) {
      if (previous_ == 0 && state_ >= 0 && state_ < 256 && in[i] == 0) {
        const auto resting = static_cast<int16_t>((state_ + 128) >> 8);
        for (; i < in.size() && in[i] == 0; ++i) out[i] = resting;
        continue;
      }
      for (const size_t end = std::min(in.size(), i + kBlock); i < end; ++i) out[i] = next(in[i]);
    }
  }

 private:
  static constexpr size_t kBlock = 64;  // samples between looks for a resting state

  int32_t state_ = 0;  // y * 256
  int32_t previous_ = 0;
};

}  // namespace pitchtrack
