// Turns each frame's candidates into its final pitch, looking two frames ahead.
//
//  - Voicing: a frame is voiced when its chosen candidate is periodic enough and it belongs to
//    a run of at least three such frames, so that a chance peak in noise gives no pitch.
//  - Continuity: a frame whose choice jumps away (by more than two semitones) from neighbours
//    that agree with each other takes instead its candidate nearest to them, if it has one.
//  - Release: a frame in a steep fall of the level (a room's ring-out) is not periodic enough.
#pragma once

#include <array>
#include <cstdint>

#include "precise_candidates.h"
#include "precise_choice.h"

namespace pitchtrack {

// One frame of the precise analysis.
struct PreciseFrame {
  double hz = 0;          // measured fundamental; 0 = no pitch
  int32_t tenths = 0;     // tenths of a semitone, rounded; 0 = no pitch
  double confidence = 0;  // 0..1, the periodicity of the chosen period
  double meanSquare = 0;  // level of the frame's 32 ms window, in squared 16-bit sample units
};

class PreciseTracker {
 public:
  static constexpr int32_t kDelayFrames = 2;

  explicit PreciseTracker(const PreciseChoiceLimits& limits = {}) : limits_(limits) {}

  // Takes the next frame's candidates. Once kDelayFrames later frames have arrived, the frame
  // that many earlier is final: returns true and writes it to `out`.
  bool push(const PreciseCandidates& candidates, PreciseFrame& out);

 private:
  struct Raw {
    PreciseCandidates candidates;
    int32_t chosen = -1;
    bool periodic = false;
    double lag() const { return candidates.peaks[chosen].lag; }
  };
  static constexpr int32_t kHistory = 2 * kDelayFrames + 1;  // frames k-2 .. k+2
  static constexpr int32_t kLevelHistory = 8;

  const Raw& at(int32_t offset) const;  // offset from the frame being finalised
  bool inVoicedRun() const;
  bool isRelease(double level) const;
  int32_t continuousChoice() const;

  PreciseChoiceLimits limits_;
  std::array<Raw, kHistory> ring_{};
  int64_t received_ = 0;
  double previousLag_ = 0;                      // final lag of the frame before; 0 = unvoiced
  std::array<double, kLevelHistory> levels_{};  // central levels of the latest frames
};

}  // namespace pitchtrack
