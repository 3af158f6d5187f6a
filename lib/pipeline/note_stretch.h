// A stretch of pitched frames on its way to becoming a note, and the note it makes.
#pragma once

#include <cstdint>
#include <vector>

#include "pitchtrack/notes.h"
#include "precise_tracker.h"

namespace pitchtrack::pipeline {

// What began a stretch: a frame without pitch before it (or the recording's start), a move of
// the pitch to another note, or a dip and rise of the level.
enum class NoteBoundary { kGap, kPitch, kOnset };

// One pitched frame as the note segmentation sees it.
struct NoteFrame {
  int32_t tenths = 0;  // tenths of a semitone, never 0
  double hz = 0;
  double confidence = 0;
  double levelDb = 0;  // RMS in dB relative to full scale
};

NoteFrame noteFrameOf(const PreciseFrame& frame);

struct NoteStretch {
  int64_t first = 0;  // index in the recording of frames[0]
  std::vector<NoteFrame> frames;
  NoteBoundary start = NoteBoundary::kGap;

  int64_t end() const { return first + static_cast<int64_t>(frames.size()); }
  int32_t size() const { return static_cast<int32_t>(frames.size()); }
  // Splits off and returns frames [0, at), keeping [from, size()) here with start `boundary`;
  // frames [at, from) belong to neither.
  NoteStretch splitOff(int32_t at, int32_t from, NoteBoundary boundary);
  // Appends `later`, which starts where this stretch ends.
  void append(const NoteStretch& later);
};

// The note a stretch makes: the median pitch of its frames (without two at each end, where a
// glide into or out of it lies, when it has more than six), their mean confidence and the
// loudest level.
Note noteOf(const NoteStretch& stretch);

}  // namespace pitchtrack::pipeline
