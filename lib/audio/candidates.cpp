#include "candidates.h"

#include <algorithm>
#include <bit>

#include "fault.h"
#include "frame.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define PT_HAVE_X86_KERNELS 1
#include <immintrin.h>
#else
#define PT_HAVE_X86_KERNELS 0
#endif

namespace pitchtrack {

namespace {

// Middles of the local extrema. `rises(p, c)` says the function moves toward an extremum
// between neighbours p and c (up for maxima, down for minima); `falls` the opposite.
template <typename Rises, typename Falls>
int32_t extremaMiddles(std::span<const int32_t> values, std::span<int32_t> lags, Rises rises,
                       Falls falls) {
  int32_t count = 0;
  int32_t start = 0;
  bool armed = false;
  for (int32_t i = 1; i < static_cast<int32_t>(values.size()); ++i) {
    const int32_t p = values[static_cast<size_t>(i - 1)];
    const int32_t c = values[static_cast<size_t>(i)];
    if (rises(p, c)) {
      start = i;
      armed = true;
    } else if (falls(p, c) && armed) {
      lags[static_cast<size_t>(count++)] = (start + i) / 2;
      armed = false;
    }
  }
  return count;
}

#if PT_HAVE_X86_KERNELS
// One block of up to 64 neighbour pairs: bit j of `up` says values[first + j - 1] <
// values[first + j], bit j of `down` says values[first + j - 1] > values[first + j].
struct StepMasks {
  uint64_t up = 0;
  uint64_t down = 0;
};

constexpr size_t kBlock = 64;

__attribute__((target("avx512bw"))) StepMasks stepsAvx512(const int32_t* values, size_t first,
                                                          size_t length) {
  StepMasks steps;
  for (size_t at = 0; at < length; at += 16) {
    const size_t lanes = std::min<size_t>(16, length - at);
    const auto valid = static_cast<__mmask16>((1u << lanes) - 1);
    const __m512i before = _mm512_maskz_loadu_epi32(valid, values + first + at - 1);
    const __m512i current = _mm512_maskz_loadu_epi32(valid, values + first + at);
    steps.up |= uint64_t{_mm512_mask_cmplt_epi32_mask(valid, before, current)} << at;
    steps.down |= uint64_t{_mm512_mask_cmpgt_epi32_mask(valid, before, current)} << at;
  }
  return steps;
}

__attribute__((target("avx2"))) StepMasks stepsAvx2(const int32_t* values, size_t first,
                                                    size_t length) {
  StepMasks steps;
  size_t at = 0;
  for (; at + 8 <= length; at += 8) {
    const auto* from = reinterpret_cast<const __m256i*>(values + first + at);
    const __m256i before =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(values + first + at - 1));
    const __m256i current = _mm256_loadu_si256(from);
    const auto up = static_cast<uint32_t>(
        _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpgt_epi32(current, before))));
    const auto down = static_cast<uint32_t>(
        _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpgt_epi32(before, current))));
    steps.up |= uint64_t{up} << at;
    steps.down |= uint64_t{down} << at;
  }
  for (; at < length; ++at) {
    const int32_t before = values[first + at - 1];
    const int32_t current = values[first + at];
    steps.up |= uint64_t{before < current} << at;
    steps.down |= uint64_t{before > current} << at;
  }
  return steps;
}

// The state of extremaMiddles between blocks: the lag of the last rise and whether a fall
// after it would close an extremum.
struct ExtremumState {
  int32_t start = 0;
  bool armed = false;
  int32_t count = 0;
};

// extremaMiddles over the pairs of one block, one at a time.
template <typename Rises, typename Falls>
void blockOneByOne(std::span<const int32_t> values, size_t first, size_t length,
                   std::span<int32_t> lags, Rises rises, Falls falls, ExtremumState& state) {
  for (size_t i = first; i < first + length; ++i) {
    const int32_t p = values[i - 1];
    const int32_t c = values[i];
    if (rises(p, c)) {
      state.start = static_cast<int32_t>(i);
      state.armed = true;
    } else if (falls(p, c) && state.armed) {
      lags[static_cast<size_t>(state.count++)] = (state.start + static_cast<int32_t>(i)) / 2;
      state.armed = false;
    }
  }
}

// A block in which every neighbour pair rises or falls: an extremum closes at each fall right
// after a rise, its middle the lag of that rise, and at a first fall that the state arms.
void blockOfSteps(size_t first, size_t length, uint64_t rises, uint64_t falls,
                  std::span<int32_t> lags, ExtremumState& state) {
  const auto at = static_cast<int32_t>(first);
  if ((falls & 1) != 0 && state.armed) {
    lags[static_cast<size_t>(state.count++)] = (state.start + at) / 2;
  }
  for (uint64_t closes = falls & (rises << 1); closes != 0; closes &= closes - 1) {
    lags[static_cast<size_t>(state.count++)] = at + std::countr_zero(closes) - 1;
  }
  const size_t last = length - 1;
  state.armed = ((rises >> last) & 1) != 0;
  if (state.armed) state.start = at + static_cast<int32_t>(last);
}

