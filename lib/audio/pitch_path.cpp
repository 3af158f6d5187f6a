#include "pitch_path.h"

#include <algorithm>

#include "frame.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define PT_HAVE_X86_PATH_KERNELS 1
#include <immintrin.h>
#else
#define PT_HAVE_X86_PATH_KERNELS 0
#endif

namespace pitchtrack {

int32_t lagTenthsOfSemitone(int32_t fs, int32_t lag) {
  if (lag == 0) return 0;
  const auto frequency = static_cast<float>(static_cast<double>(fs) / lag);
  return roundToInt(static_cast<float>(10 * freq2semitone(frequency)));
}

namespace path {

namespace {

// The score of the pair (from, to): the predecessor's cost plus (pfType 1) or minus the jump
// penalty, in double precision.
double pairScore(const JumpScore& score, int32_t fromKey, float fromCost, int32_t toKey) {
  const int32_t jump = wrapAbsDiff(fromKey, toKey);
  const int32_t measure = score.squared ? wrapMul(jump, jump) : jump;
  const double penalty = static_cast<double>(score.weight) * measure;
  return score.minimise ? static_cast<double>(fromCost) + penalty
                        : static_cast<double>(fromCost) - penalty;
}

void linkPortable(const JumpScore& score, const FrameStep& step, std::span<float> costs,
                  std::span<int32_t> back) {
  for (size_t j = 0; j < step.toKeys.size(); ++j) {
    const int32_t to = step.toKeys[j];
    float best = static_cast<float>(pairScore(score, step.fromKeys[0], step.fromCosts[0], to));
    int32_t bestIndex = 0;
    for (size_t i = 1; i < step.fromKeys.size(); ++i) {
      const double v = pairScore(score, step.fromKeys[i], step.fromCosts[i], to);
      if (score.minimise ? v < best : v > best) {
        best = static_cast<float>(v);
        bestIndex = static_cast<int32_t>(i);
      }
    }
    back[j] = bestIndex;
    costs[j] = static_cast<float>(static_cast<double>(step.toLocal[j]) + best);
  }
}

#if PT_HAVE_X86_PATH_KERNELS
// The helpers of the vector kernels.

// Whether every jump between the two frames' keys is their true distance (no 32-bit wrap), and
// its square too when the measure squares it. Then the jumps are exact in double precision and
// the vector kernels take them there; otherwise the frame goes through the portable loop.
[[gnu::always_inline]] inline bool jumpsFitDoubles(const JumpScore& score, const FrameStep& step) {
  int32_t low = step.fromKeys[0];
  int32_t high = low;
  for (const int32_t key : step.fromKeys) {
    low = std::min(low, key);
    high = std::max(high, key);
  }
  for (const int32_t key : step.toKeys) {
    low = std::min(low, key);
    high = std::max(high, key);
  }
  const int64_t span = static_cast<int64_t>(high) - low;
  return span <= (score.squared ? 46340 : 2147483647);
}

// One block of to-candidates: `lanes` of them from index `first` of the frame.
struct Block {
  const int32_t* keys;
  const int32_t* local;
  float* costs;
  int32_t* back;
  int32_t lanes;
};

// The to-candidates in blocks of up to 4 * kLanes lanes, each block one pass over the
// predecessors; `link(block, groups)` links one block with `groups` groups of kLanes lanes, the
// lanes past the frame's end masked off.
template <size_t kLanes, typename Link>
void linkInBlocks(const FrameStep& step, std::span<float> costs, std::span<int32_t> back,
                  Link link) {
  constexpr size_t kWidest = 4 * kLanes;
  const size_t count = step.toKeys.size();
  for (size_t first = 0; first < count; first += kWidest) {
    const size_t lanes = std::min(kWidest, count - first);
    link(Block{step.toKeys.data() + first, step.toLocal.data() + first, costs.data() + first,
               back.data() + first, static_cast<int32_t>(lanes)},
         static_cast<int>((lanes + kLanes - 1) / kLanes));
  }
}

// Calls kernel<groups>() for a group count of 1 to 4.
template <template <int> typename Kernel, typename... Args>
void withGroups(int groups, Args&&... args) {
  switch (groups) {
    case 1:
      return Kernel<1>::run(args...);
    case 2:
      return Kernel<2>::run(args...);
    case 3:
      return Kernel<3>::run(args...);
    default:
      return Kernel<4>::run(args...);
  }
}

// Groups of four lanes of AVX2, one to-candidate per lane. Per predecessor i: the jump
// |from - to| (exact in double), squared if asked, P = weight * jump, the sum cost -+ P, the
// strict comparison with the best value, which is kept as the float it was narrowed to, and the
// index of the last improvement.
template <bool kMinimise, bool kSquared>
__attribute__((target("avx2"))) inline __m256d avx2Sum(__m256d weight, __m256d from, __m256d to,
                                                       __m256d cost) {
  __m256d jump = _mm256_andnot_pd(_mm256_set1_pd(-0.0), _mm256_sub_pd(from, to));
  if constexpr (kSquared) jump = _mm256_mul_pd(jump, jump);
  const __m256d penalty = _mm256_mul_pd(weight, jump);
  return kMinimise ? _mm256_add_pd(cost, penalty) : _mm256_sub_pd(cost, penalty);
}

__attribute__((target("avx2"))) inline __m256d avx2Narrowed(__m256d v) {
  return _mm256_cvtps_pd(_mm256_cvtpd_ps(v));
}

// The load and store mask of group g: lanes 4g .. 4g + 3 that lie inside the block.
__attribute__((target("avx2"))) inline __m128i avx2Mask(int32_t lanes, int g) {
  return _mm_cmpgt_epi32(_mm_set1_epi32(lanes - 4 * g), _mm_setr_epi32(0, 1, 2, 3));
}

template <bool kMinimise, bool kSquared>
struct Avx2Kernel {
  template <int kGroups>
  struct Groups {
    __attribute__((target("avx2"))) static void run(const JumpScore& score, const FrameStep& step,
                                                    const Block& block) {
      const __m256d weight = _mm256_set1_pd(static_cast<double>(score.weight));
      __m256d to[kGroups], best[kGroups], index[kGroups];
      const __m256d from0 = _mm256_set1_pd(step.fromKeys[0]);
      const __m256d cost0 = _mm256_set1_pd(step.fromCosts[0]);
      for (int g = 0; g < kGroups; ++g) {
        const __m128i keys = _mm_maskload_epi32(block.keys + 4 * g, avx2Mask(block.lanes, g));
        to[g] = _mm256_cvtepi32_pd(keys);
        best[g] = avx2Narrowed(avx2Sum<kMinimise, kSquared>(weight, from0, to[g], cost0));
        index[g] = _mm256_setzero_pd();
      }
      for (size_t i = 1; i < step.fromKeys.size(); ++i) {
        const __m256d from = _mm256_set1_pd(step.fromKeys[i]);
        const __m256d cost = _mm256_set1_pd(step.fromCosts[i]);
        const __m256d at = _mm256_set1_pd(static_cast<double>(i));
        for (int g = 0; g < kGroups; ++g) {
          const __m256d v = avx2Sum<kMinimise, kSquared>(weight, from, to[g], cost);
          const __m256d better = _mm256_cmp_pd(v, best[g], kMinimise ? _CMP_LT_OQ : _CMP_GT_OQ);
          best[g] = _mm256_blendv_pd(best[g], avx2Narrowed(v), better);
          index[g] = _mm256_blendv_pd(index[g], at, better);
        }
      }
      for (int g = 0; g < kGroups; ++g) store(block, g, best[g], index[g]);
    }

