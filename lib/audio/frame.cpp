#include "frame.h"

#include <cmath>
#include <limits>

namespace pitchtrack {

int32_t roundToInt(float x) {
  const double shifted = x > 0 ? static_cast<double>(x) + 0.5 : static_cast<double>(x) - 0.5;
  // The hardware conversion gives INT64_MIN for NaN, infinities and |x| >= 2^63; its low 32
  // bits are 0. Reproduce that without relying on undefined behaviour.
  constexpr double kTwoTo63 = 9223372036854775808.0;
  if (!(std::fabs(shifted) < kTwoTo63)) return 0;
  const auto wide = static_cast<int64_t>(shifted);
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(wide)));
}

int32_t truncToInt(double x) {
  if (std::isnan(x)) return 0;
  if (x >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (x <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(x);
}

int32_t frameCount(int32_t length, int32_t frameSize, int32_t overlap) {
  return (length - overlap) / (frameSize - overlap);
}

int32_t frame2sample(int32_t frame, int32_t frameSize, int32_t overlap) {
  return frame * (frameSize - overlap) + frameSize / 2 - 1;
}

int32_t sample2frame(int32_t sample, int32_t frameSize, int32_t overlap) {
  const int32_t hop = frameSize - overlap;
  const double q = (static_cast<double>(sample + 1) - frameSize * 0.5) / hop;
  const int32_t frame = roundToInt(static_cast<float>(q));
  return frame < 0 ? 0 : frame;
}

double semitoneOfFrequency(double frequency) {
  return 69 + kSemitonesPerNaturalLog * std::log(frequency * kInverseA4Hz);
}

double freq2semitone(float frequency) {
  if (!(frequency > 0)) return 0;
  return semitoneOfFrequency(frequency);
}

double semitoneToHz(double semitone) {
  return 440 * std::pow(2.0, (semitone - 69) * kInverseSemitonesPerOctave);
}

double semitone2freq(float semitone) {
  if (!(semitone > 0)) return 0;
  return semitoneToHz(semitone);
}

int32_t dotProduct(const int32_t* a, const int32_t* b, int32_t n) {
  uint32_t sum = 0;
  for (int32_t i = 0; i < n; ++i) {
    sum += static_cast<uint32_t>(a[i]) * static_cast<uint32_t>(b[i]);
  }
  return static_cast<int32_t>(sum);
}

}  // namespace pitchtrack
