// Deterministic test signals: harmonic-rich tones, pulse trains and silence at a given sample
// rate and amplitude, built sample by sample so every run sees the same values.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <numbers>
#include <span>
#include <vector>

namespace testsignal {

// A tone at `frequency` Hz made of its first harmonics below the Nyquist frequency (at most
// eight), harmonic k weighted 1/k, so that its autocorrelation has a clear peak at the period.
// The peak magnitude never exceeds `amplitude`.
inline std::vector<int32_t> harmonicTone(int32_t rate, double frequency, int32_t amplitude,
                                         size_t count) {
  int harmonics = 0;
  double weightSum = 0;
  while (harmonics < 8 && (harmonics + 1) * frequency < rate / 2.0) {
    ++harmonics;
    weightSum += 1.0 / harmonics;
  }
  std::vector<int32_t> out(count);
  for (size_t n = 0; n < count; ++n) {
    double value = 0;
    for (int k = 1; k <= harmonics; ++k) {
      value += std::sin(2 * std::numbers::pi * k * frequency * static_cast<double>(n) / rate) / k;
    }
    out[n] = static_cast<int32_t>(std::lround(amplitude * value / weightSum));
  }
  return out;
}

// `amplitude` at every multiple of `period` samples, 0 elsewhere.
inline std::vector<int32_t> pulseTrain(int32_t period, int32_t amplitude, size_t count) {
  std::vector<int32_t> out(count, 0);
  for (size_t n = 0; n < count; n += static_cast<size_t>(period)) out[n] = amplitude;
  return out;
}

// `count` samples that all hold `level`.
inline std::vector<int32_t> silence(size_t count, int32_t level = 0) {
  return std::vector<int32_t>(count, level);
}

// The concatenation of the given pieces, in order.
inline std::vector<int32_t> concat(std::initializer_list<std::span<const int32_t>> pieces) {
  std::vector<int32_t> out;
  for (const auto piece : pieces) out.insert(out.end(), piece.begin(), piece.end());
  return out;
}

// The same values as 16-bit samples (callers keep them inside the 16-bit range).
inline std::vector<int16_t> toInt16(std::span<const int32_t> values) {
  std::vector<int16_t> out;
  out.reserve(values.size());
  for (const int32_t v : values) out.push_back(static_cast<int16_t>(v));
  return out;
}

}  // namespace testsignal
