// The compiled half of the pitchtrack package: the library's entries over NumPy arrays.
//
// Arrays are inspected while the GIL is held; converting them to one channel of 16-bit (or
// 8-bit) samples and the analysis itself run without it, so threads track recordings in
// parallel. Every failure of the library becomes a Python exception; nothing prints.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "analysis_warnings.h"
#include "contour.h"
#include "notes.h"
#include "pitchtrack/pitchtrack.h"
#include "pitchtrack/pitchtrack_c.h"
#include "samples.h"

namespace py = pybind11;

namespace {

// The exception classes of pitchtrack._errors, kept for the life of the process (never
// released: they must outlive the interpreter's own teardown).
PyObject* gWaveError = nullptr;
PyObject* gInternalError = nullptr;

// The reader's code of a file that could not be opened (WaveError::code()).
constexpr uint32_t kFileOpenCode = 4;

// The WaveErrors that are also the OSError Python code expects when open() fails the same way:
// the reason the library gives, the class of pitchtrack._errors, and that class once imported.
struct OpenFailure {
  const char* reason;
  const char* name;
  PyObject* type = nullptr;
};
std::array<OpenFailure, 3> gOpenFailures = {{
    {"no such file", "WaveFileNotFoundError"},
    {"permission denied", "WavePermissionError"},
    {"is a directory", "WaveIsADirectoryError"},
}};

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

// The compiled track() and track_file() are called by their wrappers in __init__.py, so the
// caller a warning belongs to is two frames up.
constexpr int kWrappedStackLevel = 2;

pitchtrack::Contour trackSamples(const py::object& samples, int64_t sampleRate,
                                 std::optional<int64_t> bits, bool precise, bool normalize,
                                 bool keepFinal, const std::string& voicing,
                                 std::optional<int64_t> channelAxis) {
  const int32_t rate = checkedRate(sampleRate);
  const pitchtrack::Options options = remedies(precise, normalize, keepFinal, voicing);
  const Samples s = inspect(samples, bits, channelAxis);
  return analyseThenWarn(kWrappedStackLevel, [&] {
    const Mono mono = toMono(s);
    return pitchtrack::track(mono.data, mono.count, rate, s.bits, options);
  });
}

pitchtrack::Contour trackFile(const std::filesystem::path& path, bool precise, bool normalize,
                              bool keepFinal, const std::string& voicing) {
  const std::string name = path.string();
  const pitchtrack::Options options = remedies(precise, normalize, keepFinal, voicing);
  return analyseThenWarn(kWrappedStackLevel, [&] { return pitchtrack::trackFile(name, options); });
}

// A Tracker for Python: the samples of each push are checked like track()'s, and a lock keeps
// two threads from feeding the same tracker at once (the analysis runs without the GIL). A live
// tracker collects each frame as it becomes final for pull() and each note as it ends for
// pull_notes(), and keeps nothing for finish().
class StreamTracker {
 public:
  StreamTracker(int64_t sampleRate, int64_t bits, bool precise, bool normalize, bool keepFinal,
                const std::string& voicing, bool live, std::optional<int64_t> channelAxis)
      : rate_(checkedRate(sampleRate)),
        bits_(checkedBits(bits)),
        channelAxis_(channelAxis),
        tracker_(std::in_place, rate_, bits_,
                 liveOptions(remedies(precise || live, normalize, keepFinal, voicing), live)) {}

  void push(const py::object& block) {
    const Samples s = inspect(block, bits_, channelAxis_);
    keepLayout(s);
    py::gil_scoped_release release;
    const std::lock_guard lock(mutex_);
    if (!tracker_) throw std::runtime_error("this Tracker is finished: make a new one");
    const Mono mono = toMono(s);
    tracker_->push(mono.data, mono.count);
  }

  // Called by the Python code that the warnings belong to, one frame up.
  pitchtrack::Contour finish() {
    return analyseThenWarn(1, [this] {
      const std::lock_guard lock(mutex_);
      if (!tracker_) throw std::runtime_error("this Tracker is finished: make a new one");
      pitchtrack::Tracker tracker = std::move(*tracker_);
      tracker_.reset();
      return tracker.finish();
    });
  }

  // The frames final since the last pull, and the notes ended since the last pullNotes, in order.
  std::vector<pitchtrack::Frame> pull() { return takeAll(final_); }
  std::vector<pitchtrack::Note> pullNotes() { return takeAll(finalNotes_); }

  int32_t sampleRate() const { return rate_; }
  int32_t bits() const { return bits_; }
  bool finished() {
    py::gil_scoped_release release;
    const std::lock_guard lock(mutex_);
    return !tracker_;
  }

 private:
  // Every block of a stream has the same channels, laid out alike: the axis that held them in
  // the first 2-D block holds them in the later ones, and a block with another count of
  // channels (a misread layout, or another stream) is refused. Runs with the GIL, which guards
  // the layout.
  void keepLayout(const Samples& s) {
    if (channels_ != 0 && s.channels != channels_) {
      throw py::value_error("a block of " + std::to_string(s.channels) +
                            " channels after blocks of " + std::to_string(channels_) +
                            ": every block needs the same channels (pass channel_axis to say "
                            "which axis holds them)");
    }
    channels_ = s.channels;
    if (!channelAxis_ && s.channelAxis) channelAxis_ = s.channelAxis;
  }

