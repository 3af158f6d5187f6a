// The compiled half of the pitchtrack package: the library's entries over NumPy arrays.
//
// Arrays are inspected while the GIL is held; converting them to one channel of 16-bit (or
// 8-bit) samples and the analysis itself run without it, so threads track recordings in
// parallel. Every failure of the library becomes a Python exception; nothing prints.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <mutex>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "notes.h"
#include "pitchtrack/pitchtrack.h"
#include "pitchtrack/pitchtrack_c.h"

namespace py = pybind11;

namespace {

// The exception classes of pitchtrack._errors, kept for the life of the process (never
// released: they must outlive the interpreter's own teardown).
PyObject* gWaveError = nullptr;
PyObject* gInternalError = nullptr;

enum class Encoding { kPcm16, kPcm8, kFloat32, kFloat64 };

// A caller's array checked for the analysis: C-contiguous, native byte order, frames x channels.
struct Samples {
  py::array array;
  Encoding encoding = Encoding::kPcm16;
  size_t frames = 0;
  size_t channels = 1;
  int32_t bits = 16;
};

// One channel of samples as the library takes them, borrowed from the caller's array or owned.
struct Mono {
  std::vector<int16_t> owned;
  const int16_t* data = nullptr;
  size_t count = 0;
};

int32_t checkedRate(int64_t rate) {
  if (!pitchtrack::sampleRateSupported(rate)) {
    throw py::value_error("sample_rate " + std::to_string(rate) + " Hz is outside " +
                          std::to_string(pitchtrack::kMinSampleRate) + "-" +
                          std::to_string(pitchtrack::kMaxSampleRate) + " Hz");
  }
  return static_cast<int32_t>(rate);
}

int32_t checkedBits(int64_t bits) {
  if (bits != 8 && bits != 16) {
    throw py::value_error("bits must be 8 or 16, not " + std::to_string(bits));
  }
  return static_cast<int32_t>(bits);
}

template <typename T>
py::array contiguous(const py::array& array) {
  return py::array_t<T, py::array::c_style | py::array::forcecast>::ensure(array);
}

// Checks the dtype, the shape and the sample size of `samples`; `bits` is the caller's sample
// size, or nullopt for the one the dtype implies.
Samples inspect(const py::handle& samples, std::optional<int64_t> bits) {
  const py::array array = py::array::ensure(samples);
  if (!array) throw py::value_error("samples must be a NumPy array or a sequence of numbers");
  const py::dtype dtype = array.dtype();
  const char kind = dtype.kind();
  const auto size = dtype.itemsize();
  Samples s;
  if (kind == 'i' && size == 2) {
    s.encoding = Encoding::kPcm16;
    s.array = contiguous<int16_t>(array);
  } else if (kind == 'u' && size == 1) {
    s.encoding = Encoding::kPcm8;
    s.array = contiguous<uint8_t>(array);
  } else if (kind == 'f' && size == 4) {
    s.encoding = Encoding::kFloat32;
    s.array = contiguous<float>(array);
  } else if (kind == 'f' && size == 8) {
    s.encoding = Encoding::kFloat64;
    s.array = contiguous<double>(array);
  } else {
    throw py::value_error("samples of dtype " +
                          py::str(static_cast<const py::handle&>(dtype)).cast<std::string>() +
                          " are not taken: give int16 (16-bit PCM), uint8 (8-bit PCM) or "
                          "float32/float64 (full scale -1..1) values");
  }
  // The dtype is taken, so only memory can fail the conversion, and pybind11 has cleared the
  // error it raised.
  if (!s.array) {
    if (PyErr_Occurred() != nullptr) throw py::error_already_set();
    throw std::bad_alloc();
  }
  if (array.ndim() == 1) {
    s.frames = static_cast<size_t>(array.shape(0));
  } else if (array.ndim() == 2) {
    s.frames = static_cast<size_t>(array.shape(0));
    s.channels = static_cast<size_t>(array.shape(1));
    if (s.channels == 0) {
      throw py::value_error("samples of shape (" + std::to_string(s.frames) +
                            ", 0) have no channels");
    }
  } else {
    throw py::value_error("samples must be one channel (1-D) or frames x channels (2-D), not " +
                          std::to_string(array.ndim()) + "-D");
  }
  const int32_t natural = s.encoding == Encoding::kPcm8 ? 8 : 16;
  s.bits = bits ? checkedBits(*bits) : natural;
  if (s.bits != natural && s.encoding != Encoding::kPcm16) {
    throw py::value_error(s.encoding == Encoding::kPcm8
                              ? "uint8 samples are 8-bit, not " + std::to_string(s.bits) + "-bit"
                              : "float samples become 16-bit samples, not " +
                                    std::to_string(s.bits) + "-bit");
  }
  return s;
}

template <typename T, typename Convert>
std::vector<int16_t> converted(const Samples& s, Convert convert) {
  const auto* in = static_cast<const T*>(s.array.data());
  std::vector<int16_t> out(s.frames * s.channels);
  for (size_t i = 0; i < out.size(); ++i) out[i] = convert(in[i]);
  return out;
}

// The samples as one channel, converted and mixed as the reader converts and mixes a file's.
// Runs without the GIL: it touches only the array's memory, which `s` keeps alive.
Mono toMono(const Samples& s) {
  std::vector<int16_t> linear;
  switch (s.encoding) {
    case Encoding::kPcm16:
      break;
    case Encoding::kPcm8:
      linear = converted<uint8_t>(s, [](uint8_t v) { return static_cast<int16_t>(v); });
      break;
    case Encoding::kFloat32:
      linear = converted<float>(s, [](float v) { return pitchtrack::sampleFromFloat(v); });
      break;
    case Encoding::kFloat64:
      linear = converted<double>(s, [](double v) { return pitchtrack::sampleFromFloat(v); });
      break;
  }
  const bool borrowed = s.encoding == Encoding::kPcm16;
  const int16_t* data = borrowed ? static_cast<const int16_t*>(s.array.data()) : linear.data();
  const size_t total = s.frames * s.channels;
  if (borrowed && s.bits == 8) {
    for (size_t i = 0; i < total; ++i) {
      if (data[i] < 0 || data[i] > 255) {
        throw std::invalid_argument("8-bit samples are the unsigned byte values 0..255, not " +
                                    std::to_string(data[i]));
      }
    }
  }
  Mono mono;
  if (s.channels > 1) {
    mono.owned.resize(s.frames);
    pitchtrack::mixDown(data, s.frames, s.channels, mono.owned.data());
  } else if (!borrowed) {
    mono.owned = std::move(linear);
  } else {
    mono.data = data;
    mono.count = total;
    return mono;
  }
  mono.data = mono.owned.data();
  mono.count = mono.owned.size();
  return mono;
}

// The options of the keyword arguments precise, normalize, keep_final and voicing.
pitchtrack::Options remedies(bool precise, bool normalize, bool keepFinal,
                             const std::string& voicing) {
  pitchtrack::Options options;
  if (precise) options.analysis = pitchtrack::Analysis::kPrecise;
  options.normalize = normalize;
  options.keepFinal = keepFinal;
  if (voicing == "strict") {
    options.voicing = pitchtrack::Voicing::kStrict;
  } else if (voicing != "relative") {
    throw py::value_error("voicing must be 'relative' or 'strict', not '" + voicing + "'");
  }
  return options;
}

pitchtrack::Contour trackSamples(const py::object& samples, int64_t sampleRate,
                                 std::optional<int64_t> bits, bool precise, bool normalize,
                                 bool keepFinal, const std::string& voicing) {
  const int32_t rate = checkedRate(sampleRate);
  const pitchtrack::Options options = remedies(precise, normalize, keepFinal, voicing);
  const Samples s = inspect(samples, bits);
  py::gil_scoped_release release;
  const Mono mono = toMono(s);
  return pitchtrack::track(mono.data, mono.count, rate, s.bits, options);
}

pitchtrack::Contour trackFile(const std::filesystem::path& path, bool precise, bool normalize,
                              bool keepFinal, const std::string& voicing) {
  const std::string name = path.string();
  const pitchtrack::Options options = remedies(precise, normalize, keepFinal, voicing);
  py::gil_scoped_release release;
  return pitchtrack::trackFile(name, options);
}

// A Tracker for Python: the samples of each push are checked like track()'s, and a lock keeps
// two threads from feeding the same tracker at once (the analysis runs without the GIL). A live
// tracker collects each frame as it becomes final for pull(), and keeps nothing for finish().
class StreamTracker {
 public:
  StreamTracker(int64_t sampleRate, int64_t bits, bool precise, bool normalize, bool keepFinal,
                const std::string& voicing, bool live)
      : rate_(checkedRate(sampleRate)),
        bits_(checkedBits(bits)),
        tracker_(std::in_place, rate_, bits_,
                 liveOptions(remedies(precise || live, normalize, keepFinal, voicing), live)) {}

