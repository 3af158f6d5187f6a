#include "samples.h"

#include <stdexcept>
#include <string>

#include "pitchtrack/pitchtrack.h"

namespace py = pybind11;

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

namespace {

template <typename T>
py::array contiguous(const py::array& array) {
  return py::array_t<T, py::array::c_style | py::array::forcecast>::ensure(array);
}

std::string shapeText(int64_t rows, int64_t columns) {
  return "(" + std::to_string(rows) + ", " + std::to_string(columns) + ")";
}

[[noreturn]] void refuseLayout(int64_t rows, int64_t columns, const std::string& why) {
  throw py::value_error("samples of shape " + shapeText(rows, columns) + ": " + why +
                        "; pass channel_axis=0 for (channels, samples), as librosa gives, or "
                        "channel_axis=1 for (samples, channels), as soundfile and scipy give");
}

bool guessable(int64_t length) { return length >= 1 && length <= kMaxGuessedChannels; }

// The axis of a rows x columns array that holds the channels (see inspect()).
int channelAxisOf(int64_t rows, int64_t columns, std::optional<int64_t> given) {
  if (given) {
    if (*given < -2 || *given > 1) {
      throw py::value_error("channel_axis must be 0 or 1 (or -2 or -1), not " +
                            std::to_string(*given));
    }
    return static_cast<int>((*given + 2) % 2);
  }
  if (guessable(rows) && guessable(columns)) {
    refuseLayout(rows, columns, "either axis could hold the channels");
  }
  if (guessable(rows)) return 0;
  if (guessable(columns)) return 1;
  refuseLayout(rows, columns,
               "neither axis is a channel count of 1 to " + std::to_string(kMaxGuessedChannels));
}

// The array's dtype as an encoding, or a ValueError naming the dtypes taken.
Encoding encodingOf(const py::array& array) {
  const py::dtype dtype = array.dtype();
  const char kind = dtype.kind();
  const auto size = dtype.itemsize();
  if (kind == 'i' && size == 2) return Encoding::kPcm16;
  if (kind == 'u' && size == 1) return Encoding::kPcm8;
  if (kind == 'f' && size == 4) return Encoding::kFloat32;
  if (kind == 'f' && size == 8) return Encoding::kFloat64;
  throw py::value_error("samples of dtype " +
                        py::str(static_cast<const py::handle&>(dtype)).cast<std::string>() +
                        " are not taken: give int16 (16-bit PCM), uint8 (8-bit PCM) or "
                        "float32/float64 (full scale -1..1) values");
}

// A C-contiguous copy of `array` (or the array itself when it is one) in native byte order.
py::array contiguousOf(const py::array& array, Encoding encoding) {
  py::array out;
  switch (encoding) {
    case Encoding::kPcm16:
      out = contiguous<int16_t>(array);
      break;
    case Encoding::kPcm8:
      out = contiguous<uint8_t>(array);
      break;
    case Encoding::kFloat32:
      out = contiguous<float>(array);
      break;
    case Encoding::kFloat64:
      out = contiguous<double>(array);
      break;
  }
  // The dtype is taken, so only memory can fail the conversion, and pybind11 has cleared the
  // error it raised.
  if (!out) {
    if (PyErr_Occurred() != nullptr) throw py::error_already_set();
    throw std::bad_alloc();
  }
  return out;
}

// Fills the layout of `s` from `array`, transposing channels x samples into samples x channels.
py::array laidOut(const py::array& array, std::optional<int64_t> channelAxis, Samples& s) {
  if (array.ndim() == 1) {
    if (channelAxis) throw py::value_error("channel_axis is for 2-D samples; these are 1-D");
    s.frames = static_cast<size_t>(array.shape(0));
    return array;
  }
  if (array.ndim() != 2) {
    throw py::value_error("samples must be one channel (1-D) or samples and channels (2-D), not " +
                          std::to_string(array.ndim()) + "-D");
  }
  const int axis = channelAxisOf(array.shape(0), array.shape(1), channelAxis);
  s.channelAxis = axis;
  s.channels = static_cast<size_t>(array.shape(axis));
  s.frames = static_cast<size_t>(array.shape(1 - axis));
  if (s.channels == 0) {
    throw py::value_error("samples of shape " + shapeText(array.shape(0), array.shape(1)) +
                          " have no channels");
  }
  return axis == 0 ? array.attr("T").cast<py::array>() : array;
}

}  // namespace

Samples inspect(const py::handle& samples, std::optional<int64_t> bits,
                std::optional<int64_t> channelAxis) {
  const py::array array = py::array::ensure(samples);
  if (!array) throw py::value_error("samples must be a NumPy array or a sequence of numbers");
  Samples s;
  s.encoding = encodingOf(array);
  s.array = contiguousOf(laidOut(array, channelAxis, s), s.encoding);
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

namespace {

template <typename T, typename Convert>
std::vector<int16_t> converted(const Samples& s, Convert convert) {
  const auto* in = static_cast<const T*>(s.array.data());
  std::vector<int16_t> out(s.frames * s.channels);
  for (size_t i = 0; i < out.size(); ++i) out[i] = convert(in[i]);
  return out;
}

}  // namespace

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
