// The pitch contour of a recording, the result of every tracking entry. Part of pitchtrack.h;
// compiles as C++17 and later.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pitchtrack/errors.h"
#include "pitchtrack/notes.h"
#include "pitchtrack/options.h"

namespace pitchtrack {

// The pitch contour of a recording, placed in time.
struct Contour {
  std::vector<int32_t> values;  // tenths of a semitone; 0 = no pitch
  int64_t firstFrame = 0;       // index in the recording of the frame of values[0]
  double frameSeconds = 0.032;  // duration (and hop) of one frame
  double recordingSeconds = 0;  // length of the whole recording
  // The whole 32 ms frames of the recording: values[i] is frame firstFrame + i of frames
  // 0 .. recordingFrames - 1 (the ones before and after the values have no pitch).
  int64_t recordingFrames = 0;
  // The precise analysis only (empty from the default one), one entry per value: the measured
  // fundamental frequency in Hz (0 where there is no pitch) and a confidence from 0 to 1 (the
  // periodicity of the chosen period; 0 where there is no pitch).
  std::vector<double> hz = {};
  std::vector<double> confidence = {};
  // The precise analysis only: the notes of the recording in order, grouped as Options::notes
  // says (see notes.h); empty from the default analysis.
  std::vector<Note> notes = {};
  // The warnings of the analysis that made the contour, in the order Options::warning received
  // them (whether or not the options had a sink).
  std::vector<Warning> warnings = {};

  size_t size() const { return values.size(); }
  bool empty() const { return values.empty(); }

  // Start of value i's frame, in seconds from the start of the recording.
  double startSeconds(size_t i) const {
    return static_cast<double>(firstFrame + static_cast<int64_t>(i)) * frameSeconds;
  }
  // Value i as a MIDI note number (69 = A4 = 440 Hz); 0 where there is no pitch.
  double midiNote(size_t i) const { return values[i] / 10.0; }
  // Value i's frequency in Hz; 0 where there is no pitch. From the precise analysis, the measured
  // frequency; from the default, the frequency of the whole semitone (equal temperament, A4 =
  // 440 Hz).
  PITCHTRACK_API double frequencyHz(size_t i) const;
};

}  // namespace pitchtrack
