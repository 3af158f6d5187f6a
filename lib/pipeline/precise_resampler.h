// Brings a recording of any rate (1000..768000 Hz) to the precise analysis' working signal:
// 8000 Hz, band-limited to the pitch range (kPreciseBandHz), 16-bit, streaming.
//
//   input --[box decimation by D, rates >= 16000 Hz]--> stage rate R / D (8000..16000 Hz, or the
//   input rate below 16000 Hz) --[integer Butterworth lowpass]--> cubic interpolation at 8000 Hz
//
// Every step is integer arithmetic, so the result is the same on every build. Output sample m
// stands for time m / 8000 s of the recording: the positions are exact fractions of stage
// samples that include the box filter's centre and the lowpass' delay.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "precise_box_decimator.h"
#include "precise_grid.h"
#include "precise_iir_lowpass.h"

namespace pitchtrack {

// Upper edge of the working signal's band: above the highest pitch tracked, below the working
// rate's Nyquist frequency by a transition band.
inline constexpr double kPreciseBandHz = 1500;

class PreciseResampler {
 public:
  explicit PreciseResampler(int32_t sampleRate);

  // Appends to `out` every working sample that the input so far determines.
  void push(std::span<const int16_t> samples, std::vector<int16_t>& out);
  // Appends the working samples up to the end of the input (`inputCount` samples in all), as if
  // silence followed it.
  void finish(int64_t inputCount, std::vector<int16_t>& out);

 private:
  static constexpr int32_t kMaxPhases = 1024;
  using CubicTaps = std::array<int32_t, 4>;

  void takeStageSamples(std::span<const int16_t> samples);
  void emitReady(std::vector<int16_t>& out, int64_t limit);
  int64_t interpolable() const;  // outputs the stage samples so far allow
  void interpolateRun(std::vector<int16_t>& out, int64_t count);
  int16_t interpolateAt(int64_t whole, int64_t remainder) const;
  void advance();  // to the next working sample's position

  int32_t rate_;
  int32_t factor_;  // integer decimation before the lowpass
  std::optional<PreciseBoxDecimator> box_;
  PreciseIirLowpass lowpass_;
  int64_t denominator_;      // positions in stage samples are numerator / denominator_
  int64_t stepNumerator_;    // per working sample
  int64_t offsetNumerator_;  // the box filter's centre and the lowpass' delay
  int32_t phases_;
  int64_t phaseScale_;
  int64_t stepWhole_, stepRemainder_;  // the step as stage samples and a remainder
  int64_t nextWhole_, nextRemainder_;  // position of the next working sample
  std::vector<CubicTaps> cubic_;       // Q15 taps per fractional position
  std::vector<int16_t> stage_;         // stage samples from index stageBase_ on
  int64_t stageBase_ = 0;
  int64_t stageCount_ = 0;  // stage samples received so far
  int64_t produced_ = 0;    // working samples produced so far
};

}  // namespace pitchtrack