// extremaMiddles with each block's rises and falls found by vector compares: blocks without a
// step leave the state as it is, blocks of steps only are read from the masks with bit scans,
// and blocks with some equal neighbours are walked pair by pair.
template <SimdLevel Level, typename Rises, typename Falls>
[[gnu::always_inline]] inline int32_t maskedExtremaMiddles(std::span<const int32_t> values,
                                                           std::span<int32_t> lags, bool maxima,
                                                           Rises rises, Falls falls) {
  ExtremumState state;
  for (size_t first = 1; first < values.size(); first += kBlock) {
    const size_t length = std::min(kBlock, values.size() - first);
    const StepMasks steps = Level == SimdLevel::kAvx512 ? stepsAvx512(values.data(), first, length)
                                                        : stepsAvx2(values.data(), first, length);
    const uint64_t up = maxima ? steps.up : steps.down;
    const uint64_t down = maxima ? steps.down : steps.up;
    const uint64_t all = length == kBlock ? ~uint64_t{0} : (uint64_t{1} << length) - 1;
    if ((up | down) == 0) continue;
    if ((up | down) == all) {
      blockOfSteps(first, length, up, down, lags, state);
    } else {
      blockOneByOne(values, first, length, lags, rises, falls, state);
    }
  }
  return state.count;
}

template <SimdLevel Level>
[[gnu::always_inline]] inline int32_t vectorExtrema(std::span<const int32_t> values,
                                                    std::span<int32_t> lags, bool maxima) {
  const auto less = [](int32_t a, int32_t b) { return a < b; };
  const auto greater = [](int32_t a, int32_t b) { return a > b; };
  if (maxima) return maskedExtremaMiddles<Level>(values, lags, true, less, greater);
  return maskedExtremaMiddles<Level>(values, lags, false, greater, less);
}

__attribute__((target("avx512bw,bmi"))) int32_t extremaAvx512(std::span<const int32_t> values,
                                                              std::span<int32_t> lags,
                                                              bool maxima) {
  return vectorExtrema<SimdLevel::kAvx512>(values, lags, maxima);
}

__attribute__((target("avx2,bmi"))) int32_t extremaAvx2(std::span<const int32_t> values,
                                                        std::span<int32_t> lags, bool maxima) {
  return vectorExtrema<SimdLevel::kAvx2>(values, lags, maxima);
}
#endif

// The middles of the maxima (maxima) or minima at the given vector level.
int32_t extremaAtLevel(std::span<const int32_t> values, std::span<int32_t> lags, bool maxima,
                       SimdLevel level) {
#if PT_HAVE_X86_KERNELS
  if (level == SimdLevel::kAvx512) return extremaAvx512(values, lags, maxima);
  if (level == SimdLevel::kAvx2) return extremaAvx2(values, lags, maxima);
#else
  (void)level;
#endif
  const auto less = [](int32_t a, int32_t b) { return a < b; };
  const auto greater = [](int32_t a, int32_t b) { return a > b; };
  if (maxima) return extremaMiddles(values, lags, less, greater);
  return extremaMiddles(values, lags, greater, less);
}

}  // namespace

int32_t pickRawCandidates(std::span<const int32_t> values, const PtParam& ptParam,
                          std::span<int32_t> lags, SimdLevel level) {
  if (ptParam.extremaOnly != 1) {
    for (size_t i = 0; i < values.size(); ++i) lags[i] = static_cast<int32_t>(i);
    return static_cast<int32_t>(values.size());
  }
  if (ptParam.pfType == kAutocorrelation) return extremaAtLevel(values, lags, true, level);
  if (ptParam.pfType == kMagnitudeDifference) return extremaAtLevel(values, lags, false, level);
  audio_fault::unknownCode(audio_fault::kUnknownPtParamPfType, ptParam.pfType,
                           audio_fault::kLineCandidates);
}

namespace {
// fs / frequency formed from single-precision fs in double precision, narrowed to single
// precision and rounded half away from zero; 0 when the frequency is 0.
int32_t lagOfPitch(int32_t fs, float pitch) {
  const double frequency = semitone2freq(pitch);
  if (frequency == 0) return 0;
  const auto fsSingle = static_cast<float>(fs);
  return roundToInt(static_cast<float>(static_cast<double>(fsSingle) / frequency));
}

}  // namespace

LagRange lagRange(const PtParam& ptParam) {
  return {lagOfPitch(ptParam.fs, ptParam.maxPitch), lagOfPitch(ptParam.fs, ptParam.minPitch)};
}

}  // namespace pitchtrack
