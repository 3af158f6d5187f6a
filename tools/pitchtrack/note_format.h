// The texts the tool writes for the notes of a recording (--notes): one line per note, CSV or
// JSON. Times are seconds from the start of the recording.
#pragma once

#include <string>
#include <vector>

#include "pitchtrack/notes.h"

namespace pitchtrack::cli {

// One note: "ONSET OFFSET NOTE\n"; the CSV header and a row; a JSON object (no newline).
std::string noteLine(const Note& note);
std::string noteCsvHeader();
std::string noteCsvRow(const Note& note);
std::string noteJsonObject(const Note& note);

// "ONSET OFFSET NOTE" per note, for reading: "0.320 0.864 62".
std::string formatNoteLines(const std::vector<Note>& notes);

// The header "onset,offset,note,cents,hz,frames,confidence,velocity", then one row per note.
std::string formatNoteCsv(const std::vector<Note>& notes);

// {"file": NAME, "notes": [{"onset": ..., "offset": ..., "note": ..., ...}, ...]}, the members
// named as the CSV's columns; `quotedFileName` is the recording's name as a JSON string.
std::string formatNoteJson(const std::vector<Note>& notes, const std::string& quotedFileName);

}  // namespace pitchtrack::cli
