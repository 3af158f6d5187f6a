// The band limit of the working signal: a sixth-order Butterworth lowpass as three second-order
// sections in fixed point (Q14 coefficients, samples carried with 8 fractional bits, 64-bit
// sums), so that every build computes the same samples. Each section keeps its zeros at the
// Nyquist frequency, x + 2 x[-1] + x[-2], and the three sections' gains are applied once at the
// end: two multiplies per section. A few multiplies per sample where a
// linear-phase filter of the same sharpness would need dozens; its delay is nearly constant in
// the pitch band and is reported so that callers can place the output in time.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace pitchtrack {

class PreciseIirLowpass {
 public:
  // A lowpass for samples at `rate` Hz with its -3 dB point at `cutoffHz`.
  PreciseIirLowpass(double rate, double cutoffHz);

  // Filters the samples in place, continuing from the samples filtered before.
  void filter(std::span<int16_t> samples);

  // Delay at low frequencies (group delay at 0 Hz), in samples.
  double delaySamples() const { return delay_; }

 private:
  struct Section {
    int64_t a1 = 0, a2 = 0;  // Q14
    int64_t s1 = 0, s2 = 0;  // partial sums, Q8 samples scaled by 2^14
  };
  std::array<Section, 3> sections_{};
  int64_t gain_ = 0;  // Q14, the product of the sections' gains
  double delay_ = 0;
};

}  // namespace pitchtrack
