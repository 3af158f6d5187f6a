// libFuzzer target: arbitrary bytes as a wave file through WaveData::load, readSamples and
// monoSamples, and through the streaming reads (openMono, readMono, loadMono).
//
// The bytes go into one memory-backed file (memfd) that the reader opens by its /proc path, so
// no run touches the disk. Besides the sanitizers' own checks, every successful load must
// describe the kept PCM consistently with the samples it hands out, and the streaming reads
// must accept and refuse the same files and deliver the same mono signal in blocks of any size.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "memory_file.h"
#include "support/mono_reader.h"
#include "wave/wave_data.h"

namespace pitchtrack {

namespace {

[[noreturn]] void broken(const char* what) { fuzzing::broken("wave_reader_fuzz", what); }

const fuzzing::MemoryFile& memoryFile() {
  static const fuzzing::MemoryFile file("wave_reader_fuzz");
  return file;
}

void checkLoaded(const WaveData& wave) {
  if (wave.getFormatTag() != 1) broken("kept samples are not tagged PCM");
  const uint32_t bits = wave.getBitsPerSample();
  if (bits != 8 && bits != 16) broken("kept samples are neither 8 nor 16 bits");
  if (wave.getChannels() == 0) broken("a load accepted zero channels");
  if (!sampleRateSupported(wave.getSampleRate())) {
    broken("a load accepted a sample rate outside the limits");
  }
  // A data chunk shorter than one sample loads as an empty signal.
  const int32_t count = wave.getSampleCount();
  if (count < 0) broken("a negative sample count");

  // The whole signal, then a destination shorter than the count, then a negative count.
  std::vector<int32_t> all(static_cast<size_t>(count));
  if (wave.readSamples(all, count + 1) != count) broken("readSamples lost samples");
  for (const int32_t v : all) {
    if (bits == 8 ? (v < 0 || v > 255) : (v < -32768 || v > 32767)) {
      broken("readSamples gave a value outside the sample range");
    }
  }
  std::vector<int32_t> part(static_cast<size_t>(count / 2));
  if (wave.readSamples(part, count) != count / 2) broken("readSamples overran its destination");
  if (!std::equal(part.begin(), part.end(), all.begin())) broken("readSamples is not stable");
  // A negative count writes nothing and comes back unchanged.
  const std::vector<int32_t> before = all;
  if (wave.readSamples(all, -1) != -1 || all != before) {
    broken("readSamples mishandled a negative count");
  }

  const std::vector<int16_t> mono = wave.monoSamples();
  const size_t channels = wave.getChannels();
  if (mono.size() != static_cast<size_t>(count) / channels) broken("monoSamples lost frames");
  if (channels == 1) {
    for (size_t i = 0; i < mono.size(); ++i) {
      if (mono[i] != all[i]) broken("mono samples of a mono file differ from readSamples");
    }
  }
}

// The mono signal read back in blocks of `blockSize` samples after openMono.
std::vector<int16_t> streamedMono(WaveData& wave, size_t blockSize) {
  std::vector<int16_t> mono;
  std::vector<int16_t> block(blockSize);
  while (mono.size() < wave.monoLength()) {
    const size_t count = wave.readMono(block);
    if (count == 0) broken("readMono ended before monoLength");
    if (count > block.size()) broken("readMono overran its block");
    mono.insert(mono.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(count));
  }
  if (wave.readMono(block) != 0) broken("readMono went on past monoLength");
  if (wave.readFailed()) broken("readMono failed on an unchanged file");
  return mono;
}

// The streaming reads against a load() of the same bytes: same verdict, same error text, same
// layout and the same mono signal whatever the block size.
void checkStreaming(const WaveData& loaded, bool loadedOk) {
  WaveData stream(1, 8000, 8);
  const bool opened = stream.openMono(memoryFile().path());
  if (opened != loadedOk) broken("openMono and load disagree about the file");
  if (!opened) {
    if (stream.lastError() != loaded.lastError()) broken("openMono and load fail differently");
    std::vector<int16_t> block(4);
    if (stream.monoLength() != 0 || stream.readMono(block) != 0) {
      broken("a failed openMono delivers samples");
    }
    std::vector<int16_t> samples{1, 2, 3};
    if (testsupport::loadMono(stream, memoryFile().path(), samples) || !samples.empty()) {
      broken("loadMono accepted");
    }
    return;
  }
  if (stream.getSampleRate() != loaded.getSampleRate() ||
      stream.getBitsPerSample() != loaded.getBitsPerSample() ||
      stream.getChannels() != loaded.getChannels() || stream.getDataBytes() != 0) {
    broken("openMono describes the file differently from load");
  }
  const std::vector<int16_t> expected = loaded.monoSamples();
  if (stream.monoLength() != expected.size()) broken("monoLength differs from monoSamples");
  for (const size_t blockSize : {size_t{1}, size_t{7}, size_t{4096}}) {
    if (blockSize > 1 && !stream.openMono(memoryFile().path()))
      broken("openMono is not repeatable");
    if (streamedMono(stream, blockSize) != expected) broken("streamed samples differ");
  }
  std::vector<int16_t> whole;
  if (!testsupport::loadMono(stream, memoryFile().path(), whole) || whole != expected) {
    broken("loadMono differs");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  memoryFile().fill(data, size);
  // Start from a layout the file must overwrite, as the tool does.
  WaveData wave(1, 8000, 8);
  const bool loaded = wave.load(memoryFile().path());
  if (loaded) {
    checkLoaded(wave);
    // A second load into the same object must not see the first one's samples.
    const int32_t first = wave.getSampleCount();
    if (!wave.load(memoryFile().path()) || wave.getSampleCount() != first) broken("reload differs");
  } else {
    if (wave.lastError().empty()) broken("a failed load left no error text");
    if (wave.getSampleCount() != 0 || !wave.monoSamples().empty()) {
      broken("a failed load kept samples");
    }
  }
  checkStreaming(wave, loaded);
  return 0;
}

}  // namespace pitchtrack