  void push(const py::object& block) {
    const Samples s = inspect(block, bits_);
    py::gil_scoped_release release;
    const std::lock_guard lock(mutex_);
    if (!tracker_) throw std::runtime_error("this Tracker is finished: make a new one");
    const Mono mono = toMono(s);
    tracker_->push(mono.data, mono.count);
  }

  pitchtrack::Contour finish() {
    py::gil_scoped_release release;
    const std::lock_guard lock(mutex_);
    if (!tracker_) throw std::runtime_error("this Tracker is finished: make a new one");
    pitchtrack::Tracker tracker = std::move(*tracker_);
    tracker_.reset();
    return tracker.finish();
  }

  // The frames final since the last pull, in order.
  std::vector<pitchtrack::Frame> pull() {
    py::gil_scoped_release release;
    const std::lock_guard lock(mutex_);
    std::vector<pitchtrack::Frame> frames;
    frames.swap(final_);
    return frames;
  }

  int32_t sampleRate() const { return rate_; }
  int32_t bits() const { return bits_; }
  bool finished() {
    py::gil_scoped_release release;
    const std::lock_guard lock(mutex_);
    return !tracker_;
  }

 private:
  pitchtrack::Options liveOptions(pitchtrack::Options options, bool live) {
    if (live) {
      options.keepFrames = false;
      options.frameSink = [this](const pitchtrack::Frame& frame) { final_.push_back(frame); };
    }
    return options;
  }

