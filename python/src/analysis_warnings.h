// The warnings of an analysis for Python: pitchtrack.AnalysisWarning objects, kept on the
// contour (Contour.warnings) and issued through Python's warnings module.
#pragma once

#include <pybind11/pybind11.h>

#include <vector>

#include "pitchtrack/pitchtrack.h"

// The warnings as a tuple of pitchtrack.AnalysisWarning, each with its kind ("clipping",
// "quiet_recording", "final_stretch_dropped", "outside_final_range", "empty_contour",
// "stream_ended_early"), start and end in seconds, and the message as its text.
pybind11::tuple warningObjects(const std::vector<pitchtrack::Warning>& warnings);

// Issues each warning through warnings.warn(), attributed to the caller `stacklevel` frames up
// (1: the Python code that called the compiled function). Raises what warnings.warn raises, such
// as the warning itself under an "error" filter. Holds the GIL.
void issueWarnings(const std::vector<pitchtrack::Warning>& warnings, int stacklevel);

// Runs `analyse` (which returns a Contour) without the GIL, then issues the contour's warnings
// `stacklevel` frames up.
template <typename Analyse>
pitchtrack::Contour analyseThenWarn(int stacklevel, Analyse analyse) {
  pitchtrack::Contour contour;
  {
    const pybind11::gil_scoped_release release;
    contour = analyse();
  }
  issueWarnings(contour.warnings, stacklevel);
  return contour;
}

// The warnings as plain tuples for pickling, and back.
pybind11::list warningsState(const std::vector<pitchtrack::Warning>& warnings);
std::vector<pitchtrack::Warning> warningsFromState(const pybind11::handle& state);
