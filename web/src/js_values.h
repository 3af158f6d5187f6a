// Copies between the library's values and JavaScript's: typed arrays in, typed arrays and plain
// objects out. Every array handed to JavaScript is its own copy, never a view of the module's
// memory (which moves when it grows).
#pragma once

#include <emscripten/val.h>

#include <string>
#include <vector>

#include "pitchtrack/pitchtrack.h"

namespace pitchtrack::web {

using emscripten::val;

// A new Int32Array / Float64Array holding `values`.
val int32Array(const std::vector<int32_t>& values);
val float64Array(const std::vector<double>& values);

// A JavaScript array of strings.
val stringArray(const std::vector<std::string>& texts);

// {onsetSeconds, offsetSeconds, midiNote, cents, hz, frames, confidence, levelDb, velocity}:
// the Note's fields under their own names, and the way back.
val noteObject(const Note& note);
Note noteFrom(const val& object);

// The contour as a plain object: values, firstFrame, frameSeconds, recordingSeconds, hz,
// confidence and notes.
val contourObject(const Contour& contour);
// The contour that contourObject() made `object` from (as far as the writers read it).
Contour contourFrom(const val& object);

}  // namespace pitchtrack::web
