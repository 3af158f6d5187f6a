// The texts the tool writes for a contour: the pitch file's line, CSV or JSON.
#pragma once

#include <string>

#include "command_line.h"
#include "pitchtrack/pitchtrack.h"

namespace pitchtrack::cli {

// CSV: the header "frame,seconds,value,hz,midi", then one row per contour frame: the frame's
// index in the recording, its start in seconds from the start of the recording, the value in
// tenths of a semitone, its frequency in Hz and its MIDI note number; an unpitched frame leaves
// the last three fields empty.
std::string formatCsv(const Contour& contour);

// JSON: {"file": NAME, "frame_seconds": 0.032, "first_frame": N, "values": [...]}. NAME keeps its
// well-formed UTF-8; any other byte is written as the character of the same number (\u0080 to
// \u00ff, the byte read as Latin-1), so the document is valid JSON whatever the name.
std::string formatJson(const Contour& contour, const std::string& fileName);

// Live output, one frame per line as it becomes final: the value alone (line), a CSV row with the
// precise analysis' columns after the header formatLiveHeader gives (csv), or one JSON object
// {"frame", "seconds", "value", "hz", "confidence"} (json). Each field is written as the
// whole-contour formats write it.
std::string formatLiveHeader(OutputFormat format);
std::string formatLiveFrame(OutputFormat format, const Frame& frame);
// With --notes: each note as it ends, as a line, a CSV row or one JSON object per line, written
// as the whole-recording note formats write a note.
std::string formatLiveNote(OutputFormat format, const Note& note);

// The output of `format`: the contour's text, or its notes' (note_format.h, midi_file.h).
std::string formatOutput(OutputFormat format, const Contour& contour, const std::string& fileName);

// The file name extension of a format's output: ".pitch", ".csv" or ".json"; for notes
// ".notes", ".notes.csv", ".notes.json" or ".mid".
const char* outputExtension(OutputFormat format);

}  // namespace pitchtrack::cli
