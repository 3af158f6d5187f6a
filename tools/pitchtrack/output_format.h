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

std::string formatOutput(OutputFormat format, const Contour& contour, const std::string& fileName);

// The file name extension of a format's output: ".pitch", ".csv" or ".json".
const char* outputExtension(OutputFormat format);

}  // namespace pitchtrack::cli
