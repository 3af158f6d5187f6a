// The notes of a recording for Python: Contour.notes() and track_notes(), both a numpy
// structured array with one record per note.
#pragma once

#include <pybind11/pybind11.h>

#include <vector>

#include "pitchtrack/pitchtrack.h"

void defineNotes(pybind11::module_& m, pybind11::class_<pitchtrack::Contour>& contour);

// The notes as a numpy structured array and back (for pickling a Contour).
pybind11::object notesToArray(const std::vector<pitchtrack::Note>& notes);
std::vector<pitchtrack::Note> notesFromArray(const pybind11::object& array);
