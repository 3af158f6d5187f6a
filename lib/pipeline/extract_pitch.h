// The whole pitch-extraction pipeline, from a recording's samples to the contour the tool
// writes.
//
//  1. Preparation: a rate other than 8000 Hz is resampled to 8000 Hz by linear interpolation
//     ("fs=%d ===> Resample to have fs=%d"); 16-bit samples are divided by 256 toward zero
//     ("nbits=%d ===> Convert from nbits=16 to 8!"). Both lines go to the progress sink.
//  2. First pass: the autocorrelation tracker over 32 ms frames (256 samples) of the whole
//     signal, pitch range 30..84 semitones.
//  3. Voicing: endpoint detection on 16 ms frames; a tracker frame is voiced when either of its
//     halves lies in a detected segment; unvoiced frames lose their pitch (voicing.h).
//  4. Second pass: the range narrowed to the median voiced pitch +- 12 semitones; unvoiced
//     frames cleared again, pitches outside 34..90 semitones cleared.
//  5. Contour: leading and trailing unpitched frames cut, each pitch truncated to a whole
//     semitone and multiplied by 10 (tenths of a semitone; 0 = no pitch inside the contour).
//
// Options may add remedies: normalising 16-bit samples to full range before step 1's reduction,
// lifting the final-gap rule and strict voicing in step 3; with a warning sink, what the steps
// did to the recording is reported (analysis_warnings.h).
//
// Inputs too short for the analysis (fewer than two 32 ms frames after preparation) give an
// empty contour. A rate outside kMinSampleRate..kMaxSampleRate or a sample size other than 8 or
// 16 bits throws std::invalid_argument.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "audio/pt_param.h"
#include "input_level.h"
#include "pitchtrack/contour.h"
#include "pitchtrack/limits.h"
#include "pitchtrack/options.h"
#include "sample_buffer.h"

namespace pitchtrack {

template <typename Out, int Divisor>
class BasicStreamingResampler;
using StreamingResampler = BasicStreamingResampler<int16_t, 1>;
using ReducingResampler = BasicStreamingResampler<int8_t, 256>;

namespace pipeline {

// The rate of the working signal, the one the tracker analyses.
inline constexpr int32_t kWorkingRate = kTrackerParam.fs;

// The longest working signal the analysis can index: its frame arithmetic is 32-bit.
inline constexpr int64_t kMaxWorkingLength = 2147483647;

// Throws std::invalid_argument, saying which, unless the analysis takes a recording of this rate
// and sample size: sampleRateSupported(fs) (pitchtrack/limits.h), nbits 8 or 16.
void checkInputFormat(int32_t fs, int32_t nbits);

// Throws std::length_error when `count` more samples after `alreadyPushed` could not even be
// counted (2^63 and more).
void checkCountable(size_t alreadyPushed, size_t count);
// Throws std::length_error when the working signal of that many samples at `fs` Hz would pass
// kMaxWorkingLength (counts of 2^63 and more included).
void checkIndexable(size_t alreadyPushed, size_t count, int32_t fs);
// Throws std::invalid_argument, naming the value, when an 8-bit sample (nbits 8) lies outside
// the unsigned byte values 0..255 that every later stage indexes its tables with.
void checkEightBitRange(std::span<const int16_t> samples, int32_t nbits);

// The signal at 8000 Hz in the 8-bit range, built from the recording's blocks as they arrive.
// Construct with the recording's rate and sample size (and its exact length when known, so that
// the signal is allocated once; 0 when not), push() every block, then finish(). Throws
// std::length_error as soon as the signal would pass kMaxWorkingLength.
//
// The options give the progress sink and the normalisation; with a warning sink the builder also
// watches the recording's level. The builder keeps its own copy of them.
class WorkingSignalBuilder {
 public:
  WorkingSignalBuilder(int32_t fs, int32_t nbits, int64_t expectedLength, const Options& options);
  ~WorkingSignalBuilder();
  void push(std::span<const int16_t> block);
  // The prepared signal (in 16 bits); the builder is spent.
  SampleBuffer finish();
  // The contour of the prepared signal under the builder's options; the builder is spent.
  Contour finishContour();

 private:
  int32_t fs_;
  int32_t nbits_;
  Options options_;
  InputLevel level_;
  int64_t pushed_ = 0;
  // How the signal is kept. Without normalisation it is kept in 8 bits: a 16-bit recording's
  // samples divided by 256 as they arrive (signed, resampled or not), an 8-bit recording at
  // 8000 Hz as it is (unsigned 0..255). A resampled 8-bit recording is kept in 16 bits, as is
  // every signal to be normalised.
  enum class Store { kWide, kReduced, kBytes };
  Store store_ = Store::kWide;
  void pushNarrow(std::span<const int16_t> block);
  template <typename Byte>
  SampleBufferOf<Byte> finishNarrow(SampleBufferOf<Byte>& kept);

  std::unique_ptr<StreamingResampler> resampler_;         // rates other than 8000 Hz
  std::unique_ptr<ReducingResampler> reducingResampler_;  // the same, reduced to 8 bits
  SampleBuffer signal_;                                   // 8000 Hz: the samples as they came
  NarrowSampleBuffer reducedSignal_;                      // the same, reduced to 8 bits
  ByteSampleBuffer byteSignal_;                           // the same, 8-bit samples as they came
  size_t filled_ = 0;
};

// The contour of a prepared 8000 Hz signal in the 8-bit range (steps 2 to 5), with the options'
// voicing, final-gap rule and warnings; `level` is the recording's as it arrived. `signal` is
// released as soon as the analysis no longer needs it.
Contour contourOfWorkingSignal(SampleBuffer signal, const Options& options,
                               const InputLevel& level);

// The same for a signal held in 8 bits, signed or unsigned.
Contour contourOfWorkingSignal(NarrowSampleBuffer signal, const Options& options,
                               const InputLevel& level);
Contour contourOfWorkingSignal(ByteSampleBuffer signal, const Options& options,
                               const InputLevel& level);

// The same for a signal the caller keeps.
Contour contourOfWorkingSignal(std::span<const int16_t> signal, const Options& options,
                               const InputLevel& level);

// Scales every sample by 32767 / peak (64-bit product, truncated toward zero), peak being the
// largest magnitude; an all-zero signal stays as it is.
void normalizeToFullRange(std::span<int16_t> samples);

// Median of the nonzero values of `pitch`, which it reorders (nonzero values gathered at the
// front in frame order, then selected in place); 0 when there is none.
double voicedMedian(std::span<double> pitch);

// Sets to 0 every nonzero value strictly below `lowest` or strictly above `highest`.
void clearOutOfRange(std::span<double> values, float lowest, float highest);

// Index of the first nonzero value (values.size() if none) and of the last nonzero value (or
// values.size() - 1 when there is none, so that last < first).
void findNonzeroBounds(std::span<const double> values, int32_t& first, int32_t& last);

}  // namespace pipeline

// The pipeline on samples in memory, placed in time.
Contour extractContour(std::span<const int16_t> samples, int32_t fs, int32_t nbits,
                       const Options& options);

}  // namespace pitchtrack
