#include "notes.h"

#include <pybind11/numpy.h>
#include <pybind11/stl/filesystem.h>

#include <filesystem>
#include <string>
#include <vector>

#include "analysis_warnings.h"

namespace py = pybind11;

namespace {

py::array_t<pitchtrack::Note> notesArray(const std::vector<pitchtrack::Note>& notes) {
  py::array_t<pitchtrack::Note> out(static_cast<py::ssize_t>(notes.size()));
  std::copy(notes.begin(), notes.end(), out.mutable_data());
  return out;
}

py::array_t<pitchtrack::Note> trackNotes(const std::filesystem::path& path, double minNote,
                                         double onsetDb) {
  if (!(minNote > 0) || !(onsetDb > 0)) {
    throw py::value_error("min_note and onset_db must be positive");
  }
  pitchtrack::Options options;
  options.analysis = pitchtrack::Analysis::kPrecise;
  options.notes = {minNote, onsetDb};
  const std::string name = path.string();
  // Called by pitchtrack.track_notes in __init__.py: its caller is two frames up.
  return notesArray(analyseThenWarn(2, [&] { return pitchtrack::trackFile(name, options); }).notes);
}

}  // namespace

py::object notesToArray(const std::vector<pitchtrack::Note>& notes) { return notesArray(notes); }

std::vector<pitchtrack::Note> notesFromArray(const py::object& array) {
  const auto records = array.cast<py::array_t<pitchtrack::Note, py::array::c_style>>();
  return {records.data(), records.data() + records.size()};
}

void defineNotes(py::module_& m, py::class_<pitchtrack::Contour>& contour) {
  PYBIND11_NUMPY_DTYPE_EX(pitchtrack::Note, onsetSeconds, "onset", offsetSeconds, "offset",
                          midiNote, "note", cents, "cents", hz, "hz", frames, "frames", confidence,
                          "confidence", levelDb, "level_db", velocity, "velocity");
  contour.def(
      "notes", [](const pitchtrack::Contour& c) { return notesArray(c.notes); },
      R"doc(notes(self)
--

The notes of a contour of the precise analysis (numpy structured array, one
record per note; empty from the default analysis): onset and offset in
seconds, note (MIDI number), cents, hz, frames, confidence, level_db and
velocity. pandas.DataFrame(contour.notes()) makes a table of it.)doc");
  // pitchtrack.track_notes (in __init__.py) documents it.
  m.def("track_notes", &trackNotes, py::arg("path"), py::kw_only(), py::arg("min_note") = 0.1,
        py::arg("onset_db") = 6.0, "track_notes(path, *, min_note=0.1, onset_db=6.0)");
}
