// The C interface's results: C copies of a contour and of notes, allocated with malloc so that
// no C++ allocator crosses into C (pitchtrack_contour_free and pitchtrack_notes_free release
// them).
#pragma once

#include <vector>

#include "pitchtrack/contour.h"
#include "pitchtrack/notes.h"
#include "pitchtrack/pitchtrack_c.h"

namespace pitchtrack::c_api {

// Throws std::bad_alloc when memory runs out, having freed what it allocated.
pitchtrack_contour* copyOut(const Contour& contour);
pitchtrack_notes* copyOut(const std::vector<Note>& notes);

}  // namespace pitchtrack::c_api
