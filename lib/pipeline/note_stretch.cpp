#include "note_stretch.h"

#include <algorithm>

#include "pitchtrack/limits.h"
#include "precise_math.h"

namespace pitchtrack::pipeline {

namespace {

constexpr double kFullScaleSquare = 32768.0 * 32768.0;
constexpr double kDbPerOctaveOfPower = 3.010299956639812;  // 10 log10(2)
constexpr double kSilentDb = -100;
// The level range that velocity 1..127 spans.
constexpr double kQuietestDb = -60;

double decibels(double meanSquare) {
  if (!(meanSquare > 0)) return kSilentDb;
  return std::max(kSilentDb, kDbPerOctaveOfPower * preciseLog2(meanSquare / kFullScaleSquare));
}

double seconds(int64_t frame) { return static_cast<double>(frame * kFrameMilliseconds) / 1000.0; }

int32_t roundToInt(double x) { return static_cast<int32_t>(x < 0 ? x - 0.5 : x + 0.5); }

// Frames left out at each end of a note's pitch when it has enough: a glide into it or out of it
// is not its pitch.
constexpr size_t kEdgeFrames = 2;

double medianHz(const std::vector<NoteFrame>& frames) {
  const size_t edge = frames.size() > 3 * kEdgeFrames ? kEdgeFrames : 0;
  std::vector<double> hz;
  hz.reserve(frames.size());
  for (size_t i = edge; i + edge < frames.size(); ++i) hz.push_back(frames[i].hz);
  const size_t middle = hz.size() / 2;
  std::nth_element(hz.begin(), hz.begin() + static_cast<std::ptrdiff_t>(middle), hz.end());
  if (hz.size() % 2 == 1) return hz[middle];
  const double upper = hz[middle];
  return 0.5 *
         (upper + *std::max_element(hz.begin(), hz.begin() + static_cast<std::ptrdiff_t>(middle)));
}

int32_t velocityOf(double levelDb) {
  return std::clamp(roundToInt(1 + (levelDb - kQuietestDb) * 126 / -kQuietestDb), 1, 127);
}

}  // namespace

NoteFrame noteFrameOf(const PreciseFrame& frame) {
  return {frame.tenths, frame.hz, frame.confidence, decibels(frame.meanSquare)};
}

NoteStretch NoteStretch::splitOff(int32_t at, int32_t from, NoteBoundary boundary) {
  NoteStretch before{first, {frames.begin(), frames.begin() + at}, start};
  frames.erase(frames.begin(), frames.begin() + from);
  first += from;
  start = boundary;
  return before;
}

void NoteStretch::append(const NoteStretch& later) {
  frames.insert(frames.end(), later.frames.begin(), later.frames.end());
}

Note noteOf(const NoteStretch& stretch) {
  Note note;
  note.onsetSeconds = seconds(stretch.first);
  note.offsetSeconds = seconds(stretch.end());
  note.hz = medianHz(stretch.frames);
  const double semitones = 69 + 12 * preciseLog2(note.hz / 440);
  note.midiNote = roundToInt(semitones);
  note.cents = 100 * (semitones - note.midiNote);
  note.frames = stretch.size();
  double confidence = 0;
  note.levelDb = kSilentDb;
  for (const NoteFrame& frame : stretch.frames) {
    confidence += frame.confidence;
    note.levelDb = std::max(note.levelDb, frame.levelDb);
  }
  note.confidence = confidence / stretch.size();
  note.velocity = velocityOf(note.levelDb);
  return note;
}

}  // namespace pitchtrack::pipeline
