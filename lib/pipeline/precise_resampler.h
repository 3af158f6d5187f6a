// Brings a recording of any rate (1000..768000 Hz) to the precise analysis' working signal:
// 8000 Hz, band-limited to the pitch range (about 1500 Hz), 16-bit, streaming.
//
// Rates of 16000 Hz and more are first decimated by an integer factor (PreciseBoxDecimator);
// the remaining fractional ratio uses a polyphase windowed-sinc filter with Q15 taps and 32-bit
// integer sums, so the result is the same on every build. Output sample m stands for time
// m / 8000 s of the recording.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "precise_box_decimator.h"
#include "precise_grid.h"
#include "precise_lowpass.h"

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

  // How far (seconds) the input must run past a working sample's time before it is produced.
  double lookAheadSeconds() const;

 private:
  void takeStageSample(int16_t sample);
  void emitReady(std::vector<int16_t>& out, int64_t limit);
  int16_t filterAt(int64_t numerator) const;
  int64_t positionNumerator(int64_t m) const;

  int32_t rate_;
  int32_t factor_;  // integer decimation before the fractional stage
  std::optional<PreciseBoxDecimator> box_;
  PreciseLowpass filter_;
  int64_t denominator_;         // positions in stage samples are numerator / denominator_
  int64_t stepNumerator_;       // per working sample
  int64_t offsetNumerator_;     // the box decimator's centring
  std::vector<int16_t> stage_;  // stage samples from index stageBase_ on
  int64_t stageBase_ = 0;
  int64_t stageCount_ = 0;  // stage samples received so far
  int64_t produced_ = 0;    // working samples produced so far
};

}  // namespace pitchtrack