  // What a live tracker collected into `pending`, leaving it empty.
  template <typename Item>
  std::vector<Item> takeAll(std::vector<Item>& pending) {
    py::gil_scoped_release release;
    const std::lock_guard lock(mutex_);
    std::vector<Item> items;
    items.swap(pending);
    return items;
  }

  pitchtrack::Options liveOptions(pitchtrack::Options options, bool live) {
    if (live) {
      options.keepFrames = false;
      options.frameSink = [this](const pitchtrack::Frame& frame) { final_.push_back(frame); };
      options.noteSink = [this](const pitchtrack::Note& note) { finalNotes_.push_back(note); };
    }
    return options;
  }

  int32_t rate_;
  int32_t bits_;
  std::optional<int64_t> channelAxis_;
  size_t channels_ = 0;  // of the blocks so far; 0 before the first
  std::mutex mutex_;
  std::vector<pitchtrack::Frame> final_;      // frames not pulled yet; guarded by mutex_
  std::vector<pitchtrack::Note> finalNotes_;  // notes not pulled yet; guarded by mutex_
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

// The class of pitchtrack._errors that `e` becomes.
PyObject* waveErrorType(const pitchtrack::WaveError& e) {
  for (const OpenFailure& failure : gOpenFailures) {
    if (e.code() == kFileOpenCode && e.reason() == failure.reason) return failure.type;
  }
  return gWaveError;
}

void translateLibraryErrors(std::exception_ptr error) {
  try {
    if (error) std::rethrow_exception(error);
  } catch (const pitchtrack::WaveError& e) {
    PyObject* type = waveErrorType(e);
    const py::object instance =
        py::reinterpret_borrow<py::object>(type)(e.path(), e.code(), e.reason(), e.codeText());
    PyErr_SetObject(type, instance.ptr());
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
  for (OpenFailure& failure : gOpenFailures) {
    failure.type = py::object(errors.attr(failure.name)).release().ptr();
  }
  py::register_exception_translator(&translateLibraryErrors);

  m.attr("FRAME_SECONDS") = pitchtrack::kFrameMilliseconds / 1000.0;
  m.attr("MIN_SAMPLE_RATE") = pitchtrack::kMinSampleRate;
  m.attr("MAX_SAMPLE_RATE") = pitchtrack::kMaxSampleRate;
  m.attr("__version__") = pitchtrack_version();

  defineContour(m);

  // pitchtrack.track and pitchtrack.track_file (in __init__.py) document these two.
  m.def("track", &trackSamples, py::arg("samples"), py::arg("sample_rate"),
        py::arg("bits") = py::none(), py::kw_only(), py::arg("precise") = false,
        py::arg("normalize") = false, py::arg("keep_final") = false,
        py::arg("voicing") = "relative", py::arg("channel_axis") = py::none(),
        "track(samples, sample_rate, bits=None, *, precise=False, normalize=False, "
        "keep_final=False, voicing='relative', channel_axis=None)\n--\n\nThe contour of "
        "samples in memory.");
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
have any size; the contour equals track() of all the samples at once. Every
block has the same channels: the axis that held them in the first 2-D block
(or channel_axis) holds them in the others, and a block with another count
of channels is refused, so give channel_axis when the first block may be
shorter than its channel count. Memory
grows with the recording at 8000 Hz, whatever its own rate. One Tracker may be
fed from any thread; pushes from several threads at once are serialised.)doc")
      .def(
          py::init<int64_t, int64_t, bool, bool, bool, const std::string&, bool,
                   std::optional<int64_t>>(),
          py::arg("sample_rate"), py::arg("bits") = 16, py::kw_only(), py::arg("precise") = false,
          py::arg("normalize") = false, py::arg("keep_final") = false,
          py::arg("voicing") = "relative", py::arg("live") = false,
          py::arg("channel_axis") = py::none(),
          R"doc(__init__(self, sample_rate, bits=16, *, precise=False, normalize=False, keep_final=False, voicing='relative', live=False, channel_axis=None)
--

A tracker for samples at sample_rate Hz (1000 to 768000) of bits bits (8 or
16); ValueError otherwise. normalize, keep_final and voicing are the remedies
of track(); channel_axis says which axis of a 2-D block holds the channels,
as in track(). live=True takes the precise analysis and hands out each frame
as soon as it is final through pull(); finish() then returns a contour without
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
          "pull_notes",
          [](const py::object& self) { return notesToArray(initialised(self).pullNotes()); },
          R"doc(pull_notes(self)

A live tracker's notes that ended since the last pull_notes, as the structured
array track_notes() gives (empty for a tracker that is not live). A note comes
once the frame that ends it has been pulled-ready, about 0.3 s of audio after
its end; after finish(), the last one.)doc")
      .def(
          "finish", [](const py::object& self) { return initialised(self).finish(); },
          R"doc(finish(self)
--

The contour of every sample pushed; its warnings are issued through Python's
warnings module (pitchtrack.AnalysisWarning) and kept in contour.warnings.
The tracker is then finished: a further push() or finish() raises
RuntimeError.)doc")
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
