#include "precise_candidates.h"

#include <algorithm>
#include <utility>

#include "precise_correlation.h"

namespace pitchtrack {

namespace {

constexpr int32_t kFineWidth = 256;    // working samples in a window
constexpr int32_t kCoarseWidth = 128;  // coarse samples in a window
constexpr int32_t kCoarseMinLag = 2;
constexpr int32_t kCoarseMaxLag = kPreciseMaxLag / 2 + 1;
constexpr int32_t kCoarseReach = kPreciseReach / 2;
// A coarse peak becomes a candidate when it rises this far above the lowest periodicity at
// shorter lags, and its interpolated strength reaches the floor.
constexpr double kMinRise = 0.25;
constexpr double kMinCoarseStrength = 0.2;
constexpr int32_t kMaxClimb = 4;
constexpr double kDisplaceMargin = 0.3;
// A frame whose central 16 ms hold less than this share of the window's mean square has no tone
// at its centre: the window only reaches into a tone that ends or begins nearby.
constexpr double kMinCentreShare = 0.1;
constexpr int32_t kCentreWidth = 128;

using CoarseCurve = std::array<double, kCoarseMaxLag + 2>;

void coarseCurve(const PreciseStretch& coarse, CoarseCurve& curve) {
  coarse.periodicities(kCoarseMinLag, kCoarseMaxLag + 1, kCoarseWidth,
                       curve.data() + kCoarseMinLag);
}

// Keeps at most kPreciseMaxCandidates peaks.
void keepPeak(PreciseCandidates& out, PrecisePeak peak) {
  if (out.count < kPreciseMaxCandidates) {
    out.peaks[out.count++] = peak;
    return;
  }
  auto weakest =
      std::min_element(out.peaks.begin(), out.peaks.end(),
                       [](const auto& a, const auto& b) { return a.strength < b.strength; });
  // Peaks arrive by increasing lag: a longer one displaces a kept one only when much stronger, so
  // the shortest of several equal peaks (the period, not its multiples) stays even where the
  // coarse lags sample it poorly (short periods).
  if (peak.strength > weakest->strength + kDisplaceMargin) *weakest = peak;
}

// The maximum of the fine periodicity nearest the coarse lag, between whole lags.
PrecisePeak refine(const PreciseStretch& fine, double coarseLag) {
  auto clampLag = [](int32_t lag) {
    return std::clamp(lag, kPreciseMinLag - 1, kPreciseMaxLag + 1);
  };
  int32_t lag = clampLag(static_cast<int32_t>(2 * coarseLag + 0.5));
  auto at = [&](int32_t l) { return fine.periodicity(clampLag(l), kFineWidth); };
  double before = at(lag - 1), here = at(lag), after = at(lag + 1);
  for (int32_t step = 0; step < kMaxClimb; ++step) {
    if (after > here && lag + 1 <= kPreciseMaxLag) {
      before = here, here = after, after = at(++lag + 1);
    } else if (before > here && lag - 1 >= kPreciseMinLag) {
      after = here, here = before, before = at(--lag - 1);
    } else {
      break;
    }
  }
  return interpolatePeak(lag, before, here, after);
}

// Insertion sort of the few candidates, shortest lag first.
void sortByLag(PreciseCandidates& out) {
  for (int32_t i = 1; i < out.count; ++i) {
    for (int32_t j = i; j > 0 && out.peaks[j].lag < out.peaks[j - 1].lag; --j) {
      std::swap(out.peaks[j], out.peaks[j - 1]);
    }
  }
}

}  // namespace

PreciseCandidates findPreciseCandidates(const int16_t* centre, double minMeanSquare) {
  PreciseCandidates out;
  const int32_t shift = precisePeakShift(centre, kPreciseReach);
  if (shift == 0) {
    // Unscaled samples: the window's mean square as the stretch would give it, without loading
    // one, since most quiet frames stop here.
    const int16_t* window = centre - kFineWidth / 2;
    out.meanSquare = static_cast<double>(preciseDot(window, window, kFineWidth)) / kFineWidth;
    if (out.meanSquare < minMeanSquare) return out;
  }
  PreciseStretch fine;
  fine.load(centre, kPreciseReach, 1, shift);
  out.meanSquare = fine.meanSquare(kFineWidth);
  if (out.meanSquare < minMeanSquare) return out;
  out.centreMeanSquare = fine.meanSquare(kCentreWidth);
  if (out.centreMeanSquare < kMinCentreShare * out.meanSquare) return out;
  PreciseStretch coarse;
  coarse.load(centre, kCoarseReach, 2, shift);
  CoarseCurve curve;
  coarseCurve(coarse, curve);
  double lowest = curve[kCoarseMinLag];
  for (int32_t lag = kCoarseMinLag + 1; lag <= kCoarseMaxLag; ++lag) {
    lowest = std::min(lowest, curve[lag - 1]);
    if (!(curve[lag] > curve[lag - 1] && curve[lag] >= curve[lag + 1])) continue;
    const PrecisePeak coarse = interpolatePeak(lag, curve[lag - 1], curve[lag], curve[lag + 1]);
    if (coarse.strength - lowest < kMinRise || coarse.strength < kMinCoarseStrength) continue;
    keepPeak(out, coarse);
  }
  for (int32_t i = 0; i < out.count; ++i) out.peaks[i] = refine(fine, out.peaks[i].lag);
  sortByLag(out);
  return out;
}

}  // namespace pitchtrack
