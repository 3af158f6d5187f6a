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

// The pitch function of every complete frame of `signal` into `output`, a row-major matrix of
// frameCount(...) rows of frameSize/2 values (row k, column j: frame k at lag j); a signal
// without a complete frame writes nothing.
inline void pitchFunction(std::span<const int32_t> signal, int32_t frameSize, int32_t overlap,
                          int32_t pfType, std::span<int32_t> output) {
  const int32_t frames =
      pitchtrack::frameCount(static_cast<int32_t>(signal.size()), frameSize, overlap);
  const auto half = static_cast<size_t>(frameSize / 2);
  const auto hop = static_cast<size_t>(frameSize - overlap);
  std::vector<int32_t> work(static_cast<size_t>(frameSize));
  for (size_t k = 0; k < static_cast<size_t>(std::max(frames, 0)); ++k) {
    const auto frame = signal.subspan(k * hop, work.size());
    std::copy(frame.begin(), frame.end(), work.begin());
    pitchtrack::framePitchFunction(work, pfType, output.subspan(k * half, half));
  }
}

// The raw candidates of one frame's pitch function that lie inside ptParam's pitch range, packed
// to the front of `lags` (which holds pitchFunction.size() values); returns how many.
inline int32_t pickCandidates(std::span<const int32_t> pitchFunction,
                              const pitchtrack::PtParam& ptParam, std::span<int32_t> lags) {
  const int32_t raw = pitchtrack::pickRawCandidates(pitchFunction, ptParam, lags);
  const pitchtrack::LagRange range = pitchtrack::lagRange(ptParam);
  size_t kept = 0;
  for (const int32_t lag : lags.first(static_cast<size_t>(raw))) {
    if (pitchtrack::lagInRange(lag, range)) lags[kept++] = lag;
  }
  return static_cast<int32_t>(kept);
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
  testsupport::pitchFunction(prepared, ptParam.frameSize, ptParam.overlap, ptParam.pfType,
                             pitchFunctions);

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
