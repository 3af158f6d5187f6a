#include "contour.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "analysis_warnings.h"
#include "notes.h"
#include "pitchtrack/pitchtrack.h"

namespace py = pybind11;
using namespace pybind11::literals;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const pitchtrack::Contour& contourOf(const py::handle& self) {
  return self.cast<const pitchtrack::Contour&>();
}

// A read-only NumPy view of the contour's values, keeping the contour alive.
py::array valuesView(const py::object& self) {
  const auto& values = contourOf(self).values;
  py::array_t<int32_t> view({values.size()}, {sizeof(int32_t)}, values.data(), self);
  view.attr("setflags")(py::arg("write") = false);
  return view;
}

// One float64 per value: `at(i)` where the frame is pitched, NaN where it is not (or for
// every frame when `pitchedOnly` is false, `at(i)` throughout).
template <typename At>
py::array_t<double> perValue(const py::handle& self, bool pitchedOnly, At at) {
  const auto& contour = contourOf(self);
  py::array_t<double> out(static_cast<py::ssize_t>(contour.size()));
  double* data = out.mutable_data();
  for (size_t i = 0; i < contour.size(); ++i) {
    const bool pitched = contour.values[i] != 0;
    data[i] = pitched || !pitchedOnly ? at(contour, i) : kNaN;
  }
  return out;
}

std::string contourRepr(const pitchtrack::Contour& c) {
  size_t pitched = 0;
  for (const int32_t v : c.values) pitched += v != 0 ? 1 : 0;
  char start[32];
  std::snprintf(start, sizeof start, "%.3f", c.size() == 0 ? 0.0 : c.startSeconds(0));
  return "<pitchtrack.Contour: " + std::to_string(c.size()) + " frames from frame " +
         std::to_string(c.firstFrame) + " (" + start + " s), " + std::to_string(pitched) +
         " pitched>";
}

// The arrays of Contour.to_arrays(): one entry per frame, over the whole recording (`full`) or
// the values alone, timed at each frame's centre or start; NaN where a frame has no pitch.
py::dict contourArrays(const pitchtrack::Contour& c, bool full, bool centre) {
  const auto size = static_cast<int64_t>(c.size());
  const int64_t first = full ? 0 : c.firstFrame;
  const int64_t end = full ? std::max(c.recordingFrames, c.firstFrame + size) : c.firstFrame + size;
  const auto count = static_cast<py::ssize_t>(end - first);
  const bool measured = c.confidence.size() == c.size();
  py::array_t<double> time(count), hz(count), midi(count), confidence(count);
  py::array_t<int32_t> value(count);
  for (py::ssize_t k = 0; k < count; ++k) {
    const int64_t frame = first + k;
    const auto i = static_cast<size_t>(frame - c.firstFrame);
    const bool pitched = frame >= c.firstFrame && frame < c.firstFrame + size && c.values[i] != 0;
    time.mutable_at(k) = (static_cast<double>(frame) + (centre ? 0.5 : 0.0)) * c.frameSeconds;
    value.mutable_at(k) = pitched ? c.values[i] : 0;
    hz.mutable_at(k) = pitched ? c.frequencyHz(i) : kNaN;
    midi.mutable_at(k) = pitched ? c.midiNote(i) : kNaN;
    confidence.mutable_at(k) = pitched && measured ? c.confidence[i] : kNaN;
  }
  return py::dict("time"_a = time, "value"_a = value, "hz"_a = hz, "midi"_a = midi,
                  "confidence"_a = confidence);
}

py::tuple contourState(const pitchtrack::Contour& c) {
  return py::make_tuple(c.values, c.firstFrame, c.frameSeconds, c.recordingSeconds, c.hz,
                        c.confidence, notesToArray(c.notes), c.recordingFrames,
                        warningsState(c.warnings));
}

// A pickled contour; the seven-part state of earlier versions has no frame count or warnings.
pitchtrack::Contour contourFromState(const py::tuple& state) {
  if (state.size() != 7 && state.size() != 9) {
    throw std::runtime_error("pitchtrack.Contour: bad pickled state");
  }
  pitchtrack::Contour c;
  c.values = state[0].cast<std::vector<int32_t>>();
  c.firstFrame = state[1].cast<int64_t>();
  c.frameSeconds = state[2].cast<double>();
  c.recordingSeconds = state[3].cast<double>();
  c.hz = state[4].cast<std::vector<double>>();
  c.confidence = state[5].cast<std::vector<double>>();
  c.notes = notesFromArray(state[6]);
  if (state.size() == 9) {
    c.recordingFrames = state[7].cast<int64_t>();
    c.warnings = warningsFromState(state[8]);
  }
  return c;
}

}  // namespace

