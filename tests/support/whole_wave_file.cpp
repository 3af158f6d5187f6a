// The reader's whole-file entries (WaveData::load, getSampleCount, readSamples, monoSamples),
// which only the tests and fuzzers use: they compare the streaming reads with a load of the
// whole file and look at every channel's decoded samples. Compiled into those programs, not
// into the library.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "wave/mono_stream.h"
#include "wave/riff.h"
#include "wave/wave_data.h"

namespace pitchtrack {

namespace {

using wave::Decoder;

// Samples converted per read while normalising, bounding the scratch buffer.
constexpr size_t kConvertBlockSamples = 64 * 1024;

// Streams the stored samples through the converter in blocks, so memory peaks at the kept
// samples plus one block. A trailing partial stored sample is dropped.
bool readConverted(riff::File& file, const riff::ChunkHeader& chunk, const Decoder& decoder,
                   std::vector<uint8_t>& kept) {
  const size_t samples = chunk.size / decoder.storedBytes;
  const size_t keptBytes = decoder.keptBits / 8;
  kept.resize(samples * keptBytes);
  std::vector<uint8_t> block(std::min(samples, kConvertBlockSamples) * decoder.storedBytes);
  for (size_t done = 0; done < samples;) {
    const size_t count = std::min(kConvertBlockSamples, samples - done);
    const auto in = std::span(block).first(count * decoder.storedBytes);
    if (!file.read(chunk.payloadOffset() + done * decoder.storedBytes, in)) return false;
    decoder.convert(in, std::span(kept).subspan(done * keptBytes, count * keptBytes));
    done += count;
  }
  return true;
}

bool readSampleData(riff::File& file, const riff::ChunkHeader& chunk, const Decoder& decoder,
                    std::vector<uint8_t>& kept) {
  if (decoder.convert != nullptr) return readConverted(file, chunk, decoder, kept);
  kept.resize(chunk.size);
  return file.read(chunk.payloadOffset(), kept);
}

template <uint16_t Bits>
void copySamples(std::span<const uint8_t> data, std::span<int32_t> destination) {
  for (size_t i = 0; i < destination.size(); ++i) destination[i] = wave::sampleAt<Bits>(data, i);
}

}  // namespace

// The previous samples are dropped first, so a failed load leaves no data and a successful
// one never holds the old and the new samples together.
bool WaveData::load(const std::string& fileName) {
  release();
  std::string reason;
  auto file = riff::File::open(fileName, reason);
  if (!file) return fail(kFileOpen, reason);
  MonoStream stream;
  Failure failure = loadFrom(*file, stream);
  if (failure.code == kNoError && stream.toEnd) {
    failure = {kDataRead, "a stream of unknown length cannot be loaded whole"};
  } else if (failure.code == kNoError &&
             !readSampleData(*file, stream.chunk, stream.decoder, data_)) {
    failure = {kDataRead, "read error: the file ends inside the data chunk"};
  }
  if (failure.code == kNoError) return succeed();
  release();
  return fail(failure.code, std::move(failure.reason));
}

int32_t WaveData::getSampleCount() const {
  if (bitsPerSample_ < 8) return 0;
  return static_cast<int32_t>(data_.size() / (bitsPerSample_ / 8U));
}

int32_t WaveData::readSamples(std::span<int32_t> destination, int32_t count) const {
  if (count <= 0) return count;
  if (bitsPerSample_ != 8 && bitsPerSample_ != 16) return 0;
  const int64_t available = std::min<int64_t>(getSampleCount(), std::ssize(destination));
  const auto n = static_cast<size_t>(std::clamp<int64_t>(count, 0, available));
  if (bitsPerSample_ == 8) {
    copySamples<8>(data_, destination.first(n));
  } else {
    copySamples<16>(data_, destination.first(n));
  }
  return static_cast<int32_t>(n);
}

std::vector<int16_t> WaveData::monoSamples() const {
  if (channels_ == 0) return {};
  if (bitsPerSample_ != 8 && bitsPerSample_ != 16) return {};
  std::vector<int16_t> mono(static_cast<size_t>(getSampleCount()) / channels_);
  wave::mixInto(bitsPerSample_, data_, channels_, mono);
  return mono;
}

}  // namespace pitchtrack
