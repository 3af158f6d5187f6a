// Recordings that show what the analysis does to a recording: a last note after a long pause,
// quiet and clipped singing, white noise, notes spread over three octaves. 16-bit samples at
// 8000 Hz, the same on every run; the tests and the documentation's pictures share them.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "signals.h"

namespace examples {

inline constexpr int kRate = 8000;

// Hummed notes (semitone numbers, 69 = A4) of `noteSeconds`, `restSeconds` apart, with 0.3 s of
// silence at both ends; the last note comes after `finalGap` seconds instead when it is not 0.
inline std::vector<int16_t> notes(std::initializer_list<double> semitones, double noteSeconds = 0.4,
                                  double restSeconds = 0.2, double finalGap = 0,
                                  double amplitude = 8000) {
  std::vector<int16_t> out(static_cast<size_t>(0.3 * kRate), 0);
  size_t index = 0;
  for (const double semitone : semitones) {
    if (index > 0) {
      const bool last = index + 1 == semitones.size() && finalGap > 0;
      out.insert(out.end(), static_cast<size_t>((last ? finalGap : restSeconds) * kRate), 0);
    }
    ++index;
    const testsignal::Voice voice{
        .frequency = testsignal::semitoneHz(semitone), .rate = kRate, .amplitude = amplitude};
    for (const double v : testsignal::steadyTone(voice, static_cast<size_t>(noteSeconds * kRate))) {
      out.push_back(static_cast<int16_t>(std::clamp(std::lround(v), -32768L, 32767L)));
    }
  }
  out.insert(out.end(), static_cast<size_t>(0.3 * kRate), 0);
  return out;
}

// Every sample times `factor`, rounded and clamped to 16 bits.
inline std::vector<int16_t> scaled(std::vector<int16_t> samples, double factor) {
  for (int16_t& v : samples) {
    v = static_cast<int16_t>(std::clamp(std::lround(v * factor), -32768L, 32767L));
  }
  return samples;
}

// `seconds` of white noise, uniform in -peak..peak (a fixed linear congruential generator).
inline std::vector<int16_t> whiteNoise(double seconds, int32_t peak, uint32_t seed = 1) {
  std::vector<int16_t> out(static_cast<size_t>(seconds * kRate));
  uint32_t state = seed;
  for (int16_t& v : out) {
    state = state * 1664525u + 1013904223u;
    v = static_cast<int16_t>(static_cast<int64_t>(state >> 16) * (2 * peak + 1) / 65536 - peak);
  }
  return out;
}

}  // namespace examples
