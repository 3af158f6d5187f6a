#include "volume.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "fault.h"
#include "frame.h"
#include "median.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define PT_HAVE_X86_KERNELS 1
#include <immintrin.h>
#else
#define PT_HAVE_X86_KERNELS 0
#endif

// The frame loops below are written once and compiled for each vector level: every helper is
// inlined into the level's entry point, which carries that level's target attribute, so the
// compiler vectorises the same integer arithmetic with that level's instructions. Integer sums,
// minima and counts do not depend on the order of their terms, so every level gives the same
// values.
#define PT_FRAME_LOOP [[gnu::always_inline]] inline

namespace pitchtrack {

namespace {

// Frames of 16-bit samples up to this length cannot wrap a 32-bit sum of absolute deviations or
// differences (each term stays below 2^20), so their sums run in plain int arithmetic, which the
// compiler vectorises; the result equals the wrapping sum.
constexpr size_t kPlainSumMaxLength = 1024;

template <typename Sample>
PT_FRAME_LOOP int32_t absoluteDeviationSum(std::span<const Sample> frame, int32_t centre) {
  if constexpr (sizeof(Sample) <= 2) {
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
PT_FRAME_LOOP int32_t squaredDeviationSum(std::span<const Sample> frame) {
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
PT_FRAME_LOOP int32_t differenceSum(std::span<const Sample> frame) {
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
  if constexpr (sizeof(Sample) <= 2) {
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

// Frames whose values span fewer than this many integers find their median by counting.
constexpr int64_t kCountingSpan = 1024;
constexpr size_t kCountBlock = 16;

// The t-th and (t+1)-th smallest values by counting occurrences above the frame's minimum.
template <typename Sample>
PT_FRAME_LOOP std::pair<int32_t, int32_t> middlesByCounting(std::span<const Sample> frame,
                                                            int32_t lowest, size_t span, size_t t) {
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

#if PT_HAVE_X86_KERNELS
// How many of the n samples at x are at most `limit`.
__attribute__((target("avx512bw,popcnt"))) int32_t countAtMostAvx512(const int16_t* x, size_t n,
                                                                     int16_t limit) {
  const __m512i bound = _mm512_set1_epi16(limit);
  int32_t count = 0;
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    const __m512i v = _mm512_loadu_si512(x + i);
    count += __builtin_popcount(_mm512_cmple_epi16_mask(v, bound));
  }
  if (i < n) {
    const auto tail = static_cast<__mmask32>((uint64_t{1} << (n - i)) - 1);
    const __m512i v = _mm512_maskz_loadu_epi16(tail, x + i);
    count += __builtin_popcount(_mm512_mask_cmple_epi16_mask(tail, v, bound));
  }
  return count;
}

__attribute__((target("avx2,popcnt"))) int32_t countAtMostAvx2(const int16_t* x, size_t n,
                                                               int16_t limit) {
  const __m256i bound = _mm256_set1_epi16(limit);
  int32_t count = 0;
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x + i));
    // Two mask bits per sample above the limit.
    const auto above = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpgt_epi16(v, bound)));
    count += 16 - __builtin_popcount(above) / 2;
  }
  for (; i < n; ++i) count += x[i] <= limit ? 1 : 0;
  return count;
}

__attribute__((target("avx512bw,popcnt"))) int32_t countAtMostAvx512(const int8_t* x, size_t n,
                                                                     int8_t limit) {
  const __m512i bound = _mm512_set1_epi8(limit);
  int32_t count = 0;
  size_t i = 0;
  for (; i + 64 <= n; i += 64) {
    const __m512i v = _mm512_loadu_si512(x + i);
    count += __builtin_popcountll(_mm512_cmple_epi8_mask(v, bound));
  }
  if (i < n) {
    const auto tail = static_cast<__mmask64>((uint64_t{1} << (n - i)) - 1);
    const __m512i v = _mm512_maskz_loadu_epi8(tail, x + i);
    count += __builtin_popcountll(_mm512_mask_cmple_epi8_mask(tail, v, bound));
  }
  return count;
}

__attribute__((target("avx2,popcnt"))) int32_t countAtMostAvx2(const int8_t* x, size_t n,
                                                               int8_t limit) {
  const __m256i bound = _mm256_set1_epi8(limit);
  int32_t count = 0;
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x + i));
    const auto above = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpgt_epi8(v, bound)));
    count += 32 - __builtin_popcount(above);
  }
  for (; i < n; ++i) count += x[i] <= limit ? 1 : 0;
  return count;
}

__attribute__((target("avx512bw,popcnt"))) int32_t countAtMostAvx512(const uint8_t* x, size_t n,
                                                                     uint8_t limit) {
  const __m512i bound = _mm512_set1_epi8(static_cast<char>(limit));
  int32_t count = 0;
  size_t i = 0;
  for (; i + 64 <= n; i += 64) {
    const __m512i v = _mm512_loadu_si512(x + i);
    count += __builtin_popcountll(_mm512_cmple_epu8_mask(v, bound));
  }
  if (i < n) {
    const auto tail = static_cast<__mmask64>((uint64_t{1} << (n - i)) - 1);
    const __m512i v = _mm512_maskz_loadu_epi8(tail, x + i);
    count += __builtin_popcountll(_mm512_mask_cmple_epu8_mask(tail, v, bound));
  }
  return count;
}

