// The tracker on a whole 32-bit signal, written out straightforwardly for the tests: the signal
// centred and scaled sample by sample, the pitch function of every frame held in one matrix,
// then the library's candidate picking and path search. The library itself analyses 16-bit
// working signals frame by frame (analyseFrames); the tests compare the two.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include "audio/candidates.h"
#include "audio/frame.h"
#include "audio/pitch_function.h"
#include "audio/pitch_tracker.h"
#include "audio/pt_param.h"

namespace testsupport {

// The tracker's settings for another pitch function or rate than the library's own: the frame
// of 32 ms at `fs` (truncated), and for the magnitude difference function its own path weights.
inline pitchtrack::PtParam trackerParamFor(int32_t pfType, int32_t fs = 8000) {
  pitchtrack::PtParam p = pitchtrack::kTrackerParam;
  p.fs = fs;
  p.frameSize = static_cast<int32_t>(static_cast<int64_t>(fs) * 256 / 8000);
  p.pfType = pfType;
  if (pfType == pitchtrack::kMagnitudeDifference) {
    p.transitionWeight = 540;
    p.localWeight = 40;
    p.distPower = 2;
    p.extremaOnly = 0;
  }
  return p;
}

// The signal minus its integer mean (64-bit sum, truncated), scaled so that its largest
// magnitude becomes 2^nbits / 2: roundToInt(float((x - mean) * scale)) with
// scale = float(2^nbits * 0.5 / max|x - mean|); a constant signal becomes all 0.
inline void centreAndScale(std::span<const int32_t> signal, int32_t nbits,
                           std::span<int32_t> prepared) {
  if (signal.empty()) return;
  int64_t sum = 0;
  for (const int32_t v : signal) sum += v;
  const int64_t mean = sum / static_cast<int64_t>(signal.size());
  const auto [lowest, highest] = std::minmax_element(signal.begin(), signal.end());
  const int64_t largest = std::max(*highest - mean, mean - *lowest);
  const float scale =
      largest == 0 ? 0.0f : static_cast<float>(std::pow(2.0, nbits) * 0.5 / largest);
  for (size_t i = 0; i < signal.size(); ++i) {
    prepared[i] = scale == 0 ? 0
                             : pitchtrack::roundToInt(static_cast<float>(
                                   static_cast<double>(signal[i] - mean) * scale));
  }
}

// One pitch per frame of `signal` into `pitch` (frameCount values; frames outside every run keep
// their value), leaving every frame's pitch function in `pitchFunctions` (frameCount rows of
// frameSize/2 values).
inline void trackPitch(std::span<const int32_t> signal, const pitchtrack::PtParam& ptParam,
                       std::span<double> pitch, std::span<int32_t> pitchFunctions) {
  using namespace pitchtrack;
  const int32_t frames = signal.empty() ? 0
                                        : frameCount(static_cast<int32_t>(signal.size()),
                                                     ptParam.frameSize, ptParam.overlap);
  if (frames <= 0) return;
  std::vector<int32_t> prepared(signal.size());
  centreAndScale(signal, ptParam.nbits, prepared);
  pitchFunction(prepared, ptParam.frameSize, ptParam.overlap, ptParam.pfType, pitchFunctions);

  const auto half = static_cast<size_t>(ptParam.frameSize / 2);
  std::vector<int32_t> lags(half);
  FrameAnalysis analysis;
  analysis.firstCandidate.push_back(0);
  for (size_t f = 0; f < static_cast<size_t>(frames); ++f) {
    const auto row = pitchFunctions.subspan(f * half, half);
    const int32_t count = pickRawCandidates(row, ptParam, lags);
    for (const int32_t lag : std::span(lags).first(static_cast<size_t>(count))) {
      analysis.lags.push_back(lag);
      analysis.values.push_back(row[static_cast<size_t>(lag)]);
    }
    analysis.firstCandidate.push_back(analysis.lags.size());
  }
  pitchtrack::trackPitch(analysis, ptParam, pitch);
}

inline void trackPitch(std::span<const int32_t> signal, const pitchtrack::PtParam& ptParam,
                       std::span<double> pitch) {
  const int32_t frames = signal.empty()
                             ? 0
                             : pitchtrack::frameCount(static_cast<int32_t>(signal.size()),
                                                      ptParam.frameSize, ptParam.overlap);
  std::vector<int32_t> functions(static_cast<size_t>(std::max(frames, 0)) *
                                 static_cast<size_t>(ptParam.frameSize / 2));
  trackPitch(signal, ptParam, pitch, functions);
}

}  // namespace testsupport
