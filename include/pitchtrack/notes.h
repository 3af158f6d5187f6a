// The notes of a recording: the precise analysis' frames grouped into note events, as a singer
// or a transcriber would name them. Part of pitchtrack.h; compiles as C++17 and later.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace pitchtrack {

// One sung, hummed or played note.
struct Note {
  double onsetSeconds = 0;   // start, in seconds from the start of the recording
  double offsetSeconds = 0;  // end, in seconds from the start of the recording
  // The nearest MIDI note number (69 = A4) to the median pitch of the note's frames, leaving out
  // two at each end (a glide into or out of it) when it has more than six.
  int32_t midiNote = 0;
  double cents = 0;       // the median pitch's deviation from midiNote, -50..50
  double hz = 0;          // the median measured frequency
  int32_t frames = 0;     // the 32 ms frames of the note
  double confidence = 0;  // the mean confidence of its frames, 0..1
  double levelDb = 0;     // the loudest frame's RMS in dB relative to full scale
  int32_t velocity = 0;   // MIDI velocity 1..127 from levelDb: -60 dBFS gives 1, 0 dBFS 127
};

// Receives the notes of one analysis in order, each once, as soon as it ends.
using NoteSink = std::function<void(const Note& note)>;

// How frames are grouped into notes.
//
// A note ends where the pitch leaves it for another note and stays there (the mean pitch of the
// last six frames, about one vibrato cycle, lies half a semitone or more away from the note's
// median), at a frame without pitch, and at an onset: the level falls by onsetDb or more and
// rises again by as much, which separates repeated notes joined by a consonant. A stretch
// shorter than minNoteSeconds is no note of its own: a glide into a note joins that note, a
// fall after a note joins the note before it, and a lone stretch is dropped.
struct NoteSettings {
  double minNoteSeconds = 0.1;
  double onsetDb = 6;
};

}  // namespace pitchtrack
