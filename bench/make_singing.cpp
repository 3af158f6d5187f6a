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

namespace {

void putLittleEndian(std::FILE* file, uint32_t value, int bytes) {
  for (int b = 0; b < bytes; ++b) std::fputc(static_cast<int>((value >> (8 * b)) & 0xFF), file);
}

void writeWav(std::FILE* file, uint32_t rate, const std::vector<int16_t>& samples) {
  const auto dataBytes = static_cast<uint32_t>(samples.size() * 2);
  std::fputs("RIFF", file);
  putLittleEndian(file, 36 + dataBytes, 4);
  std::fputs("WAVEfmt ", file);
  putLittleEndian(file, 16, 4);
  putLittleEndian(file, 1, 2);
  putLittleEndian(file, 1, 2);
  putLittleEndian(file, rate, 4);
  putLittleEndian(file, rate * 2, 4);
  putLittleEndian(file, 2, 2);
  putLittleEndian(file, 16, 2);
  std::fputs("data", file);
  putLittleEndian(file, dataBytes, 4);
  for (const int16_t v : samples) putLittleEndian(file, static_cast<uint16_t>(v), 2);
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
