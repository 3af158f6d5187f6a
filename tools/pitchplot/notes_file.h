// Reads the notes that `pitchtrack --notes` writes as CSV or JSON, for drawing them beside the
// contour.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "contour_plot.h"

struct ParsedNotes {
  std::vector<PlotNote> notes;
  std::string error;  // empty when the text parsed

  bool ok() const { return error.empty(); }
};

// The notes of a CSV text (a header row naming at least onset, offset and note, then one row
// per note) or a JSON text ({"notes": [{"onset": ..., "offset": ..., "note": ...}, ...]}); a
// missing column or member, or a value that is not a number, is an error naming the note.
ParsedNotes parseNotesFile(std::string_view text);
