// Writes the project's generated singing (the sung and the hummed voice of the measuring
// programs' material, each followed by a second of silence) as a mono 16-bit WAV file, for the
// hour of recordings that bench/real_hour.sh assembles.
//
// Usage: make_singing out.wav rate
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "measure/pitch_material.h"
#include "wav_writing.h"

namespace {

void writeWav(std::FILE* file, uint32_t rate, const std::vector<int16_t>& samples) {
  benchwav::writeHeader(file, rate, 16, samples.size());
  for (const int16_t v : samples) benchwav::putLittleEndian(file, static_cast<uint16_t>(v), 2);
}

std::vector<int16_t> singing(int32_t rate) {
  std::vector<int16_t> all;
  for (const measure::Material& m : {measure::sungVoice(rate), measure::hummedVoice(rate)}) {
    const std::vector<int16_t> pcm = measure::toPcm(m);
    all.insert(all.end(), pcm.begin(), pcm.end());
    all.insert(all.end(), static_cast<size_t>(rate), int16_t{0});
  }
  return all;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_singing out.wav rate\n");
    return 2;
  }
  const int32_t rate = std::atoi(argv[2]);
  std::FILE* file = std::fopen(argv[1], "wb");
  if (file == nullptr || rate < 1000) {
    std::fprintf(stderr, "make_singing: cannot write %s at %s Hz\n", argv[1], argv[2]);
    return 1;
  }
  writeWav(file, static_cast<uint32_t>(rate), singing(rate));
  return std::fclose(file) == 0 ? 0 : 1;
}
