// The precise pitch analysis of a recording, streaming: one frame every 32 ms with the measured
// fundamental in Hz, its value in tenths of a semitone (rounded) and a confidence.
//
//   PreciseAnalysis analysis(44100);
//   analysis.push(block);            // any block sizes, in order
//   ...
//   analysis.finish();
//   for (const PreciseFrame& f : analysis.frames()) ...
//
// Frame k covers k * 32 ms .. (k + 1) * 32 ms of the recording and stands for the pitch at its
// centre. It becomes final as soon as the audio up to its end plus kPreciseLookAheadSeconds has
// been pushed, and never depends on later audio. Every rounding of the analysis is pinned, so
// any block split, build, compiler and processor gives the same frames.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "precise_dc_blocker.h"
#include "precise_resampler.h"
#include "precise_tracker.h"

namespace pitchtrack {

// Audio past a frame's end that its value may depend on, in seconds: the tracker's two frames
// (64 ms) and the search window's reach past the centre of the frame two later (206 working
// samples, less half a frame: 9.75 ms) make 73.75 ms; the resampler's interpolation and delay
// add under 5 ms at any rate.
inline constexpr double kPreciseLookAheadSeconds = 0.08;

class PreciseAnalysis {
 public:
  // Called with each frame's index as soon as the frame is final.
  using FrameSink = std::function<void(int64_t index, const PreciseFrame& frame)>;

  // `sampleRate` 1000..768000 Hz; 16-bit signed samples, or with `bitsPerSample` 8 the unsigned
  // byte values 0..255. Throws std::invalid_argument otherwise. With `keepFrames` false the final
  // frames reach only `sink` and frames() stays empty, so that memory stays flat.
  explicit PreciseAnalysis(int32_t sampleRate, int32_t bitsPerSample = 16, FrameSink sink = {},
                           bool keepFrames = true);

  void push(std::span<const int16_t> samples);
  // Ends the recording: the remaining frames become final. Throws std::logic_error when called
  // twice or before a push after it.
  void finish();

  // Every final frame so far, frame k at index k (none when the frames are not kept).
  const std::vector<PreciseFrame>& frames() const { return frames_; }
  // How many frames are final so far, kept or not.
  int64_t finalFrames() const { return delivered_; }

 private:
  void pushChunk(std::span<const int16_t> samples);
  void takeWorking();
  void analyseFramesBefore(int64_t workingEnd);
  void analyseNextFrame();
  void deliver(const PreciseFrame& frame);

  int32_t bitsPerSample_;
  FrameSink sink_;
  PreciseResampler resampler_;
  PreciseDcBlocker dcBlocker_;
  PreciseTracker tracker_;
  size_t chunk_;                  // input samples handled at a time
  std::vector<int16_t> scratch_;  // one chunk of input as signed 16-bit samples
  std::vector<int16_t> fresh_;    // working samples just produced
  std::vector<int16_t> working_;  // working samples from index workingBase_ on
  int64_t workingBase_ = 0;
  int64_t inputCount_ = 0;
  int64_t analysed_ = 0;  // frames whose candidates went to the tracker
  std::vector<PreciseFrame> frames_;
  int64_t delivered_ = 0;  // final frames so far
  bool keepFrames_;
  bool finished_ = false;
};

// The frames of a whole recording in memory: the same as streaming it in any blocks.
std::vector<PreciseFrame> analysePrecise(std::span<const int16_t> samples, int32_t sampleRate,
                                         int32_t bitsPerSample = 16);

}  // namespace pitchtrack
