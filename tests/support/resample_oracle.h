// The straightforward whole-array resampler: the reference the streaming resampler is checked
// against.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include "audio/frame.h"
#include "pipeline/resample.h"

namespace testsignal {

// Fills dst (its size is the target length) from src: dst[0] = src[0], the last output is the
// last input, every inner output i the value at t = i * srcRate / dstRate interpolated between
// src[floor(t)] and src[floor(t) + 1] (clamped to the last sample), rounded half away from zero
// through single precision.
inline void resampleLinear(std::span<const int32_t> src, int32_t srcRate, int32_t dstRate,
                           std::span<int32_t> dst) {
  if (src.empty() || dst.empty()) return;
  dst.front() = src.front();
  dst.back() = src.back();
  const size_t lastSource = src.size() - 1;
  for (size_t i = 1; i + 1 < dst.size(); ++i) {
    const double t = static_cast<double>(i) * srcRate / dstRate;
    const double whole = std::floor(t);
    const double f = t - whole;
    const size_t k = std::min(static_cast<size_t>(whole), lastSource);
    const size_t next = std::min(k + 1, lastSource);
    const double v = src[k] * (1 - f) + src[next] * f;
    dst[i] = pitchtrack::roundToInt(static_cast<float>(v));
  }
}

// The resampled signal of `src`, resampledLength values.
inline std::vector<int32_t> resampled(std::span<const int32_t> src, int32_t srcRate,
                                      int32_t dstRate) {
  std::vector<int32_t> dst(static_cast<size_t>(
      pitchtrack::resampledLength(static_cast<int64_t>(src.size()), srcRate, dstRate)));
  resampleLinear(src, srcRate, dstRate, dst);
  return dst;
}

}  // namespace testsignal
