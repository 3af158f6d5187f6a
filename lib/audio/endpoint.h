// Endpoint detection: the stretches of a signal that hold sound rather than silence.
//
// Every frame gets an activity measure, (volume + high-order difference) / 2 (integer); the
// threshold lies 1/thresholdDivisor of the way from the k-th smallest to the k-th largest
// measure of this very signal (k = n/32 rounded, at least 1); maximal runs of frames strictly
// above it become segments. A segment must last more than minSegmentSec; the last valid segment
// is dropped when it starts more than maxFinalGapSec after the valid one before it (only that
// one pair is tested).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace pitchtrack {

// Detector parameters; setEpdParam is the one place their values are set.
struct EpdParam {
  int32_t frameSize = 0;         // frame length in samples (16 ms)
  int32_t overlap = 0;           // samples shared by consecutive frames
  int32_t thresholdDivisor = 0;  // threshold = low + (high - low) / thresholdDivisor
  int32_t hodOrder = 0;          // order of the high-order difference (1..5)
  float minSegmentSec = 0;       // a segment must last longer than this
  float maxFinalGapSec = 0;      // largest gap before the last segment
};

// One run of active frames, in the detector's own frame indices (both ends inclusive).
struct Segment {
  int32_t beginFrame = 0;
  int32_t endFrame = 0;
  int32_t durationFrames = 0;  // endFrame - beginFrame + 1
  int32_t valid = 0;           // 1 = kept, 0 = dropped
};

// frameSize = fs * 0.016 truncated (128 at 8000 Hz), no overlap, divisor 10, order 4,
// 0.05 s shortest segment, 0.7 s longest final gap.
void setEpdParam(int32_t fs, EpdParam& epdParam);

// The segment the final-gap rule dropped, and the last frame of the valid segment before it.
struct FinalGapDrop {
  Segment dropped;
  int32_t previousEndFrame = 0;
};

// Returns one Segment per run of active frames; the first segmentCount entries are the valid
// segments in time order, entries after them carry no meaning. A signal without a complete
// frame gives no segment. Callers pass frameSize > overlap and thresholdDivisor != 0. When
// `finalGapDrop` is given, it receives the segment the final-gap rule dropped, or nothing.
std::vector<Segment> endpointDetect(std::span<const int16_t> signal, int32_t fs,
                                    const EpdParam& epdParam, int32_t& segmentCount,
                                    std::optional<FinalGapDrop>* finalGapDrop = nullptr);
// The same for a signal held in 8 bits, signed or unsigned: the segments of its samples widened
// to 16 bits.
std::vector<Segment> endpointDetect(std::span<const int8_t> signal, int32_t fs,
                                    const EpdParam& epdParam, int32_t& segmentCount,
                                    std::optional<FinalGapDrop>* finalGapDrop = nullptr);
std::vector<Segment> endpointDetect(std::span<const uint8_t> signal, int32_t fs,
                                    const EpdParam& epdParam, int32_t& segmentCount,
                                    std::optional<FinalGapDrop>* finalGapDrop = nullptr);

}  // namespace pitchtrack
