#include "volume.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "fault.h"
#include "frame.h"
#include "median.h"

namespace pitchtrack {

namespace {

// Frames of 16-bit samples up to this length cannot wrap a 32-bit sum of absolute deviations or
// differences (each term stays below 2^20), so their sums run in plain int arithmetic, which the
// compiler vectorises; the result equals the wrapping sum.
constexpr size_t kPlainSumMaxLength = 1024;

template <typename Sample>
int32_t absoluteDeviationSum(std::span<const Sample> frame, int32_t centre) {
  if constexpr (sizeof(Sample) == 2) {
    if (frame.size() <= kPlainSumMaxLength) {
      int32_t sum = 0;
      for (const int32_t x : frame) sum += std::abs(x - centre);
      return sum;
    }
  }
  int32_t sum = 0;
  for (const int32_t x : frame) sum = wrapAdd(sum, wrapAbsDiff(x, centre));
  return sum;
}

template <typename Sample>
int32_t squaredDeviationSum(std::span<const Sample> frame) {
  int64_t total = 0;
  for (const int32_t x : frame) total += x;
  const auto mean = static_cast<int32_t>(total / static_cast<int64_t>(frame.size()));
  int32_t sum = 0;
  for (const int32_t x : frame) {
    const int32_t d = wrapSub(x, mean);
    sum = wrapAdd(sum, wrapMul(d, d));
  }
  return sum;
}

// Sum of |d| over the frame, d being the Order-th difference of consecutive samples with the
// coefficients of (x - 1)^Order negated (c0 = -1 on the earliest sample). 32-bit wrapping.
template <int Order, typename Sample>
int32_t differenceSum(std::span<const Sample> frame) {
  static constexpr std::array<std::array<int32_t, 6>, 6> kCoefficients = {{
      {0, 0, 0, 0, 0, 0},
      {-1, 1, 0, 0, 0, 0},
      {-1, 2, -1, 0, 0, 0},
      {-1, 3, -3, 1, 0, 0},
      {-1, 4, -6, 4, -1, 0},
      {-1, 5, -10, 10, -5, 1},
  }};
  constexpr auto c = kCoefficients[Order];
  const auto terms = static_cast<int64_t>(frame.size()) - Order;
  const Sample* x = frame.data();
  if constexpr (sizeof(Sample) == 2) {
    if (frame.size() <= kPlainSumMaxLength) {
      int32_t total = 0;
      for (int64_t p = 0; p < terms; ++p) {
        int32_t d = 0;
        for (int q = 0; q <= Order; ++q) d += c[static_cast<size_t>(q)] * x[p + q];
        total += std::abs(d);
      }
      return total;
    }
  }
  uint32_t total = 0;
  for (int64_t p = 0; p < terms; ++p) {
    uint32_t d = 0;
    for (int q = 0; q <= Order; ++q) {
      d += static_cast<uint32_t>(c[static_cast<size_t>(q)]) * static_cast<uint32_t>(x[p + q]);
    }
    const auto signedD = static_cast<int32_t>(d);
    total += signedD < 0 ? 0u - d : d;
  }
  return static_cast<int32_t>(total);
}

template <typename Sample>
using DifferenceKernel = int32_t (*)(std::span<const Sample>);

template <typename Sample>
DifferenceKernel<Sample> differenceKernel(int32_t order) {
  switch (order) {
    case 1:
      return differenceSum<1, Sample>;
    case 2:
      return differenceSum<2, Sample>;
    case 3:
      return differenceSum<3, Sample>;
    case 4:
      return differenceSum<4, Sample>;
    case 5:
      return differenceSum<5, Sample>;
    default:
      return nullptr;
  }
}

// Frames whose values span fewer than this many integers find their median by counting.
constexpr int64_t kCountingSpan = 1024;
constexpr size_t kCountBlock = 16;

// The t-th and (t+1)-th smallest values by counting occurrences above the frame's minimum.
template <typename Sample>
std::pair<int32_t, int32_t> middlesByCounting(std::span<const Sample> frame, int32_t lowest,
                                              size_t span, size_t t) {
  // Only the first `span` entries are used; the rest of the last block of 16 is zero.
  std::array<uint16_t, kCountingSpan + kCountBlock> counts;
  std::fill_n(counts.begin(), span + kCountBlock, uint16_t{0});
  for (const int32_t v : frame) ++counts[static_cast<size_t>(v - lowest)];
  size_t seen = 0;
  size_t value = 0;
  // Whole blocks of counts that end before the t-th value are skipped in one step.
  for (size_t blockSum = 0;; value += kCountBlock, seen += blockSum) {
    blockSum = 0;
    for (size_t i = 0; i < kCountBlock; ++i) blockSum += counts[value + i];
    if (seen + blockSum > t) break;
  }
  while (seen + counts[value] <= t) seen += counts[value++];
  const auto lower = static_cast<int32_t>(value);
  if (seen + counts[value] <= t + 1) {
    seen += counts[value++];
    while (value < span && counts[value] == 0) ++value;
  }
  return {lowest + lower, lowest + static_cast<int32_t>(value)};
}

template <typename Sample>
int32_t medianOf(std::span<const Sample> frame, std::span<int32_t> scratch) {
  int32_t low = frame[0];
  int32_t high = frame[0];
  for (const int32_t v : frame) {
    low = std::min(low, v);
    high = std::max(high, v);
  }
  const size_t t = (frame.size() - 1) / 2;
  const int64_t span = static_cast<int64_t>(high) - low + 1;
  if (span > kCountingSpan || frame.size() > UINT16_MAX) {
    std::copy(frame.begin(), frame.end(), scratch.begin());
    return frameMedian(scratch.first(frame.size()));
  }
  const auto [lower, upper] = middlesByCounting(frame, low, static_cast<size_t>(span), t);
  if (frame.size() % 2 == 1) return lower;
  return static_cast<int32_t>((static_cast<int64_t>(lower) + upper) / 2);
}

template <typename Sample>
void volumes(std::span<const Sample> signal, int32_t frameSize, int32_t overlap,
             std::span<int32_t> volume, int32_t method) {
  if (method != 1 && method != 2) {
    audio_fault::unknownCode(audio_fault::kUnknownVolumeMethod, method,
                             audio_fault::kLineFrameVolume);
  }
  const int32_t frames = frameCount(static_cast<int32_t>(signal.size()), frameSize, overlap);
  const auto size = static_cast<size_t>(frameSize);
  const auto hop = static_cast<size_t>(frameSize - overlap);
  std::vector<int32_t> scratch(method == 1 && frames > 0 ? size : 0);
  for (size_t i = 0; i < static_cast<size_t>(std::max(frames, 0)); ++i) {
    const auto frame = signal.subspan(i * hop, size);
    volume[i] = method == 1 ? absoluteDeviationSum(frame, medianOf(frame, std::span(scratch)))
                            : squaredDeviationSum(frame);
  }
}

template <typename Sample>
void differences(std::span<const Sample> signal, int32_t frameSize, int32_t overlap,
                 std::span<int32_t> diff, int32_t order) {
  const int32_t frames = frameCount(static_cast<int32_t>(signal.size()), frameSize, overlap);
  if (frames <= 0) return;
  const DifferenceKernel<Sample> kernel = differenceKernel<Sample>(order);
  if (kernel == nullptr) {
    fatalError(audio_fault::kUnsupportedOrder);
  }
  const auto size = static_cast<size_t>(frameSize);
  const auto hop = static_cast<size_t>(frameSize - overlap);
  for (size_t i = 0; i < static_cast<size_t>(frames); ++i) {
    diff[i] = kernel(signal.subspan(i * hop, size));
  }
}

}  // namespace

int32_t frameMedian(std::span<int32_t> values) {
  const auto [lower, upper] = middleValues(values);
  return static_cast<int32_t>((static_cast<int64_t>(lower) + upper) / 2);
}

void frameVolume(std::span<const int16_t> signal, int32_t frameSize, int32_t overlap,
                 std::span<int32_t> volume, int32_t method) {
  volumes(signal, frameSize, overlap, volume, method);
}

void highOrderDiff(std::span<const int16_t> signal, int32_t frameSize, int32_t overlap,
                   std::span<int32_t> diff, int32_t order) {
  differences(signal, frameSize, overlap, diff, order);
}

}  // namespace pitchtrack
