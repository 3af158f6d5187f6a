#include "autocorrelation.h"

#include <array>
#include <cstdlib>

#include "frame.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define PT_HAVE_X86_KERNELS 1
#include <immintrin.h>
#else
#define PT_HAVE_X86_KERNELS 0
#endif

namespace {

// Frames up to this length whose samples stay within +-kNarrowMagnitude cannot wrap a 32-bit
// sum: n * max^2 <= 2^10 * 2^20 < 2^31, whatever order the products are added in.
constexpr size_t kNarrowMaxLength = 1024;
constexpr int32_t kNarrowMagnitude = 1024;
// Zeros after the narrowed frame, so that vector loads past the last pair read products of 0.
constexpr size_t kPadding = 32;

using NarrowFrame = std::array<int16_t, kNarrowMaxLength + kPadding>;
using NarrowKernel = void (*)(const int16_t* w, int32_t n, int32_t lags, int32_t* row);

void referenceKernel(std::span<const int32_t> frame, std::span<int32_t> row) {
  const auto n = static_cast<int32_t>(frame.size());
  for (size_t lag = 0; lag < row.size(); ++lag) {
    row[lag] = dotProduct(frame.data(), frame.data() + lag, n - static_cast<int32_t>(lag));
  }
}

void portableKernel(const int16_t* w, int32_t n, int32_t lags, int32_t* row) {
  for (int32_t lag = 0; lag < lags; ++lag) {
    int32_t sum = 0;
    for (int32_t i = 0; i < n - lag; ++i) sum += int32_t{w[i]} * int32_t{w[i + lag]};
    row[lag] = sum;
  }
}

#if PT_HAVE_X86_KERNELS
__attribute__((target("avx2"))) void avx2Kernel(const int16_t* w, int32_t n, int32_t lags,
                                                int32_t* row) {
  for (int32_t lag = 0; lag < lags; ++lag) {
    __m256i sum = _mm256_setzero_si256();
    for (int32_t i = 0; i < n - lag; i += 16) {
      const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w + i));
      const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w + i + lag));
      sum = _mm256_add_epi32(sum, _mm256_madd_epi16(a, b));
    }
    const __m128i half =
        _mm_add_epi32(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
    const __m128i quarter = _mm_add_epi32(half, _mm_shuffle_epi32(half, 0x4E));
    row[lag] = _mm_cvtsi128_si32(_mm_add_epi32(quarter, _mm_shuffle_epi32(quarter, 0xB1)));
  }
}

__attribute__((target("avx512bw"))) void avx512Kernel(const int16_t* w, int32_t n, int32_t lags,
                                                      int32_t* row) {
  for (int32_t lag = 0; lag < lags; ++lag) {
    __m512i sum = _mm512_setzero_si512();
    for (int32_t i = 0; i < n - lag; i += 32) {
      const __m512i a = _mm512_loadu_si512(w + i);
      const __m512i b = _mm512_loadu_si512(w + i + lag);
      sum = _mm512_add_epi32(sum, _mm512_madd_epi16(a, b));
    }
    alignas(64) int32_t lanes[16];
    _mm512_store_si512(lanes, sum);
    int32_t total = 0;
    for (const int32_t lane : lanes) total += lane;
    row[lag] = total;
  }
}
#endif

acf::KernelPath bestPath() {
#if PT_HAVE_X86_KERNELS
  if (__builtin_cpu_supports("avx512bw")) return acf::KernelPath::kAvx512;
  if (__builtin_cpu_supports("avx2")) return acf::KernelPath::kAvx2;
#endif
  return acf::KernelPath::kPortable;
}

acf::KernelPath& chosenPath() {
  static acf::KernelPath path = bestPath();
  return path;
}

NarrowKernel narrowKernel(acf::KernelPath path) {
#if PT_HAVE_X86_KERNELS
  if (path == acf::KernelPath::kAvx512) return avx512Kernel;
  if (path == acf::KernelPath::kAvx2) return avx2Kernel;
#else
  (void)path;
#endif
  return portableKernel;
}

// Narrows the frame to 16 bits when no sum of its products can wrap; false otherwise.
bool narrow(std::span<const int32_t> frame, NarrowFrame& narrowed) {
  if (frame.size() > kNarrowMaxLength) return false;
  for (size_t i = 0; i < frame.size(); ++i) {
    if (frame[i] > kNarrowMagnitude || frame[i] < -kNarrowMagnitude) return false;
    narrowed[i] = static_cast<int16_t>(frame[i]);
  }
  std::fill(narrowed.begin() + static_cast<ptrdiff_t>(frame.size()),
            narrowed.begin() + static_cast<ptrdiff_t>(frame.size() + kPadding), int16_t{0});
  return true;
}

}  // namespace

void autocorrelate(std::span<const int32_t> frame, std::span<int32_t> row) {
  const acf::KernelPath path = chosenPath();
  NarrowFrame narrowed;
  if (path == acf::KernelPath::kReference || row.size() > frame.size() ||
      !narrow(frame, narrowed)) {
    referenceKernel(frame, row);
    return;
  }
  narrowKernel(path)(narrowed.data(), static_cast<int32_t>(frame.size()),
                     static_cast<int32_t>(row.size()), row.data());
}

namespace acf {

bool available(KernelPath path) {
  switch (path) {
    case KernelPath::kReference:
    case KernelPath::kPortable:
      return true;
#if PT_HAVE_X86_KERNELS
    case KernelPath::kAvx2:
      return __builtin_cpu_supports("avx2");
    case KernelPath::kAvx512:
      return __builtin_cpu_supports("avx512bw");
#else
    default:
      return false;
#endif
  }
  return false;
}

KernelPath activePath() { return chosenPath(); }
void forcePath(KernelPath path) { chosenPath() = path; }
void resetPath() { chosenPath() = bestPath(); }

}  // namespace acf
