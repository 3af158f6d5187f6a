#include "endpoint.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "frame.h"
#include "volume.h"

namespace pitchtrack {

namespace {

constexpr int32_t kVolumeMethodMedian = 1;

// roundToInt(float(fs * seconds / hop)) with fs and hop as single-precision values.
int32_t secondsToFrames(int32_t fs, float seconds, int32_t hop) {
  const double frames = static_cast<double>(static_cast<float>(fs)) * seconds /
                        static_cast<double>(static_cast<float>(hop));
  return roundToInt(static_cast<float>(frames));
}

// The threshold between the quiet and the loud end of the measures.
int32_t activityThreshold(std::span<const int32_t> measure, int32_t divisor) {
  const auto n = static_cast<int32_t>(measure.size());
  int32_t k = roundToInt(static_cast<float>(n * 0.03125));
  if (k < 1) k = 1;
  std::vector<int32_t> sorted(measure.begin(), measure.end());
  // Only two order statistics are needed; any correct ordering gives the same two values.
  const auto kth = [&](int32_t position) {
    std::nth_element(sorted.begin(), sorted.begin() + position, sorted.end());
    return sorted[static_cast<size_t>(position)];
  };
  const int32_t low = kth(k - 1);
  const int32_t high = kth(n - k);
  return static_cast<int32_t>(low + (static_cast<int64_t>(high) - low) / divisor);
}

std::vector<Segment> activeRuns(std::span<const int32_t> measure, int32_t threshold) {
  std::vector<Segment> runs;
  const auto n = static_cast<int32_t>(measure.size());
  for (int32_t i = 0; i < n;) {
    if (measure[static_cast<size_t>(i)] <= threshold) {
      ++i;
      continue;
    }
    const int32_t begin = i;
    while (i < n && measure[static_cast<size_t>(i)] > threshold) ++i;
    runs.push_back(Segment{begin, i - 1, i - begin, 1});
  }
  return runs;
}

// Marks the segments that are too short, and the last valid one when it starts too long after
// the valid one before it; returns the segment the final-gap rule dropped, if it dropped one.
std::optional<FinalGapDrop> dropShortAndLateSegments(std::vector<Segment>& segments,
                                                     int32_t minFrames, int32_t maxGapFrames) {
  for (Segment& s : segments) {
    if (s.durationFrames <= minFrames) s.valid = 0;
  }
  const auto isValid = [](const Segment& s) { return s.valid == 1; };
  const auto last = std::find_if(segments.rbegin(), segments.rend(), isValid);
  if (last == segments.rend()) return std::nullopt;
  const auto previous = std::find_if(last + 1, segments.rend(), isValid);
  if (previous == segments.rend()) return std::nullopt;
  if (last->beginFrame - previous->endFrame <= maxGapFrames) return std::nullopt;
  last->valid = 0;
  return FinalGapDrop{*last, previous->endFrame};
}

int32_t moveValidToFront(std::vector<Segment>& segments) {
  size_t kept = 0;
  for (const Segment& s : segments) {
    if (s.valid == 1) segments[kept++] = s;
  }
  return static_cast<int32_t>(kept);
}

// (volume + high-order difference) / 2 of each of the n frames.
template <typename Sample>
std::vector<int32_t> activityMeasure(std::span<const Sample> signal, const EpdParam& epdParam,
                                     int32_t n) {
  std::vector<int32_t> volume(static_cast<size_t>(n));
  std::vector<int32_t> diff(static_cast<size_t>(n));
  frameVolume(signal, epdParam.frameSize, epdParam.overlap, volume, kVolumeMethodMedian);
  highOrderDiff(signal, epdParam.frameSize, epdParam.overlap, diff, epdParam.hodOrder);
  std::vector<int32_t> measure(static_cast<size_t>(n));
  for (size_t i = 0; i < measure.size(); ++i) {
    measure[i] = static_cast<int32_t>((static_cast<int64_t>(volume[i]) + diff[i]) / 2);
  }
  return measure;
}

template <typename Sample>
std::vector<Segment> detectSegments(std::span<const Sample> signal, int32_t fs,
                                    const EpdParam& epdParam, int32_t& segmentCount,
                                    std::optional<FinalGapDrop>* finalGapDrop) {
  segmentCount = 0;
  const int32_t hop = epdParam.frameSize - epdParam.overlap;
  const int32_t minFrames = secondsToFrames(fs, epdParam.minSegmentSec, hop);
  const int32_t maxGapFrames = secondsToFrames(fs, epdParam.maxFinalGapSec, hop);
  const int32_t n =
      frameCount(static_cast<int32_t>(signal.size()), epdParam.frameSize, epdParam.overlap);
  if (n <= 0) return {};

  const std::vector<int32_t> measure = activityMeasure(signal, epdParam, n);
  const int32_t threshold = activityThreshold(measure, epdParam.thresholdDivisor);
  std::vector<Segment> segments = activeRuns(measure, threshold);
  const std::optional<FinalGapDrop> drop =
      dropShortAndLateSegments(segments, minFrames, maxGapFrames);
  if (finalGapDrop != nullptr) *finalGapDrop = drop;
  segmentCount = moveValidToFront(segments);
  return segments;
}

}  // namespace

void setEpdParam(int32_t fs, EpdParam& epdParam) {
  epdParam.frameSize = truncToInt(fs * 0.016);
  epdParam.overlap = 0;
  epdParam.thresholdDivisor = 10;
  epdParam.hodOrder = 4;
  epdParam.minSegmentSec = 0.05f;
  epdParam.maxFinalGapSec = 0.7f;
}

std::vector<Segment> endpointDetect(std::span<const int16_t> signal, int32_t fs,
                                    const EpdParam& epdParam, int32_t& segmentCount,
                                    std::optional<FinalGapDrop>* finalGapDrop) {
  return detectSegments(signal, fs, epdParam, segmentCount, finalGapDrop);
}

std::vector<Segment> endpointDetect(std::span<const int8_t> signal, int32_t fs,
                                    const EpdParam& epdParam, int32_t& segmentCount,
                                    std::optional<FinalGapDrop>* finalGapDrop) {
  return detectSegments(signal, fs, epdParam, segmentCount, finalGapDrop);
}

std::vector<Segment> endpointDetect(std::span<const uint8_t> signal, int32_t fs,
                                    const EpdParam& epdParam, int32_t& segmentCount,
                                    std::optional<FinalGapDrop>* finalGapDrop) {
  return detectSegments(signal, fs, epdParam, segmentCount, finalGapDrop);
}

}  // namespace pitchtrack