  int32_t rate_;
  int32_t bits_;
  std::mutex mutex_;
  std::vector<pitchtrack::Frame> final_;  // frames not pulled yet; guarded by mutex_
  std::optional<pitchtrack::Tracker> tracker_;
};

// The tracker of a Python Tracker object whose __init__ ran; TypeError for an object made by
// Tracker.__new__ alone, which holds no tracker yet.
StreamTracker& initialised(const py::handle& self) {
  if (!py::isinstance<StreamTracker>(self)) throw py::type_error("not a pitchtrack.Tracker");
  auto* instance = reinterpret_cast<py::detail::instance*>(self.ptr());
  const py::detail::value_and_holder held =
      instance->get_value_and_holder(py::detail::get_type_info(typeid(StreamTracker)));
  if (!held.holder_constructed()) {
    throw py::type_error("this Tracker was not initialised: make one with Tracker(sample_rate)");
  }
  return self.cast<StreamTracker&>();
}

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
    data[i] = pitched || !pitchedOnly ? at(contour, i) : std::numeric_limits<double>::quiet_NaN();
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

void translateLibraryErrors(std::exception_ptr error) {
  try {
    if (error) std::rethrow_exception(error);
  } catch (const pitchtrack::WaveError& e) {
    const py::object instance = py::reinterpret_borrow<py::object>(gWaveError)(
        e.path(), e.code(), e.reason(), e.codeText());
    PyErr_SetObject(gWaveError, instance.ptr());
  } catch (const pitchtrack::InternalError& e) {
    PyErr_SetString(gInternalError, e.what());
  }
  // The rest keep pybind11's mapping: invalid_argument and length_error give ValueError,
  // bad_alloc MemoryError, runtime_error RuntimeError.
}

}  // namespace

