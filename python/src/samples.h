// The caller's sample arrays for the analysis: dtype, shape and sample size checked, the channel
// axis told apart from the sample axis, then converted and mixed down to one channel as the
// reader converts and mixes a file's samples.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The most channels a 2-D array is taken to have when the caller does not say which axis holds
// them: more than any recording set-up a pitch tracker meets, fewer than the samples of one
// frame at any accepted rate (32 ms at 1000 Hz), so that only arrays too short to hold a frame
// are ambiguous.
inline constexpr int64_t kMaxGuessedChannels = 32;

enum class Encoding { kPcm16, kPcm8, kFloat32, kFloat64 };

// A caller's array checked for the analysis: C-contiguous, native byte order, frames x channels
// (an array of channels x frames is transposed into a copy).
struct Samples {
  pybind11::array array;
  Encoding encoding = Encoding::kPcm16;
  size_t frames = 0;
  size_t channels = 1;
  std::optional<int> channelAxis;  // the caller's axis of the channels; none for a 1-D array
  int32_t bits = 16;
};

// One channel of samples as the library takes them, borrowed from the caller's array or owned.
struct Mono {
  std::vector<int16_t> owned;
  const int16_t* data = nullptr;
  size_t count = 0;
};

// The rate or sample size as the library takes it; ValueError saying why otherwise.
int32_t checkedRate(int64_t rate);
int32_t checkedBits(int64_t bits);

// Checks the dtype, the shape and the sample size of `samples`; `bits` is the caller's sample
// size, or nullopt for the one the dtype implies. A 2-D array holds its channels on
// `channelAxis` (0 or 1, or -2 or -1) when given; otherwise on its one axis of 1 to
// kMaxGuessedChannels entries, and an array with two such axes or none is refused with a
// ValueError that says to pass channel_axis. Holds the GIL.
Samples inspect(const pybind11::handle& samples, std::optional<int64_t> bits,
                std::optional<int64_t> channelAxis);

// The samples as one channel. Runs without the GIL: it touches only the array's memory, which
// `s` keeps alive.
Mono toMono(const Samples& s);
