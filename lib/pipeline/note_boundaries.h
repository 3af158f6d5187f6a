// The two signs inside a stretch of pitched frames that a new note begins: the pitch moving to
// another note and staying there, and a dip and rise of the level (a consonant between two
// notes, or a new attack on the same pitch).
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "note_stretch.h"

namespace pitchtrack::pipeline {

// Frames averaged on each side of a possible change of note: six frames (192 ms) hold about one
// cycle of a 5-6 Hz vibrato, whose swing then cancels out.
inline constexpr int32_t kPitchWindowFrames = 6;
// A change of note needs at least this many frames before the latest window.
inline constexpr int32_t kPitchBeforeFrames = 4;
// and the latest this many frames all nearer the new pitch than the old: half a vibrato cycle
// cannot stay there this long.
inline constexpr int32_t kPitchStayFrames = 3;
// The mean pitch of the latest window and of the frames before it differ by at least this much
// (tenths of a semitone) at a change of note.
inline constexpr int32_t kPitchStepTenths = 5;

// Where a new note begins in `frames` (an index into it), when the mean pitch of the last
// kPitchWindowFrames frames lies kPitchStepTenths or more from that of up to as many frames
// before them and the latest kPitchStayFrames frames lie on the new side of the midpoint: the
// point that parts those frames best into two steady runs.
std::optional<int32_t> findPitchChange(std::span<const NoteFrame> frames);

// Follows the level of a stretch frame by frame and reports a dip of at least `depthDb` below
// the loudest frame before it followed by a rise of as much.
class LevelOnset {
 public:
  explicit LevelOnset(double depthDb) : depthDb_(depthDb) {}

  // Forgets every frame: the next push() is the first of a stretch.
  void reset() { count_ = 0; }
  // The next frame's level. When it completes a dip and rise, returns the index (counted from
  // the first frame since reset()) of the dip's quietest frame.
  std::optional<int32_t> push(double levelDb);

 private:
  double depthDb_;
  int32_t count_ = 0;
  double peakDb_ = 0;
  double dipDb_ = 0;
  int32_t dipAt_ = 0;
};

}  // namespace pitchtrack::pipeline
