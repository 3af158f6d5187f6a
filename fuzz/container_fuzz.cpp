// libFuzzer target: arbitrary bytes as a recording in any container, through the signature
// table and, for the containers libsndfile reads, through SoundFile (the virtual I/O over
// forward reads, the sample conversions and the mix-down).
//
// The bytes go into a memory-backed file (memfd) opened by its /proc path, so no run touches
// the disk. Besides the sanitizers' checks: an opened recording has a rate within the limits,
// 8 or 16 bits, 8-bit values within 0..255, blocks never overrun, and a failed read says why
// and names the format. Reading stops after a bounded number of samples, since a header may
// promise hours.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "pitchtrack/limits.h"
#include "wave/container_signature.h"
#include "wave/riff.h"
#include "wave/sound_file.h"
#include "wave/wave_data.h"

namespace pitchtrack {

namespace {

int memoryFile = -1;
std::string memoryPath;
constexpr size_t kMaxSamples = 1 << 20;

[[noreturn]] void broken(const char* what) {
  std::fprintf(stderr, "container_fuzz: %s\n", what);
  std::abort();
}

bool replaceContents(const uint8_t* data, size_t size) {
  if (ftruncate(memoryFile, 0) != 0) return false;
  for (size_t done = 0; done < size;) {
    const ssize_t n = pwrite(memoryFile, data + done, size - done, static_cast<off_t>(done));
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
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

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  memoryFile = memfd_create("container_fuzz", 0);
  if (memoryFile < 0) broken("memfd_create failed");
  memoryPath = "/proc/self/fd/" + std::to_string(memoryFile);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!replaceContents(data, size)) broken("cannot fill the memory file");
  const Container container = identifyContainer(std::span(data, std::min(size, kSignatureBytes)));
  if (readerOf(container) != ContainerReader::kSoundFile) return 0;
  std::string problem;
  auto file = riff::File::open(memoryPath, problem);
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