// x <= limit exactly where max(x, limit) is the limit (AVX2 has no unsigned byte compare).
__attribute__((target("avx2,popcnt"))) int32_t countAtMostAvx2(const uint8_t* x, size_t n,
                                                               uint8_t limit) {
  const __m256i bound = _mm256_set1_epi8(static_cast<char>(limit));
  int32_t count = 0;
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x + i));
    const __m256i atMost = _mm256_cmpeq_epi8(_mm256_max_epu8(v, bound), bound);
    count += __builtin_popcount(static_cast<uint32_t>(_mm256_movemask_epi8(atMost)));
  }
  for (; i < n; ++i) count += x[i] <= limit ? 1 : 0;
  return count;
}
#endif

template <SimdLevel Level, typename Sample>
PT_FRAME_LOOP int32_t countAtMost(std::span<const Sample> frame, int32_t limit) {
#if PT_HAVE_X86_KERNELS
  const auto bound = static_cast<Sample>(limit);
  if constexpr (Level == SimdLevel::kAvx512) {
    return countAtMostAvx512(frame.data(), frame.size(), bound);
  } else {
    return countAtMostAvx2(frame.data(), frame.size(), bound);
  }
#else
  (void)frame;
  (void)limit;
  return 0;
#endif
}

// The t-th and (t+1)-th smallest values of a frame whose values lie in [lowest, highest], by
// bisection on the value: the t-th smallest is the least v with more than t samples <= v. Each
// step counts with vector compares, about ten steps for a frame of 8-bit range.
template <SimdLevel Level, typename Sample>
PT_FRAME_LOOP std::pair<int32_t, int32_t> middlesByRank(std::span<const Sample> frame,
                                                        int32_t lowest, int32_t highest, size_t t) {
  const auto rankAbove = [&](int32_t v, size_t rank) {
    return static_cast<size_t>(countAtMost<Level>(frame, v)) > rank;
  };
  int32_t low = lowest;
  int32_t high = highest;  // rankAbove(high, t) holds: every sample is <= highest
  while (low < high) {
    const int32_t mid = low + (high - low) / 2;
    if (rankAbove(mid, t)) {
      high = mid;
    } else {
      low = mid + 1;
    }
  }
  const int32_t lower = low;
  if (rankAbove(lower, t + 1)) return {lower, lower};
  int32_t upper = highest;  // the least sample above `lower`
  for (const int32_t v : frame) upper = std::min(upper, v > lower ? v : highest);
  return {lower, upper};
}

template <SimdLevel Level, typename Sample>
PT_FRAME_LOOP std::pair<int32_t, int32_t> narrowMiddles(std::span<const Sample> frame,
                                                        int32_t lowest, int32_t highest, size_t t) {
  if constexpr (Level != SimdLevel::kPortable && sizeof(Sample) <= 2) {
    return middlesByRank<Level>(frame, lowest, highest, t);
  }
  return middlesByCounting(frame, lowest, static_cast<size_t>(highest - lowest + 1), t);
}

template <SimdLevel Level, typename Sample>
PT_FRAME_LOOP int32_t medianOf(std::span<const Sample> frame, std::span<int32_t> scratch) {
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
  const auto [lower, upper] = narrowMiddles<Level>(frame, low, high, t);
  if (frame.size() % 2 == 1) return lower;
  return static_cast<int32_t>((static_cast<int64_t>(lower) + upper) / 2);
}

template <SimdLevel Level, typename Sample>
PT_FRAME_LOOP void volumes(std::span<const Sample> signal, int32_t frameSize, int32_t overlap,
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
    volume[i] = method == 1
                    ? absoluteDeviationSum(frame, medianOf<Level>(frame, std::span(scratch)))
                    : squaredDeviationSum(frame);
  }
}

template <int Order, typename Sample>
PT_FRAME_LOOP void differenceFrames(std::span<const Sample> signal, size_t frames, size_t size,
                                    size_t hop, std::span<int32_t> diff) {
  for (size_t i = 0; i < frames; ++i) diff[i] = differenceSum<Order>(signal.subspan(i * hop, size));
}

template <typename Sample>
PT_FRAME_LOOP void differences(std::span<const Sample> signal, int32_t frameSize, int32_t overlap,
                               std::span<int32_t> diff, int32_t order) {
  const int32_t frameTotal = frameCount(static_cast<int32_t>(signal.size()), frameSize, overlap);
  if (frameTotal <= 0) return;
  const auto frames = static_cast<size_t>(frameTotal);
  const auto size = static_cast<size_t>(frameSize);
  const auto hop = static_cast<size_t>(frameSize - overlap);
  switch (order) {
    case 1:
      return differenceFrames<1>(signal, frames, size, hop, diff);
    case 2:
      return differenceFrames<2>(signal, frames, size, hop, diff);
    case 3:
      return differenceFrames<3>(signal, frames, size, hop, diff);
    case 4:
      return differenceFrames<4>(signal, frames, size, hop, diff);
    case 5:
      return differenceFrames<5>(signal, frames, size, hop, diff);
    default:
      fatalError(audio_fault::kUnsupportedOrder);
  }
}

