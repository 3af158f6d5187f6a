// extractPitch: the whole pitch-extraction pipeline, from a recording's samples to the contour
// the tool writes.
//
//  1. Preparation: the samples become 32-bit values; a rate other than 8000 Hz is resampled to
//     8000 Hz by linear interpolation ("fs=%d ===> Resample to have fs=%d"); 16-bit samples are
//     divided by 256 toward zero ("nbits=%d ===> Convert from nbits=16 to 8!").
//  2. First pass: the autocorrelation tracker over 32 ms frames (256 samples) of the whole
//     signal, pitch range 30..84 semitones.
//  3. Voicing: endpoint detection on 16 ms frames; a tracker frame is voiced when either of its
//     halves lies in a detected segment; unvoiced frames lose their pitch.
//  4. Second pass: the range narrowed to the median voiced pitch +- 12 semitones; unvoiced
//     frames cleared again, pitches outside 34..90 semitones cleared.
//  5. Contour: leading and trailing unpitched frames cut, each pitch truncated to a whole
//     semitone and multiplied by 10 (tenths of a semitone; 0 = no pitch inside the contour).
//
// Inputs too short for the analysis (fewer than two 32 ms frames after preparation) and sample
// rates outside 1000..768000 Hz give an empty contour. The result is always true.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

bool extractPitch(std::span<const int16_t> samples, std::vector<int32_t>& contour, int32_t fs,
                  int32_t nbits);

// Delivers the next samples of a recording, in order, into the span (filling it except at the
// end) and returns how many it wrote; 0 means the recording cannot deliver more.
using SampleReader = std::function<size_t(std::span<int16_t>)>;

// extractPitch for a recording of `length` samples read block by block, so that a long
// recording at a high rate is never held whole at its own rate: the same contour and the same
// progress lines as extractPitch of all samples at once. Returns false (with an empty contour)
// when the reader delivers fewer than `length` samples.
bool extractPitch(size_t length, const SampleReader& read, std::vector<int32_t>& contour,
                  int32_t fs, int32_t nbits);

// Pieces of the pipeline, exposed for tests.
namespace pipeline {

inline constexpr int32_t kWorkingRate = 8000;
inline constexpr int32_t kMinInputRate = 1000;
inline constexpr int32_t kMaxInputRate = 768000;

// Median of the nonzero values of `pitch`, which it reorders (nonzero values gathered at the
// front in frame order, then selected in place); 0 when there is none.
double voicedMedian(std::span<double> pitch);

// Sets to 0 every nonzero value strictly below `lowest` or strictly above `highest`.
void clearOutOfRange(std::span<double> values, float lowest, float highest);

// Index of the first nonzero value (values.size() if none) and of the last nonzero value (or
// values.size() - 1 when there is none, so that last < first).
void findNonzeroBounds(std::span<const double> values, int32_t& first, int32_t& last);

}  // namespace pipeline
