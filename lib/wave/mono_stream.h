// Internal to the reader: how an accepted encoding becomes linear PCM, and the state of a
// streaming read that decodes the data chunk block by block into one channel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "wave/riff.h"
#include "wave/wave_data.h"

namespace pitchtrack {

namespace wave {

// Turns a run of stored samples into kept 16-bit samples; out holds two bytes per sample of in.
using Converter = void (*)(std::span<const uint8_t> in, std::span<uint8_t> out);

// How the samples of one accepted encoding become the kept linear PCM.
struct Decoder {
  size_t storedBytes;  // bytes of one sample in the file
  uint16_t keptBits;   // 8 or 16
  Converter convert;   // nullptr: the stored bytes are kept as they are
};

// The index-th kept sample: 8-bit data as the unsigned values 0..255, 16-bit data signed.
template <uint16_t Bits>
int32_t sampleAt(std::span<const uint8_t> data, size_t index) {
  if constexpr (Bits == 8) {
    return data[index];
  } else {
    return static_cast<int16_t>(riff::loadLe16(data, 2 * index));
  }
}

// Mixes mono.size() whole sample frames of kept samples into `mono`: the sum of the channels
// divided by the channel count, truncating toward zero.
void mixInto(uint16_t keptBits, std::span<const uint8_t> data, size_t channels,
             std::span<int16_t> mono);

}  // namespace wave

// Decodes the data chunk block by block into one channel of 16-bit samples: memory holds one
// block of file bytes at a time. A trailing partial sample frame is never read.
struct WaveData::MonoStream {
  std::optional<riff::File> file;
  riff::ChunkHeader chunk;
  wave::Decoder decoder{};
  size_t channels = 1;
  uint64_t frames = 0;  // whole sample frames in the data chunk, when known
  bool toEnd = false;   // the data runs to the end of a stream of unknown length
  uint64_t done = 0;
  bool failed = false;
  uint64_t missing = 0;  // bytes of the stated data that a stream never delivered
  std::vector<uint8_t> stored;
  std::vector<uint8_t> kept;
  std::vector<uint8_t> carry;  // a stream's bytes of a sample frame begun, read ahead

  // Decodes the next samples into `block` (as many as fit, fewer at the end); returns how many.
  size_t read(std::span<int16_t> block);

 private:
  size_t readWholeFrames(uint64_t offset, size_t frameBytes);
};

}  // namespace pitchtrack
