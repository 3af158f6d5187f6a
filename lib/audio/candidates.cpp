#include "candidates.h"

#include "fault.h"
#include "frame.h"

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

}  // namespace

int32_t pickRawCandidates(std::span<const int32_t> values, const PtParam& ptParam,
                          std::span<int32_t> lags) {
  if (ptParam.extremaOnly != 1) {
    for (size_t i = 0; i < values.size(); ++i) lags[i] = static_cast<int32_t>(i);
    return static_cast<int32_t>(values.size());
  }
  const auto less = [](int32_t a, int32_t b) { return a < b; };
  const auto greater = [](int32_t a, int32_t b) { return a > b; };
  if (ptParam.pfType == kAutocorrelation) return extremaMiddles(values, lags, less, greater);
  if (ptParam.pfType == kMagnitudeDifference) return extremaMiddles(values, lags, greater, less);
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
