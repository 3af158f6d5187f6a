// Groups the precise analysis' frames into notes as they arrive, frame by frame.
//
//   NoteSegmenter segmenter(settings, [](const Note& note) { ... });
//   PreciseAnalysis analysis(rate, 16, [&](int64_t i, const PreciseFrame& f) {
//     segmenter.push(i, f);
//   });
//
// A note is handed on once no later frame can change it: when the stretch after it is long
// enough to be a note of its own (minNoteSeconds), or at the first frame without pitch after
// it. So a live stream gives the same notes as the file; with the default settings each is final
// within 0.3 s of audio after its end (the analysis' 80 ms look-ahead included), and a longer
// minNoteSeconds makes it wait as long for the stretch after it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "note_boundaries.h"
#include "note_stretch.h"
#include "pitchtrack/notes.h"
#include "precise_tracker.h"

namespace pitchtrack::pipeline {

class NoteSegmenter {
 public:
  using NoteSink = std::function<void(const Note& note)>;

  NoteSegmenter(const NoteSettings& settings, NoteSink sink);

  // Frame `index` of the recording; frames come in order, one call each.
  void push(int64_t index, const PreciseFrame& frame);
  // Ends the recording: the last note goes out.
  void finish();

 private:
  void extend(int64_t index, const NoteFrame& frame);
  void splitAtBoundary();
  void restartOnset();
  void close(NoteStretch stretch, NoteBoundary end);
  void emitHeld();

  int32_t minFrames_;
  NoteSink sink_;
  LevelOnset onset_;
  NoteStretch current_;
  bool open_ = false;
  // The last note, kept while the stretch after it is too short to tell whether it is a note
  // of its own or the end of this one.
  std::optional<NoteStretch> held_;
};

// The notes of a whole sequence of frames (frame k at index k).
std::vector<Note> segmentNotes(std::span<const PreciseFrame> frames,
                               const NoteSettings& settings = {});

}  // namespace pitchtrack::pipeline
