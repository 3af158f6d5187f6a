#include "resample.h"

#include <algorithm>
#include <cmath>

#include "audio/frame.h"

int32_t resampledLength(int32_t srcLength, int32_t srcRate, int32_t dstRate) {
  if (srcLength <= 0) return 0;
  const double length = std::floor(static_cast<double>(srcLength - 1) *
                                   static_cast<double>(dstRate) / static_cast<double>(srcRate));
  return truncToInt(length) + 1;
}

namespace {

template <typename Sample>
void interpolate(std::span<const Sample> src, int32_t srcRate, int32_t dstRate,
                 std::span<int32_t> dst) {
  if (src.empty() || dst.empty()) return;
  dst.front() = src.front();
  dst.back() = src.back();
  const size_t lastSource = src.size() - 1;
  for (size_t i = 1; i + 1 < dst.size(); ++i) {
    const double t = static_cast<double>(i) * srcRate / dstRate;
    const double whole = std::floor(t);
    const double f = t - whole;
    // With the target length of resampledLength, k + 1 never passes the last input sample; the
    // clamp only guards callers that choose a longer target.
    const size_t k = std::min(static_cast<size_t>(whole), lastSource);
    const size_t next = std::min(k + 1, lastSource);
    const double v = static_cast<int32_t>(src[k]) * (1 - f) + static_cast<int32_t>(src[next]) * f;
    dst[i] = roundToInt(static_cast<float>(v));
  }
}

}  // namespace

void resampleLinear(std::span<const int32_t> src, int32_t srcRate, int32_t dstRate,
                    std::span<int32_t> dst) {
  interpolate(src, srcRate, dstRate, dst);
}

void resampleLinear(std::span<const int16_t> src, int32_t srcRate, int32_t dstRate,
                    std::span<int32_t> dst) {
  interpolate(src, srcRate, dstRate, dst);
}

StreamingResampler::StreamingResampler(int32_t srcLength, int32_t srcRate, int32_t dstRate)
    : srcLength_(static_cast<size_t>(std::max(srcLength, 0))),
      srcRate_(srcRate),
      dstRate_(dstRate) {
  dst_.resize(static_cast<size_t>(resampledLength(srcLength, srcRate, dstRate)));
}

int32_t StreamingResampler::at(size_t index, std::span<const int16_t> block) const {
  return index < blockStart_ ? carry_ : block[index - blockStart_];
}

// Computes every inner output whose two source samples have arrived (the source index of the
// block end is `available`).
void StreamingResampler::interpolateUpTo(size_t available, std::span<const int16_t> block) {
  const size_t lastSource = srcLength_ - 1;
  for (; next_ + 1 < dst_.size(); ++next_) {
    const double t = static_cast<double>(next_) * srcRate_ / dstRate_;
    const double whole = std::floor(t);
    const double f = t - whole;
    const size_t k = std::min(static_cast<size_t>(whole), lastSource);
    const size_t following = std::min(k + 1, lastSource);
    if (following >= available) return;
    const double v = at(k, block) * (1 - f) + at(following, block) * f;
    dst_[next_] = static_cast<int16_t>(roundToInt(static_cast<float>(v)));
  }
}

void StreamingResampler::push(std::span<const int16_t> block) {
  if (block.empty() || dst_.empty()) return;
  if (blockStart_ == 0) dst_.front() = block.front();
  interpolateUpTo(blockStart_ + block.size(), block);
  blockStart_ += block.size();
  carry_ = block.back();
}

std::vector<int16_t> StreamingResampler::finish() {
  if (!dst_.empty() && blockStart_ > 0) dst_.back() = carry_;
  return std::move(dst_);
}
