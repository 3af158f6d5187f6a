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

void resampleLinear(std::span<const int32_t> src, int32_t srcRate, int32_t dstRate,
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
    const double v = src[k] * (1 - f) + src[next] * f;
    dst[i] = roundToInt(static_cast<float>(v));
  }
}

namespace {

// Inner outputs first .. last - 1 whose two source samples both lie in `block`, which starts at
// source index `base`: the arithmetic of resampleLinear written so that the compiler can
// vectorise it. t is never negative, so truncation is the floor, and the rounding of a value in
// the 16-bit range equals roundToInt.
[[gnu::always_inline]] inline void interpolateRunBody(const int16_t* block, size_t base,
                                                      size_t first, size_t last, double srcRate,
                                                      double dstRate, int16_t* dst) {
  for (size_t i = first; i < last; ++i) {
    const double t = static_cast<double>(i) * srcRate / dstRate;
    const auto k = static_cast<int32_t>(t);
    const double f = t - static_cast<double>(k);
    const size_t at = static_cast<size_t>(k) - base;
    const double v =
        static_cast<int32_t>(block[at]) * (1 - f) + static_cast<int32_t>(block[at + 1]) * f;
    const auto narrowed = static_cast<double>(static_cast<float>(v));
    const double shifted = narrowed > 0 ? narrowed + 0.5 : narrowed - 0.5;
    dst[i] = static_cast<int16_t>(static_cast<int32_t>(shifted));
  }
}

void interpolateRunPortable(const int16_t* block, size_t base, size_t first, size_t last,
                            double srcRate, double dstRate, int16_t* dst) {
  interpolateRunBody(block, base, first, last, srcRate, dstRate, dst);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
__attribute__((target("avx2"))) void interpolateRunAvx2(const int16_t* block, size_t base,
                                                        size_t first, size_t last, double srcRate,
                                                        double dstRate, int16_t* dst) {
  interpolateRunBody(block, base, first, last, srcRate, dstRate, dst);
}
#define PT_HAVE_AVX2_RESAMPLER 1
#else
#define PT_HAVE_AVX2_RESAMPLER 0
#endif

using RunKernel = void (*)(const int16_t*, size_t, size_t, size_t, double, double, int16_t*);

bool avx2Usable() {
#if PT_HAVE_AVX2_RESAMPLER
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

RunKernel& runKernel() {
#if PT_HAVE_AVX2_RESAMPLER
  static RunKernel kernel = avx2Usable() ? interpolateRunAvx2 : interpolateRunPortable;
#else
  static RunKernel kernel = interpolateRunPortable;
#endif
  return kernel;
}

}  // namespace

namespace resample_kernel {

bool avx2Available() { return avx2Usable(); }

void useAvx2(bool avx2) {
#if PT_HAVE_AVX2_RESAMPLER
  runKernel() = avx2 && avx2Usable() ? interpolateRunAvx2 : interpolateRunPortable;
#else
  (void)avx2;
#endif
}

}  // namespace resample_kernel

StreamingResampler::StreamingResampler(int32_t srcLength, int32_t srcRate, int32_t dstRate)
    : srcLength_(static_cast<size_t>(std::max(srcLength, 0))),
      srcRate_(srcRate),
      dstRate_(dstRate) {
  buffer_ = SampleBuffer(static_cast<size_t>(resampledLength(srcLength, srcRate, dstRate)));
  dst_ = buffer_.samples();
}

int32_t StreamingResampler::at(size_t index, std::span<const int16_t> block) const {
  return index < blockStart_ ? carry_ : block[index - blockStart_];
}

size_t StreamingResampler::leftSourceOf(size_t output) const {
  return static_cast<size_t>(std::floor(static_cast<double>(output) * srcRate_ / dstRate_));
}

// Computes every inner output whose two source samples have arrived (the source index of the
// block end is `available`). Outputs that need the carried sample, or the clamp at the very
// end, take the step-by-step path; the run between them goes through the vectorised kernel.
void StreamingResampler::interpolateUpTo(size_t available, std::span<const int16_t> block) {
  const size_t inner = dst_.size() < 2 ? 0 : dst_.size() - 1;
  if (next_ < inner && leftSourceOf(next_) >= blockStart_) {
    // Positions grow with the output index, so the outputs inside the block form one run.
    auto within = [&](size_t output) { return leftSourceOf(output) + 1 < available; };
    size_t end =
        std::min(inner, static_cast<size_t>(static_cast<double>(available) * dstRate_ / srcRate_));
    end = std::max(end, next_);
    while (end > next_ && !within(end - 1)) --end;
    while (end < inner && within(end)) ++end;
    runKernel()(block.data(), blockStart_, next_, end, srcRate_, dstRate_, dst_.data());
    next_ = end;
  }
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

SampleBuffer StreamingResampler::finish() {
  if (!dst_.empty() && blockStart_ > 0) dst_.back() = carry_;
  dst_ = {};
  return std::move(buffer_);
}
