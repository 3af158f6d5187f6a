// Reads a whole recording through the reader's streaming interface (openMono, then readMono
// block by block), for tests and fuzzers that compare it with the whole-file load.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "wave/wave_data.h"

namespace testsupport {

// The mono samples of `fileName` as readMono delivers them, in blocks of `blockSize`; false
// (and no samples) when the file cannot be opened or a read fails.
inline bool loadMono(pitchtrack::WaveData& wave, const std::string& fileName,
                     std::vector<int16_t>& samples, size_t blockSize = 65536) {
  samples.clear();
  if (!wave.openMono(fileName)) return false;
  std::vector<int16_t> block(blockSize);
  while (samples.size() < wave.monoLength()) {
    const size_t count = wave.readMono(block);
    if (count == 0) {
      samples.clear();
      return false;
    }
    samples.insert(samples.end(), block.begin(), block.begin() + static_cast<ptrdiff_t>(count));
  }
  return true;
}

}  // namespace testsupport
