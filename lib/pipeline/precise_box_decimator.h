// Integer decimation by D with three cascaded moving sums of D samples (a third-order
// cascaded integrator-comb filter): a cheap first step from a high recording rate down to
// 8000..16000 Hz before the fractional resampler. Its nulls lie on every multiple of the new
// rate, where the bands that would fold onto the pitch range sit.
//
// Output sample i averages the input up to sample i * D + D - 1 and is centred on input time
// i * D - (D - 1) / 2. The arithmetic is modular in 64 bits, exact for any D the rates need.
#pragma once

#include <cstdint>

namespace pitchtrack {

class PreciseBoxDecimator {
 public:
  explicit PreciseBoxDecimator(int32_t factor);

  // Takes one input sample; returns true when an output sample is ready in `out`.
  bool push(int16_t sample, int16_t& out) {
    integrator1_ += static_cast<uint64_t>(static_cast<int64_t>(sample));
    integrator2_ += integrator1_;
    integrator3_ += integrator2_;
    if (++count_ < factor_) return false;
    count_ = 0;
    out = comb();
    return true;
  }

 private:
  int16_t comb();

  int32_t factor_;
  int32_t count_ = 0;
  uint64_t integrator1_ = 0, integrator2_ = 0, integrator3_ = 0;
  uint64_t delay1_ = 0, delay2_ = 0, delay3_ = 0;
  int64_t gain_;
};

}  // namespace pitchtrack
