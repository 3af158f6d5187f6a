// Short recordings of hummed notes for tests that run the tools on whole files: each note is a
// steady tone with eight falling harmonics, separated by rests, with silence at both ends.
#pragma once

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <numbers>
#include <vector>

namespace testsignal {

// 16-bit samples at `rate` Hz: `edge` seconds of silence, then every frequency (Hz) held for
// `noteSeconds` with `restSeconds` of silence between notes, then `edge` seconds of silence.
inline std::vector<int16_t> hummedNotes(int rate, std::initializer_list<double> frequencies,
                                        double noteSeconds = 0.3, double restSeconds = 0.1,
                                        double edge = 0.2) {
  const auto silence = [&](double seconds, std::vector<int16_t>& out) {
    out.insert(out.end(), static_cast<size_t>(seconds * rate), int16_t{0});
  };
  std::vector<int16_t> samples;
  silence(edge, samples);
  bool first = true;
  for (const double f0 : frequencies) {
    if (!first) silence(restSeconds, samples);
    first = false;
    const int count = static_cast<int>(noteSeconds * rate);
    for (int i = 0; i < count; ++i) {
      double value = 0;
      for (int k = 1; k <= 8 && k * f0 < rate / 2.0; ++k) {
        value += std::sin(2 * std::numbers::pi * k * f0 * i / rate) / k;
      }
      samples.push_back(static_cast<int16_t>(std::lround(5000 * value)));
    }
  }
  silence(edge, samples);
  return samples;
}

// The frequency of a semitone number: 69 is 440 Hz.
inline double semitoneHz(double semitone) { return 440.0 * std::pow(2.0, (semitone - 69) / 12); }

}  // namespace testsignal