template <typename Sample>
void volumesPortable(std::span<const Sample> signal, int32_t size, int32_t overlap,
                     std::span<int32_t> volume, int32_t method) {
  volumes<SimdLevel::kPortable>(signal, size, overlap, volume, method);
}

template <typename Sample>
void differencesPortable(std::span<const Sample> signal, int32_t size, int32_t overlap,
                         std::span<int32_t> diff, int32_t order) {
  differences(signal, size, overlap, diff, order);
}

#if PT_HAVE_X86_KERNELS
template <typename Sample>
__attribute__((target("avx2,popcnt"))) void volumesAvx2(std::span<const Sample> signal,
                                                        int32_t size, int32_t overlap,
                                                        std::span<int32_t> volume, int32_t method) {
  volumes<SimdLevel::kAvx2>(signal, size, overlap, volume, method);
}

template <typename Sample>
__attribute__((target("avx2"))) void differencesAvx2(std::span<const Sample> signal, int32_t size,
                                                     int32_t overlap, std::span<int32_t> diff,
                                                     int32_t order) {
  differences(signal, size, overlap, diff, order);
}

template <typename Sample>
__attribute__((target("avx512bw,popcnt"))) void volumesAvx512(std::span<const Sample> signal,
                                                              int32_t size, int32_t overlap,
                                                              std::span<int32_t> volume,
                                                              int32_t method) {
  volumes<SimdLevel::kAvx512>(signal, size, overlap, volume, method);
}

template <typename Sample>
__attribute__((target("avx512bw"))) void differencesAvx512(std::span<const Sample> signal,
                                                           int32_t size, int32_t overlap,
                                                           std::span<int32_t> diff, int32_t order) {
  differences(signal, size, overlap, diff, order);
}
#endif

template <typename Sample>
void volumesAtLevel(std::span<const Sample> signal, int32_t frameSize, int32_t overlap,
                    std::span<int32_t> volume, int32_t method, SimdLevel level) {
#if PT_HAVE_X86_KERNELS
  if (level == SimdLevel::kAvx512) return volumesAvx512(signal, frameSize, overlap, volume, method);
  if (level == SimdLevel::kAvx2) return volumesAvx2(signal, frameSize, overlap, volume, method);
#else
  (void)level;
#endif
  volumesPortable(signal, frameSize, overlap, volume, method);
}

template <typename Sample>
void differencesAtLevel(std::span<const Sample> signal, int32_t frameSize, int32_t overlap,
                        std::span<int32_t> diff, int32_t order, SimdLevel level) {
#if PT_HAVE_X86_KERNELS
  if (level == SimdLevel::kAvx512)
    return differencesAvx512(signal, frameSize, overlap, diff, order);
  if (level == SimdLevel::kAvx2) return differencesAvx2(signal, frameSize, overlap, diff, order);
#else
  (void)level;
#endif
  differencesPortable(signal, frameSize, overlap, diff, order);
}

}  // namespace

int32_t frameMedian(std::span<int32_t> values) {
  const auto [lower, upper] = middleValues(values);
  return static_cast<int32_t>((static_cast<int64_t>(lower) + upper) / 2);
}

void frameVolume(std::span<const int16_t> signal, int32_t frameSize, int32_t overlap,
                 std::span<int32_t> volume, int32_t method, SimdLevel level) {
  volumesAtLevel(signal, frameSize, overlap, volume, method, level);
}

void frameVolume(std::span<const int8_t> signal, int32_t frameSize, int32_t overlap,
                 std::span<int32_t> volume, int32_t method, SimdLevel level) {
  volumesAtLevel(signal, frameSize, overlap, volume, method, level);
}

void frameVolume(std::span<const uint8_t> signal, int32_t frameSize, int32_t overlap,
                 std::span<int32_t> volume, int32_t method, SimdLevel level) {
  volumesAtLevel(signal, frameSize, overlap, volume, method, level);
}

void highOrderDiff(std::span<const int16_t> signal, int32_t frameSize, int32_t overlap,
                   std::span<int32_t> diff, int32_t order, SimdLevel level) {
  differencesAtLevel(signal, frameSize, overlap, diff, order, level);
}

void highOrderDiff(std::span<const int8_t> signal, int32_t frameSize, int32_t overlap,
                   std::span<int32_t> diff, int32_t order, SimdLevel level) {
  differencesAtLevel(signal, frameSize, overlap, diff, order, level);
}

void highOrderDiff(std::span<const uint8_t> signal, int32_t frameSize, int32_t overlap,
                   std::span<int32_t> diff, int32_t order, SimdLevel level) {
  differencesAtLevel(signal, frameSize, overlap, diff, order, level);
}

}  // namespace pitchtrack
