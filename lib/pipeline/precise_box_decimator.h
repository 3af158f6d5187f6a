// Integer decimation by D with three cascaded moving sums of D samples (a third-order
// cascaded integrator-comb filter): a cheap first step from a high recording rate down to
// 8000..16000 Hz before the fractional resampler. Its nulls lie on every multiple of the new
// rate, where the bands that would fold onto the pitch range sit.
//
// Output sample i averages the input up to sample i * D + D - 1 and is centred on input time
// i * D - (D - 1) / 2. The arithmetic is modular in 64 bits, exact for any D the rates need.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace pitchtrack {

class PreciseBoxDecimator {
 public:
  explicit PreciseBoxDecimator(int32_t factor);

  // Takes input samples; appends the output samples they complete to `out`.
  void push(std::span<const int16_t> samples, std::vector<int16_t>& out);

 private:
  struct State {
    int32_t count = 0;
    uint64_t integrator1 = 0, integrator2 = 0, integrator3 = 0;
    uint64_t delay1 = 0, delay2 = 0, delay3 = 0;
  };

  int16_t comb(State& state) const;

  int32_t factor_;
  State state_;
  int64_t gain_;
  double inverse_;  // 1 / (2 gain_)
};

}  // namespace pitchtrack