PYBIND11_MODULE(_pitchtrack, m) {
  // Docstrings carry their own signature lines, in the form help() and inspect read.
  py::options options;
  options.disable_function_signatures();

  m.doc() = "The compiled half of pitchtrack; import pitchtrack instead.";

  const py::module_ errors = py::module_::import("pitchtrack._errors");
  gWaveError = py::object(errors.attr("WaveError")).release().ptr();
  gInternalError = py::object(errors.attr("InternalError")).release().ptr();
  py::register_exception_translator(&translateLibraryErrors);

  m.attr("FRAME_SECONDS") = pitchtrack::kFrameMilliseconds / 1000.0;
  m.attr("MIN_SAMPLE_RATE") = pitchtrack::kMinSampleRate;
  m.attr("MAX_SAMPLE_RATE") = pitchtrack::kMaxSampleRate;
  m.attr("__version__") = pitchtrack_version();

  py::class_<pitchtrack::Contour> contour(m, "Contour",
                                          R"doc(The pitch contour of a recording, placed in time.

One value per 32 ms frame: the pitch in tenths of a semitone, truncated to a
whole semitone (690 is A4 = 440 Hz, 600 is C4), or 0 for a frame without
pitch. Unpitched frames at either end are cut, so the first and the last
value are pitched; first_frame says how many were cut at the start. len()
is the number of values, and iterating gives them as ints.

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
  contour.def(py::pickle(
      [](const pitchtrack::Contour& c) {
        return py::make_tuple(c.values, c.firstFrame, c.frameSeconds, c.recordingSeconds, c.hz,
                              c.confidence, notesToArray(c.notes));
      },
      [](const py::tuple& state) {
        if (state.size() != 7) throw std::runtime_error("pitchtrack.Contour: bad pickled state");
        return pitchtrack::Contour{state[0].cast<std::vector<int32_t>>(),
                                   state[1].cast<int64_t>(),
                                   state[2].cast<double>(),
                                   state[3].cast<double>(),
                                   state[4].cast<std::vector<double>>(),
                                   state[5].cast<std::vector<double>>(),
                                   notesFromArray(state[6])};
      }));

  // pitchtrack.track and pitchtrack.track_file (in __init__.py) document these two.
  m.def("track", &trackSamples, py::arg("samples"), py::arg("sample_rate"),
        py::arg("bits") = py::none(), py::kw_only(), py::arg("precise") = false,
        py::arg("normalize") = false, py::arg("keep_final") = false,
        py::arg("voicing") = "relative",
        "track(samples, sample_rate, bits=None, *, precise=False, normalize=False, "
        "keep_final=False, voicing='relative')\n--\n\nThe contour of samples in memory.");
  m.def("track_file", &trackFile, py::arg("path"), py::kw_only(), py::arg("precise") = false,
        py::arg("normalize") = false, py::arg("keep_final") = false,
        py::arg("voicing") = "relative",
        "track_file(path, *, precise=False, normalize=False, keep_final=False, "
        "voicing='relative')\n--\n\nThe contour of a RIFF WAVE file.");

  py::class_<pitchtrack::Frame>(m, "Frame", R"doc(One frame of a live tracker, final.

Frame index covers index * 32 ms .. (index + 1) * 32 ms of the recording;
value is in tenths of a semitone (0 without pitch), hz the measured frequency
and confidence 0..1, the numbers the contour of the same recording holds.)doc")
      .def_readonly("index", &pitchtrack::Frame::index, "The frame's index (int).")
      .def_readonly("value", &pitchtrack::Frame::value, "Tenths of a semitone; 0 = no pitch.")
      .def_readonly("hz", &pitchtrack::Frame::hz, "The measured frequency; 0 = no pitch.")
      .def_readonly("confidence", &pitchtrack::Frame::confidence, "0..1; 0 = no pitch.")
      .def_property_readonly("seconds", &pitchtrack::Frame::startSeconds,
                             "The frame's start in seconds from the start of the recording.")
      .def("__repr__", [](const pitchtrack::Frame& frame) {
        return "Frame(index=" + std::to_string(frame.index) +
               ", value=" + std::to_string(frame.value) +
               ", hz=" + py::repr(py::float_(frame.hz)).cast<std::string>() +
               ", confidence=" + py::repr(py::float_(frame.confidence)).cast<std::string>() + ")";
      });

  py::class_<StreamTracker>(m, "Tracker", R"doc(Tracks a recording that arrives block by block.

    tracker = pitchtrack.Tracker(16000)          # 16-bit samples at 16 kHz
    for block in blocks:                         # numpy arrays of any length
        tracker.push(block)
    contour = tracker.finish()

push() every block in order, then finish() once. Blocks take the dtypes and
shapes track() takes (uint8 blocks need bits=8, float blocks bits=16) and may
have any size; the contour equals track() of all the samples at once. Memory
grows with the recording at 8000 Hz, whatever its own rate. One Tracker may be
fed from any thread; pushes from several threads at once are serialised.)doc")
      .def(
          py::init<int64_t, int64_t, bool, bool, bool, const std::string&, bool>(),
          py::arg("sample_rate"), py::arg("bits") = 16, py::kw_only(), py::arg("precise") = false,
          py::arg("normalize") = false, py::arg("keep_final") = false,
          py::arg("voicing") = "relative", py::arg("live") = false,
          R"doc(__init__(self, sample_rate, bits=16, *, precise=False, normalize=False, keep_final=False, voicing='relative', live=False)
--

A tracker for samples at sample_rate Hz (1000 to 768000) of bits bits (8 or
16); ValueError otherwise. normalize, keep_final and voicing are the remedies
of track(). live=True takes the precise analysis and hands out each frame as
soon as it is final through pull(); finish() then returns a contour without
values, as nothing is kept for it, so an endless stream runs in flat memory.)doc")
      .def(
          "push",
          [](const py::object& self, const py::object& block) { initialised(self).push(block); },
          py::arg("block"),
          R"doc(push(self, block)
--

Adds the next block of samples. ValueError for a block track() would refuse
or whose dtype does not match the tracker's bits; RuntimeError after
finish().)doc")
      .def(
          "pull", [](const py::object& self) { return initialised(self).pull(); },
          R"doc(pull(self)
--

A live tracker's frames that became final since the last pull (a list of
Frame, in order; empty for a tracker that is not live). After finish(), the
last ones.)doc")
      .def(
          "finish", [](const py::object& self) { return initialised(self).finish(); },
          R"doc(finish(self)
--

The contour of every sample pushed. The tracker is then finished: a further
push() or finish() raises RuntimeError.)doc")
      .def_property_readonly(
          "sample_rate", [](const py::object& self) { return initialised(self).sampleRate(); },
          "The sample rate in Hz (int).")
      .def_property_readonly(
          "bits", [](const py::object& self) { return initialised(self).bits(); },
          "The sample size, 8 or 16 (int).")
      .def_property_readonly(
          "finished", [](const py::object& self) { return initialised(self).finished(); },
          "Whether finish() has been called (bool).");
}
