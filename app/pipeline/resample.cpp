#include "resample.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "audio/frame.h"
#include "audio/simd.h"

namespace pitchtrack {

int64_t resampledLength(int64_t srcLength, int32_t srcRate, int32_t dstRate) {
  if (srcLength <= 0) return 0;
  const double length = std::floor(static_cast<double>(srcLength - 1) *
                                   static_cast<double>(dstRate) / static_cast<double>(srcRate));
  return static_cast<int64_t>(length) + 1;
}

namespace {

// Inner outputs first .. last - 1 whose two source samples both lie in `block`, which starts at
// source index `base`, written so that the compiler can vectorise the loop. t is never negative,
// so truncation is the floor.
[[gnu::always_inline]] inline void interpolateRunBody(const int16_t* block, size_t base,
                                                      size_t first, size_t last, double srcRate,
                                                      double dstRate, int16_t* dst) {
  for (size_t i = first; i < last; ++i) {
    const double t = static_cast<double>(i) * srcRate / dstRate;
    const auto k = static_cast<int64_t>(t);
    const double f = t - static_cast<double>(k);
    const size_t at = static_cast<size_t>(k) - base;
    dst[i] = interpolateSample(block[at], block[at + 1], f);
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
constexpr bool kHaveAvx2Kernel = true;
#else
void interpolateRunAvx2(const int16_t* block, size_t base, size_t first, size_t last,
                        double srcRate, double dstRate, int16_t* dst) {
  interpolateRunBody(block, base, first, last, srcRate, dstRate, dst);
}
constexpr bool kHaveAvx2Kernel = false;
#endif

}  // namespace

bool resampleKernelAvailable(ResampleKernel kernel) {
  return kernel == ResampleKernel::kPortable ||
         (kHaveAvx2Kernel && simdAvailable(SimdLevel::kAvx2));
}

ResampleKernel defaultResampleKernel() {
  return kHaveAvx2Kernel && simdLevel() >= SimdLevel::kAvx2 ? ResampleKernel::kAvx2
                                                            : ResampleKernel::kPortable;
}

StreamingResampler::StreamingResampler(int32_t srcRate, int32_t dstRate, int64_t expectedLength,
                                       ResampleKernel kernel)
    : srcRate_(srcRate),
      dstRate_(dstRate),
      kernel_(kernel),
      outputLimit_(std::numeric_limits<size_t>::max()) {
  if (expectedLength > 0) {
    const auto length = static_cast<size_t>(resampledLength(expectedLength, srcRate, dstRate));
    buffer_ = SampleBuffer(length);
    outputLimit_ = length - 1;
  }
}

size_t StreamingResampler::leftSourceOf(size_t output) const {
  return static_cast<size_t>(std::floor(static_cast<double>(output) * srcRate_ / dstRate_));
}

void StreamingResampler::reserveOutputs(size_t count) {
  if (count > buffer_.size()) buffer_.resize(std::max(count, buffer_.size() * 2));
}

// Computes every inner output whose two source samples have arrived (the source index of the
// block end is `available`). An output that needs the sample carried from the previous block
// is computed on its own; the run after it goes through the vectorised kernel.
void StreamingResampler::interpolateUpTo(size_t available, std::span<const int16_t> block) {
  auto ready = [&](size_t output) {
    return output < outputLimit_ && leftSourceOf(output) + 1 < available;
  };
  size_t end =
      std::max(next_, static_cast<size_t>(static_cast<double>(available) * dstRate_ / srcRate_));
  while (end > next_ && !ready(end - 1)) --end;
  while (ready(end)) ++end;
  if (end <= next_) return;
  reserveOutputs(end);
  int16_t* dst = buffer_.samples().data();
  // Upsampling can place several outputs between the carried sample and the block's first.
  for (; next_ < end && leftSourceOf(next_) < blockStart_; ++next_) {
    const size_t k = leftSourceOf(next_);
    const double f = static_cast<double>(next_) * srcRate_ / dstRate_ - static_cast<double>(k);
    dst[next_] = interpolateSample(carry_, block[k + 1 - blockStart_], f);
  }
  const auto kernel =
      kernel_ == ResampleKernel::kAvx2 ? interpolateRunAvx2 : interpolateRunPortable;
  kernel(block.data(), blockStart_, next_, end, srcRate_, dstRate_, dst);
  next_ = std::max(next_, end);
}

void StreamingResampler::push(std::span<const int16_t> block) {
  if (block.empty()) return;
  if (blockStart_ == 0) first_ = block.front();
  interpolateUpTo(blockStart_ + block.size(), block);
  blockStart_ += block.size();
  carry_ = block.back();
}

SampleBuffer StreamingResampler::finish() {
  const auto length =
      static_cast<size_t>(resampledLength(static_cast<int64_t>(blockStart_), srcRate_, dstRate_));
  if (length == 0) return {};
  if (length != buffer_.size()) buffer_.resize(length);
  buffer_.samples().front() = first_;
  buffer_.samples().back() = carry_;
  return std::move(buffer_);
}

}  // namespace pitchtrack