void defineContour(py::module_& m) {
  py::class_<pitchtrack::Contour> contour(m, "Contour",
                                          R"doc(The pitch contour of a recording, placed in time.

One value per 32 ms frame: the pitch in tenths of a semitone, truncated to a
whole semitone (690 is A4 = 440 Hz, 600 is C4), or 0 for a frame without
pitch. Unpitched frames at either end are cut, so the first and the last
value are pitched; first_frame says how many were cut at the start. len()
is the number of values, and iterating gives them as ints.

The arrays values, times, hz, midi and confidence cover the values alone and
time each frame by its start; to_arrays() gives them over the whole recording,
timed at each frame's centre, as librosa and parselmouth do. warnings holds
what the analysis warned about (also issued through Python's warnings module).

Contours compare equal when their values, first_frame and frame_seconds do,
and they pickle (for multiprocessing and Dask).)doc");
  contour
      .def(py::init([](std::vector<int32_t> values, int64_t firstFrame, double frameSeconds) {
             return pitchtrack::Contour{std::move(values), firstFrame, frameSeconds};
           }),
           py::arg("values") = std::vector<int32_t>{}, py::arg("first_frame") = 0,
           py::arg("frame_seconds") = pitchtrack::kFrameMilliseconds / 1000.0,
           R"doc(__init__(self, values=(), first_frame=0, frame_seconds=0.032)
--

A contour from its parts, such as the values of a pitch file.)doc")
      .def_property_readonly("values", &valuesView,
                             "The values (read-only numpy int32 array): tenths of a semitone, 0 "
                             "where the frame has no pitch.")
      .def_readonly("first_frame", &pitchtrack::Contour::firstFrame,
                    "Index in the recording of the frame of values[0] (int).")
      .def_readonly("frame_seconds", &pitchtrack::Contour::frameSeconds,
                    "Duration and hop of one frame in seconds (float, 0.032).")
      .def_readonly("recording_seconds", &pitchtrack::Contour::recordingSeconds,
                    "Length of the whole recording in seconds (float; 0 for a contour made "
                    "from its parts).")
      .def_readonly("recording_frames", &pitchtrack::Contour::recordingFrames,
                    "The whole 32 ms frames of the recording (int): the values lie at frames "
                    "first_frame .. first_frame + len(self) - 1 of them (0 for a contour made "
                    "from its parts).")
      .def_property_readonly(
          "warnings", [](const pitchtrack::Contour& c) { return warningObjects(c.warnings); },
          "What the analysis warned about, in order (a tuple of pitchtrack.AnalysisWarning: "
          "kind, start and end in seconds, the message as str()); the same warnings go through "
          "Python's warnings module when the contour is made.")
      .def("to_arrays", &contourArrays, py::kw_only(), py::arg("full") = true,
           py::arg("centre") = true,
           R"doc(to_arrays(self, *, full=True, centre=True)
--

The contour as a dict of numpy arrays with one entry per frame, for plotting
or pandas.DataFrame(contour.to_arrays()):
  time: seconds from the start of the recording (float64);
  value: tenths of a semitone, 0 where the frame has no pitch (int32);
  hz, midi: the pitch in Hz and as a MIDI note number, NaN where the frame
    has no pitch (float64);
  confidence: the precise analysis' confidence 0..1, NaN where the frame has
    no pitch and throughout a contour of the default analysis (float64).
full=True covers every frame of the recording (recording_frames of them),
the unpitched ends that the contour cuts included; full=False the values
alone. centre=True times each frame at its centre ((k + 0.5) * 0.032 s for
frame k), as librosa and parselmouth do; centre=False at its start.)doc")
      .def_property_readonly(
          "times",
          [](const py::handle& self) {
            return perValue(self, false, [](const pitchtrack::Contour& c, size_t i) {
              return c.startSeconds(i);
            });
          },
          "Start of each value's frame in seconds from the start of the recording (numpy "
          "float64 array).")
      .def_property_readonly(
          "hz",
          [](const py::handle& self) {
            return perValue(self, true, [](const pitchtrack::Contour& c, size_t i) {
              return c.frequencyHz(i);
            });
          },
          "Each value in Hz; NaN where the frame has no pitch (numpy float64 array). From the "
          "precise analysis the measured frequency, from the default the frequency of the "
          "whole semitone (equal temperament, A4 = 440 Hz).")
      .def_property_readonly(
          "confidence",
          [](const py::handle& self) -> py::object {
            if (contourOf(self).confidence.size() != contourOf(self).size()) return py::none();
            return perValue(self, true,
                            [](const pitchtrack::Contour& c, size_t i) { return c.confidence[i]; });
          },
          "The precise analysis' confidence of each value, 0..1, NaN where the frame has no "
          "pitch (numpy float64 array); None for a contour of the default analysis.")
      .def_property_readonly(
          "midi",
          [](const py::handle& self) {
            return perValue(self, true,
                            [](const pitchtrack::Contour& c, size_t i) { return c.midiNote(i); });
          },
          "Each value as a MIDI note number (69 = A4); NaN where the frame has no pitch "
          "(numpy float64 array).")
      .def(
          "line", [](const pitchtrack::Contour& c) { return pitchtrack::formatContour(c); },
          R"doc(line(self)
--

The contour as the pitchtrack tool's pitch file holds it: the values joined
by "+" and ended by a newline ("600+0+610\n"); "\n" for an empty contour.)doc")
      .def("__len__", &pitchtrack::Contour::size)
      .def(
          "__iter__",
          [](const pitchtrack::Contour& c) {
            return py::make_iterator(c.values.begin(), c.values.end());
          },
          py::keep_alive<0, 1>())
      .def("__repr__", &contourRepr)
      .def("__eq__", [](const pitchtrack::Contour& a, const py::object& other) -> py::object {
        if (!py::isinstance<pitchtrack::Contour>(other)) {
          return py::reinterpret_borrow<py::object>(Py_NotImplemented);
        }
        const auto& b = other.cast<const pitchtrack::Contour&>();
        return py::bool_(a.values == b.values && a.firstFrame == b.firstFrame &&
                         a.frameSeconds == b.frameSeconds);
      });
  contour.attr("__hash__") = py::none();
  defineNotes(m, contour);
  contour.def(py::pickle(&contourState, &contourFromState));
}
