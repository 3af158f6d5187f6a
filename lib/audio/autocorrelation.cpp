#include "autocorrelation.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "frame.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define PT_HAVE_X86_KERNELS 1
#include <immintrin.h>
#else
#define PT_HAVE_X86_KERNELS 0
#endif

namespace pitchtrack {

namespace {

// Frames up to this length whose samples stay within +-kNarrowMagnitude cannot wrap a 32-bit
// sum: n * max^2 <= 2^10 * 2^20 < 2^31, whatever order the products are added in.
constexpr size_t kNarrowMaxLength = 1024;
constexpr int32_t kNarrowMagnitude = 1024;
// Zeros after the narrowed frame, so that vector loads past the last pair of a lag (up to one
// vector and one block of lags beyond it) read products of 0.
constexpr size_t kPadding = 64;

using NarrowFrame = std::array<int16_t, kNarrowMaxLength + kPadding>;
using NarrowKernel = void (*)(const int16_t* w, int32_t n, int32_t lags, int32_t* row);

void referenceKernel(std::span<const int32_t> frame, std::span<int32_t> row) {
  const auto n = static_cast<int32_t>(frame.size());
  for (size_t lag = 0; lag < row.size(); ++lag) {
    row[lag] = dotProduct(frame.data(), frame.data() + lag, n - static_cast<int32_t>(lag));
  }
}

// Lags first .. lags - 1, one at a time.
void portableTail(const int16_t* w, int32_t n, int32_t first, int32_t lags, int32_t* row) {
  for (int32_t lag = first; lag < lags; ++lag) {
    int32_t sum = 0;
    for (int32_t i = 0; i < n - lag; ++i) sum += int32_t{w[i]} * int32_t{w[i + lag]};
    row[lag] = sum;
  }
}

void portableKernel(const int16_t* w, int32_t n, int32_t lags, int32_t* row) {
  portableTail(w, n, 0, lags, row);
}

#if PT_HAVE_X86_KERNELS
// Eight lags at a time share each load of the frame. The products of lag j + k past its last
// pair read the zero padding, so every lag of the block can run over lag j's range.
constexpr int32_t kLagBlock = 8;

// Horizontal sums of eight accumulators, lane k holding the total of acc[k].
__attribute__((target("avx2"))) __m256i sumLanes(const __m256i* acc) {
  const __m256i h01 = _mm256_hadd_epi32(acc[0], acc[1]);
  const __m256i h23 = _mm256_hadd_epi32(acc[2], acc[3]);
  const __m256i h45 = _mm256_hadd_epi32(acc[4], acc[5]);
  const __m256i h67 = _mm256_hadd_epi32(acc[6], acc[7]);
  const __m256i h0123 = _mm256_hadd_epi32(h01, h23);
  const __m256i h4567 = _mm256_hadd_epi32(h45, h67);
  return _mm256_add_epi32(_mm256_permute2x128_si256(h0123, h4567, 0x20),
                          _mm256_permute2x128_si256(h0123, h4567, 0x31));
}

__attribute__((target("avx2"))) void avx2Kernel(const int16_t* w, int32_t n, int32_t lags,
                                                int32_t* row) {
  int32_t lag = 0;
  for (; lag + kLagBlock <= lags; lag += kLagBlock) {
    __m256i acc[kLagBlock];
    for (__m256i& a : acc) a = _mm256_setzero_si256();
    for (int32_t i = 0; i < n - lag; i += 16) {
      const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w + i));
      for (int32_t k = 0; k < kLagBlock; ++k) {
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w + i + lag + k));
        acc[k] = _mm256_add_epi32(acc[k], _mm256_madd_epi16(a, b));
      }
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + lag), sumLanes(acc));
  }
  portableTail(w, n, lag, lags, row);
}

__attribute__((target("avx512bw"))) void avx512Kernel(const int16_t* w, int32_t n, int32_t lags,
                                                      int32_t* row) {
  int32_t lag = 0;
  for (; lag + kLagBlock <= lags; lag += kLagBlock) {
    __m512i acc[kLagBlock];
    for (__m512i& a : acc) a = _mm512_setzero_si512();
    for (int32_t i = 0; i < n - lag; i += 32) {
      const __m512i a = _mm512_loadu_si512(w + i);
      for (int32_t k = 0; k < kLagBlock; ++k) {
        const __m512i b = _mm512_loadu_si512(w + i + lag + k);
        acc[k] = _mm512_add_epi32(acc[k], _mm512_madd_epi16(a, b));
      }
    }
    __m256i halves[kLagBlock];
    for (int32_t k = 0; k < kLagBlock; ++k) {
      alignas(64) int32_t lanes[16];
      _mm512_store_si512(lanes, acc[k]);
      halves[k] = _mm256_add_epi32(_mm256_load_si256(reinterpret_cast<const __m256i*>(lanes)),
                                   _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes + 8)));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + lag), sumLanes(halves));
  }
  portableTail(w, n, lag, lags, row);
}
#endif

NarrowKernel narrowKernel(SimdLevel level) {
#if PT_HAVE_X86_KERNELS
  if (level == SimdLevel::kAvx512) return avx512Kernel;
  if (level == SimdLevel::kAvx2) return avx2Kernel;
#else
  (void)level;
#endif
  return portableKernel;
}

// Narrows the frame to 16 bits when no sum of its products can wrap; false otherwise.
bool narrow(std::span<const int32_t> frame, NarrowFrame& narrowed) {
  if (frame.size() > kNarrowMaxLength) return false;
  int32_t lowest = 0;
  int32_t highest = 0;
  for (const int32_t v : frame) {
    lowest = std::min(lowest, v);
    highest = std::max(highest, v);
  }
  if (highest > kNarrowMagnitude || lowest < -kNarrowMagnitude) return false;
  std::transform(frame.begin(), frame.end(), narrowed.begin(),
                 [](int32_t v) { return static_cast<int16_t>(v); });
  std::fill(narrowed.begin() + static_cast<ptrdiff_t>(frame.size()),
            narrowed.begin() + static_cast<ptrdiff_t>(frame.size() + kPadding), int16_t{0});
  return true;
}

}  // namespace

void autocorrelate(std::span<const int32_t> frame, std::span<int32_t> row, SimdLevel level) {
  NarrowFrame narrowed;
  if (row.size() > frame.size() || !narrow(frame, narrowed)) {
    referenceKernel(frame, row);
    return;
  }
  narrowKernel(level)(narrowed.data(), static_cast<int32_t>(frame.size()),
                      static_cast<int32_t>(row.size()), row.data());
}

void centredAutocorrelation(std::span<const int16_t> frame, std::span<int32_t> row,
                            SimdLevel level) {
  int32_t sum = 0;
  for (const int16_t v : frame) sum += v;
  const int32_t mean = sum / static_cast<int32_t>(frame.size());
  NarrowFrame narrowed;
  std::transform(frame.begin(), frame.end(), narrowed.begin(),
                 [mean](int16_t v) { return static_cast<int16_t>(v - mean); });
  std::fill(narrowed.begin() + static_cast<ptrdiff_t>(frame.size()),
            narrowed.begin() + static_cast<ptrdiff_t>(frame.size() + kPadding), int16_t{0});
  narrowKernel(level)(narrowed.data(), static_cast<int32_t>(frame.size()),
                      static_cast<int32_t>(row.size()), row.data());
}

}  // namespace pitchtrack
