// pitchtrack_timing: the library's track() timed from C++, for python/bench.py to weigh what
// the Python binding adds to a call. Built with the CMake build only; not part of the package.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "pitchtrack/pitchtrack.h"

namespace py = pybind11;

namespace {

// Seconds taken by each of `repeats` calls of pitchtrack::track on the same samples.
std::vector<double> trackSeconds(
    const py::array_t<int16_t, py::array::c_style | py::array::forcecast>& samples,
    int32_t sampleRate, int32_t bits, int repeats) {
  std::vector<double> seconds;
  const int16_t* data = samples.data();
  const auto count = static_cast<size_t>(samples.size());
  py::gil_scoped_release release;
  size_t sink = 0;
  for (int r = 0; r < repeats; ++r) {
    const auto start = std::chrono::steady_clock::now();
    sink += pitchtrack::track(data, count, sampleRate, bits).values.size();
    const auto end = std::chrono::steady_clock::now();
    seconds.push_back(std::chrono::duration<double>(end - start).count());
  }
  if (sink == static_cast<size_t>(-1)) seconds.clear();  // keeps the calls observable
  return seconds;
}

}  // namespace

PYBIND11_MODULE(pitchtrack_timing, m) {
  m.doc() = "pitchtrack::track timed in C++ (benchmark helper).";
  m.def("track_seconds", &trackSeconds, py::arg("samples"), py::arg("sample_rate"), py::arg("bits"),
        py::arg("repeats"),
        "Seconds taken by each of `repeats` calls of pitchtrack::track on int16 samples.");
}
