#include "precise_periodicity.h"

#include <algorithm>

#include "precise_correlation.h"

namespace pitchtrack {

int32_t precisePeakShift(const int16_t* centre, int32_t reach) {
  int16_t highest = 0, lowest = 0;
  for (int32_t i = -reach; i <= reach; ++i) {
    highest = std::max(highest, centre[i]);
    lowest = std::min(lowest, centre[i]);
  }
  const int32_t peak = std::max(int32_t{highest}, -int32_t{lowest});
  int32_t shift = 0;
  while ((peak >> shift) > kMaxDotMagnitude) ++shift;
  return shift;
}

void PreciseStretch::load(const int16_t* centre, int32_t reach, int32_t step, int32_t shift) {
  reach_ = reach;
  shift_ = shift;
  const int32_t count = 2 * reach + 1;
  for (int32_t i = 0; i < count; ++i) {
    samples_[i] = static_cast<int16_t>(centre[(i - reach) * step] >> shift);  // toward -infinity
  }
  int32_t sum = 0;
  squares_[0] = 0;
  for (int32_t i = 0; i < count; ++i) {
    sum += int32_t{samples_[i]} * samples_[i];
    squares_[i + 1] = sum;
  }
}

double PreciseStretch::periodicity(int32_t lag, int32_t width) const {
  const int32_t start = stretchStart(lag, width);
  const int16_t* a = samples_.data() + reach_ + start;
  const int32_t cross = preciseDot(a, a + lag, width);
  const int64_t total = energy(start, width) + energy(start + lag, width);
  if (total == 0) return 0;
  return 2.0 * static_cast<double>(cross) / static_cast<double>(total);
}

double PreciseStretch::meanSquare(int32_t width) const {
  const double scale = static_cast<double>(int64_t{1} << (2 * shift_));
  return static_cast<double>(energy(-width / 2, width)) * scale / width;
}

PrecisePeak interpolatePeak(int32_t lag, double before, double at, double after) {
  const double curvature = before - 2 * at + after;
  if (curvature >= 0) return {static_cast<double>(lag), at};
  double offset = 0.5 * (before - after) / curvature;
  if (offset > 0.5) offset = 0.5;
  if (offset < -0.5) offset = -0.5;
  return {lag + offset, at - 0.25 * (before - after) * offset};
}

}  // namespace pitchtrack
