// What the recording's own samples say before any analysis: their peak and whether they clip.
// Fed with the recording's blocks as they arrive, at the recording's own rate.
#pragma once

#include <cstdint>
#include <span>

namespace pitchtrack::pipeline {

// A run of at least this many samples at full scale counts as clipping.
inline constexpr int32_t kClipRunSamples = 3;

class InputLevel {
 public:
  // nbits 16: signed samples, full scale 32768; nbits 8: unsigned 0..255 around 128.
  InputLevel(int32_t fs, int32_t nbits) : fs_(fs), nbits_(nbits) {}

  void add(std::span<const int16_t> block);

  int32_t fs() const { return fs_; }
  int32_t nbits() const { return nbits_; }
  // The largest distance of a sample from the centre (0 or 128).
  int32_t peak() const { return peak_; }
  int32_t fullScale() const { return nbits_ == 16 ? 32768 : 128; }
  // Samples in runs of kClipRunSamples or more at full scale, and where the first run starts.
  int64_t clippedSamples() const { return clipped_; }
  int64_t firstClip() const { return firstClip_; }
  int64_t samples() const { return samples_; }

 private:
  bool atFullScale(int16_t sample) const;
  void followRun(int16_t sample);

  int32_t fs_;
  int32_t nbits_;
  int32_t peak_ = 0;
  int64_t samples_ = 0;
  int64_t clipped_ = 0;
  int64_t firstClip_ = -1;
  int64_t run_ = 0;
};

}  // namespace pitchtrack::pipeline
