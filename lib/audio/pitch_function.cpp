#include "pitch_function.h"

#include <algorithm>
#include <vector>

#include "autocorrelation.h"
#include "fault.h"
#include "frame.h"
#include "pt_param.h"

namespace pitchtrack {

namespace {

int32_t wrappedSum(std::span<const int32_t> values) {
  uint32_t sum = 0;
  for (const int32_t v : values) sum += static_cast<uint32_t>(v);
  return static_cast<int32_t>(sum);
}

int32_t sumOfDeviations(std::span<const int32_t> values, int32_t mean) {
  int32_t sum = 0;
  for (const int32_t v : values) sum = wrapAdd(sum, wrapAbsDiff(v, mean));
  return sum;
}

// Average magnitude difference of one (flipped) frame for lags 0 .. row.size() - 1.
void magnitudeDifference(std::span<const int32_t> frame, std::span<int32_t> row) {
  const auto window = static_cast<int32_t>(frame.size()) - static_cast<int32_t>(row.size());
  const int32_t* w = frame.data();
  for (size_t lag = 0; lag < row.size(); ++lag) {
    uint32_t sum = 0;
    for (int32_t i = 0; i < window; ++i) {
      sum += static_cast<uint32_t>(wrapAbsDiff(w[i], w[static_cast<size_t>(i) + lag]));
    }
    row[lag] = static_cast<int32_t>(sum);
  }
}

// Autocorrelation of one frame after removing its truncated integer mean (in place).
void autocorrelation(std::span<int32_t> frame, std::span<int32_t> row) {
  const int32_t mean = wrappedSum(frame) / static_cast<int32_t>(frame.size());
  for (int32_t& v : frame) v = wrapSub(v, mean);
  autocorrelate(frame, row);
}

}  // namespace

void frameFlip(std::span<int32_t> frame) {
  const auto n = static_cast<int32_t>(frame.size());
  if (n == 0) return;
  const int32_t mean = roundToInt(static_cast<float>(static_cast<double>(wrappedSum(frame)) / n));
  const auto half = static_cast<size_t>(n / 2);
  const int32_t first = sumOfDeviations(frame.first(half), mean);
  const int32_t second = sumOfDeviations(frame.subspan(half), mean);
  if (first < second) std::reverse(frame.begin(), frame.end());
}

void framePitchFunction(std::span<int32_t> frame, int32_t pfType, std::span<int32_t> row) {
  if (pfType == kMagnitudeDifference) {
    frameFlip(frame);
    magnitudeDifference(frame, row);
  } else if (pfType == kAutocorrelation) {
    // Reversing a frame changes neither its sum nor the set of sample pairs at any lag, so the
    // flip is skipped: the autocorrelation is the same either way.
    autocorrelation(frame, row);
  } else {
    audio_fault::unknownCode(audio_fault::kUnknownPfType, pfType, audio_fault::kLinePitchFunction);
  }
}

}  // namespace pitchtrack
