#include "precise_iir_lowpass.h"

#include <algorithm>

#include "precise_math.h"

namespace pitchtrack {

namespace {

constexpr double kCoefficientScale = 16384;  // Q14
constexpr int32_t kCoefficientShift = 14;
constexpr int32_t kSampleShift = 8;
// Quality factors of the three sections of a sixth-order Butterworth filter: 1 / (2 sin(k pi / 12))
// for k = 1, 3, 5.
constexpr double kQualities[3] = {1.9318516525781366, 0.7071067811865476, 0.5176380902050415};

int64_t quantise(double c) {
  const double scaled = c * kCoefficientScale;
  return static_cast<int64_t>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
}

// Group delay at 0 Hz of sum(c[k] z^-k): sum(k c[k]) / sum(c[k]).
double delayOf(double c0, double c1, double c2) { return (c1 + 2 * c2) / (c0 + c1 + c2); }

}  // namespace

PreciseIirLowpass::PreciseIirLowpass(double rate, double cutoffHz) {
  // Bilinear transform of the analogue prototype (the cookbook lowpass).
  const double w = 2 * kPi * cutoffHz / rate;
  const double cosW = preciseCos(w), sinW = preciseSin(w);
  double gain = 1;
  for (size_t s = 0; s < sections_.size(); ++s) {
    const double alpha = sinW / (2 * kQualities[s]);
    const double a0 = 1 + alpha;
    gain *= (1 - cosW) / (2 * a0);
    Section& section = sections_[s];
    section.a1 = quantise(-2 * cosW / a0), section.a2 = quantise((1 - alpha) / a0);
    const auto q = [](int64_t c) { return static_cast<double>(c) / kCoefficientScale; };
    delay_ += delayOf(1, 2, 1) - delayOf(1, q(section.a1), q(section.a2));
  }
  gain_ = quantise(gain);
}

namespace {

constexpr int64_t kHalf = int64_t{1} << (kCoefficientShift - 1);

}  // namespace

namespace {

// One section's step, y = x + 2 x[-1] + x[-2] - a1 y[-1] - a2 y[-2] with coefficients in Q14, in
// transposed form: two partial sums (scaled by 2^14) carry the past, and only y is rounded.
struct SectionStep {
  int64_t a1, a2, s1, s2;

  int64_t next(int64_t x) {
    const int64_t scaled = x * (int64_t{1} << kCoefficientShift);
    const int64_t y = (scaled + s1 + kHalf) >> kCoefficientShift;
    s1 = 2 * scaled - a1 * y + s2;
    s2 = scaled - a2 * y;
    return y;
  }
};

}  // namespace

void PreciseIirLowpass::filter(std::span<int16_t> samples) {
  // The state in plain locals, so that it stays in registers through the loop.
  const auto load = [](const Section& s) { return SectionStep{s.a1, s.a2, s.s1, s.s2}; };
  SectionStep first = load(sections_[0]), second = load(sections_[1]), third = load(sections_[2]);
  const int64_t gain = gain_;
  for (int16_t& sample : samples) {
    const int64_t y = third.next(second.next(first.next(int64_t{sample} * (1 << kSampleShift))));
    const int64_t scaled = (y * gain + kHalf) >> kCoefficientShift;
    const int64_t out = (scaled + (1 << (kSampleShift - 1))) >> kSampleShift;
    sample = static_cast<int16_t>(std::clamp<int64_t>(out, -32767, 32767));
  }
  const auto store = [](const SectionStep& s, Section& to) { to.s1 = s.s1, to.s2 = s.s2; };
  store(first, sections_[0]), store(second, sections_[1]), store(third, sections_[2]);
}

}  // namespace pitchtrack