    __attribute__((target("avx2"))) static void store(const Block& block, int g, __m256d best,
                                                      __m256d index) {
      const __m128i mask = avx2Mask(block.lanes, g);
      const __m128i terms = _mm_maskload_epi32(block.local + 4 * g, mask);
      const __m256d total = _mm256_add_pd(_mm256_cvtepi32_pd(terms), best);
      _mm_maskstore_ps(block.costs + 4 * g, mask, _mm256_cvtpd_ps(total));
      _mm_maskstore_epi32(block.back + 4 * g, mask, _mm256_cvttpd_epi32(index));
    }
  };

  static void link(const JumpScore& score, const FrameStep& step, std::span<float> costs,
                   std::span<int32_t> back) {
    linkInBlocks<4>(step, costs, back, [&](const Block& block, int groups) {
      withGroups<Groups>(groups, score, step, block);
    });
  }
};

__attribute__((target("avx2"))) void linkAvx2(const JumpScore& score, const FrameStep& step,
                                              std::span<float> costs, std::span<int32_t> back) {
  if (!jumpsFitDoubles(score, step)) return linkPortable(score, step, costs, back);
  if (score.minimise) {
    score.squared ? Avx2Kernel<true, true>::link(score, step, costs, back)
                  : Avx2Kernel<true, false>::link(score, step, costs, back);
  } else {
    score.squared ? Avx2Kernel<false, true>::link(score, step, costs, back)
                  : Avx2Kernel<false, false>::link(score, step, costs, back);
  }
}

// The same steps in groups of eight lanes of AVX-512. The conversions are written with a full
// zeroing mask: the same instructions, without GCC 12's warning about the unmasked forms.
constexpr __mmask8 kAll = 0xFF;

template <bool kMinimise, bool kSquared>
__attribute__((target("avx512f"))) inline __m512d avx512Sum(__m512d weight, __m512d from,
                                                            __m512d to, __m512d cost) {
  __m512d jump = _mm512_abs_pd(_mm512_sub_pd(from, to));
  if constexpr (kSquared) jump = _mm512_mul_pd(jump, jump);
  const __m512d penalty = _mm512_mul_pd(weight, jump);
  return kMinimise ? _mm512_add_pd(cost, penalty) : _mm512_sub_pd(cost, penalty);
}

__attribute__((target("avx512f"))) inline __m512d avx512Narrowed(__m512d v) {
  return _mm512_maskz_cvtps_pd(kAll, _mm512_maskz_cvtpd_ps(kAll, v));
}

// The load and store mask of group g: lanes 8g .. 8g + 7 that lie inside the block.
__attribute__((target("avx2"))) inline __m256i avx512Mask(int32_t lanes, int g) {
  return _mm256_cmpgt_epi32(_mm256_set1_epi32(lanes - 8 * g),
                            _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
}

template <bool kMinimise, bool kSquared>
struct Avx512Kernel {
  template <int kGroups>
  struct Groups {
    __attribute__((target("avx512f"))) static void run(const JumpScore& score,
                                                       const FrameStep& step, const Block& block) {
      const __m512d weight = _mm512_set1_pd(static_cast<double>(score.weight));
      __m512d to[kGroups], best[kGroups], index[kGroups];
      const __m512d from0 = _mm512_set1_pd(step.fromKeys[0]);
      const __m512d cost0 = _mm512_set1_pd(step.fromCosts[0]);
      for (int g = 0; g < kGroups; ++g) {
        const __m256i keys = _mm256_maskload_epi32(block.keys + 8 * g, avx512Mask(block.lanes, g));
        to[g] = _mm512_maskz_cvtepi32_pd(kAll, keys);
        best[g] = avx512Narrowed(avx512Sum<kMinimise, kSquared>(weight, from0, to[g], cost0));
        index[g] = _mm512_setzero_pd();
      }
      for (size_t i = 1; i < step.fromKeys.size(); ++i) {
        const __m512d from = _mm512_set1_pd(step.fromKeys[i]);
        const __m512d cost = _mm512_set1_pd(step.fromCosts[i]);
        const __m512d at = _mm512_set1_pd(static_cast<double>(i));
        for (int g = 0; g < kGroups; ++g) {
          const __m512d v = avx512Sum<kMinimise, kSquared>(weight, from, to[g], cost);
          const __mmask8 better =
              _mm512_cmp_pd_mask(v, best[g], kMinimise ? _CMP_LT_OQ : _CMP_GT_OQ);
          best[g] = _mm512_mask_mov_pd(best[g], better, avx512Narrowed(v));
          index[g] = _mm512_mask_mov_pd(index[g], better, at);
        }
      }
      for (int g = 0; g < kGroups; ++g) store(block, g, best[g], index[g]);
    }

    __attribute__((target("avx512f"))) static void store(const Block& block, int g, __m512d best,
                                                         __m512d index) {
      const __m256i mask = avx512Mask(block.lanes, g);
      const __m256i terms = _mm256_maskload_epi32(block.local + 8 * g, mask);
      const __m512d total = _mm512_add_pd(_mm512_maskz_cvtepi32_pd(kAll, terms), best);
      _mm256_maskstore_ps(block.costs + 8 * g, mask, _mm512_maskz_cvtpd_ps(kAll, total));
      _mm256_maskstore_epi32(block.back + 8 * g, mask, _mm512_maskz_cvttpd_epi32(kAll, index));
    }
  };

  static void link(const JumpScore& score, const FrameStep& step, std::span<float> costs,
                   std::span<int32_t> back) {
    linkInBlocks<8>(step, costs, back, [&](const Block& block, int groups) {
      withGroups<Groups>(groups, score, step, block);
    });
  }
};

__attribute__((target("avx512f"))) void linkAvx512(const JumpScore& score, const FrameStep& step,
                                                   std::span<float> costs,
                                                   std::span<int32_t> back) {
  if (!jumpsFitDoubles(score, step)) return linkPortable(score, step, costs, back);
  if (score.minimise) {
    score.squared ? Avx512Kernel<true, true>::link(score, step, costs, back)
                  : Avx512Kernel<true, false>::link(score, step, costs, back);
  } else {
    score.squared ? Avx512Kernel<false, true>::link(score, step, costs, back)
                  : Avx512Kernel<false, false>::link(score, step, costs, back);
  }
}
#endif

}  // namespace

void linkFrame(SimdLevel level, const JumpScore& score, const FrameStep& step,
               std::span<float> costs, std::span<int32_t> back) {
#if PT_HAVE_X86_PATH_KERNELS
  if (level == SimdLevel::kAvx512) return linkAvx512(score, step, costs, back);
  if (level == SimdLevel::kAvx2) return linkAvx2(score, step, costs, back);
#else
  (void)level;
#endif
  linkPortable(score, step, costs, back);
}

}  // namespace path

}  // namespace pitchtrack
