// The band limit of the working signal: a sixth-order Butterworth lowpass as three second-order
// sections in fixed point (Q14 coefficients, samples carried with 8 fractional bits, 64-bit
// sums), so that every build computes the same samples. A few multiplies per sample where a
// linear-phase filter of the same sharpness would need dozens; its delay is nearly constant in
// the pitch band and is reported so that callers can place the output in time.
#pragma once

#include <array>
#include <cstdint>

namespace pitchtrack {

class PreciseIirLowpass {
 public:
  // A lowpass for samples at `rate` Hz with its -3 dB point at `cutoffHz`.
  PreciseIirLowpass(double rate, double cutoffHz);

  int16_t next(int16_t sample);

  // Delay at low frequencies (group delay at 0 Hz), in samples.
  double delaySamples() const { return delay_; }

 private:
  struct Section {
    int64_t b0, b1, b2, a1, a2;              // Q14
    int64_t x1 = 0, x2 = 0, y1 = 0, y2 = 0;  // Q8 samples
  };
  std::array<Section, 3> sections_{};
  double delay_ = 0;
};

}  // namespace pitchtrack
