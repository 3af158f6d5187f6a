#include "precise_periodicity.h"

#include <algorithm>

#include "precise_correlation.h"

namespace pitchtrack {

namespace {

// The cross sums of `count` lags from `first` on: on x86-64 Linux compiled both for AVX2 and for
// the baseline, the loader choosing by processor. The sums are exact integers, so both give the
// same values. ThreadSanitizer's runtime is not ready when the loader picks the clone, so its
// builds keep the baseline.
#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__) && !defined(__SANITIZE_THREAD__)
__attribute__((target_clones("avx2", "default")))
#endif
void crossSums(const int16_t* centre, int32_t first, int32_t count, int32_t width, int32_t* out) {
  for (int32_t i = 0; i < count; ++i) {
    const int32_t lag = first + i;
    const int16_t* a = centre + stretchStart(lag, width);
    out[i] = preciseDot(a, a + lag, width);
  }
}

}  // namespace

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
  prefixSquares(count);
}

void PreciseStretch::prefixSquares(int32_t count) {
  // Four squares at a time: the running sum advances once per four samples, which shortens the
  // chain of dependent additions that bounds this loop.
  int32_t sum = 0;
  squares_[0] = 0;
  int32_t i = 0;
  for (; i + 4 <= count; i += 4) {
    const int16_t* x = samples_.data() + i;
    const int32_t q0 = x[0] * x[0], q1 = x[1] * x[1], q2 = x[2] * x[2], q3 = x[3] * x[3];
    squares_[i + 1] = sum + q0;
    squares_[i + 2] = sum + (q0 + q1);
    squares_[i + 3] = sum + (q0 + q1 + q2);
    sum += (q0 + q1) + (q2 + q3);
    squares_[i + 4] = sum;
  }
  for (; i < count; ++i) {
    sum += int32_t{samples_[i]} * samples_[i];
    squares_[i + 1] = sum;
  }
}

double PreciseStretch::periodicity(int32_t lag, int32_t width) const {
  const int32_t start = stretchStart(lag, width);
  int32_t cross = 0;
  crossSums(samples_.data() + reach_, lag, 1, width, &cross);
  const int64_t total = energy(start, width) + energy(start + lag, width);
  if (total == 0) return 0;
  return 2.0 * static_cast<double>(cross) / static_cast<double>(total);
}

void PreciseStretch::periodicities(int32_t first, int32_t last, int32_t width, double* out) const {
  std::array<int32_t, kMaxBatch> cross;
  std::array<int64_t, kMaxBatch> total;
  const int32_t count = last - first + 1;
  crossSums(samples_.data() + reach_, first, count, width, cross.data());
  for (int32_t i = 0; i < count; ++i) {
    const int32_t lag = first + i, start = stretchStart(lag, width);
    total[i] = energy(start, width) + energy(start + lag, width);
  }
  // The divisions apart, so that they overlap. Where the total is 0 so is the cross sum.
  for (int32_t i = 0; i < count; ++i) {
    out[i] = 2.0 * static_cast<double>(cross[i]) /
             static_cast<double>(total[i] == 0 ? int64_t{1} : total[i]);
  }
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
