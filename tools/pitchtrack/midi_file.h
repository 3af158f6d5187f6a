// A Standard MIDI File of notes: format 0, one track, 1000 ticks per quarter note at 60 beats
// per minute, so one tick is one millisecond; one note-on and note-off pair per note on
// channel 1, with the note's velocity.
#pragma once

#include <string>
#include <vector>

#include "pitchtrack/notes.h"

namespace pitchtrack::cli {

// The file's bytes. At a tick where one note ends and another begins, the note-off comes
// first, so that repeated notes stay apart.
std::string midiFile(const std::vector<Note>& notes);

}  // namespace pitchtrack::cli
