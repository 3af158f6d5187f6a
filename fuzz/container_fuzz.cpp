// libFuzzer target: arbitrary bytes as a recording in any container, through the signature
// table and, for the containers libsndfile reads, through SoundFile (the virtual I/O over
// forward reads, the sample conversions and the mix-down).
//
// The bytes go into a memory-backed file (memfd) opened by its /proc path, so no run touches
// the disk. Besides the sanitizers' checks: an opened recording has a rate within the limits,
// 8 or 16 bits, 8-bit values within 0..255, blocks never overrun, and a failed read says why
// and names the format. Reading stops after a bounded number of samples, since a header may
// promise hours.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "memory_file.h"
#include "pitchtrack/limits.h"
#include "wave/container_signature.h"
#include "wave/riff.h"
#include "wave/sound_file.h"
#include "wave/wave_data.h"

namespace pitchtrack {

namespace {

constexpr size_t kMaxSamples = 1 << 20;

[[noreturn]] void broken(const char* what) { fuzzing::broken("container_fuzz", what); }

const fuzzing::MemoryFile& memoryFile() {
  static const fuzzing::MemoryFile file("container_fuzz");
  return file;
}

void checkOpened(SoundFile& sound, Container container) {
  if (!sampleRateSupported(sound.getSampleRate())) {
    broken("an opened recording has a rate outside the limits");
  }
  const uint32_t bits = sound.getBitsPerSample();
  if (bits != 8 && bits != 16) broken("an opened recording is neither 8 nor 16 bits");
  std::vector<int16_t> block(4099);
  for (size_t total = 0; total < kMaxSamples;) {
    const size_t count = sound.readMono(std::span(block).first(1 + total % block.size()));
    if (count > 1 + total % block.size()) broken("readMono overran its block");
    for (size_t i = 0; i < count; ++i) {
      if (bits == 8 && (block[i] < 0 || block[i] > 255)) broken("an 8-bit value outside 0..255");
    }
    if (count == 0) break;
    total += count;
  }
  if (sound.readFailed() && sound.lastReason().find(containerName(container)) != 0) {
    broken("a failed read does not name the format");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  memoryFile().fill(data, size);
  const Container container = identifyContainer(std::span(data, std::min(size, kSignatureBytes)));
  if (readerOf(container) != ContainerReader::kSoundFile) return 0;
  std::string problem;
  auto file = riff::File::open(memoryFile().path(), problem);
  if (!file) broken("the memory file cannot be opened");
  SoundFile sound;
  if (sound.open(std::move(*file), container)) {
    checkOpened(sound, container);
  } else if (sound.lastReason().find(containerName(container)) != 0) {
    broken("a refusal does not name the format");
  }
  return 0;
}

}  // namespace pitchtrack
