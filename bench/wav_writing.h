// The few bytes the benchmark generators need to write a mono PCM WAV file.
#pragma once

#include <cstdint>
#include <cstdio>

namespace benchwav {

inline void putLittleEndian(std::FILE* file, uint32_t value, int bytes) {
  for (int b = 0; b < bytes; ++b) std::fputc(static_cast<int>((value >> (8 * b)) & 0xFF), file);
}

// The 44-byte header of a mono PCM recording of `samples` samples of `bits` bits.
inline void writeHeader(std::FILE* file, uint32_t rate, uint32_t bits, uint64_t samples) {
  const auto dataBytes = static_cast<uint32_t>(samples * bits / 8);
  std::fputs("RIFF", file);
  putLittleEndian(file, 36 + dataBytes, 4);
  std::fputs("WAVEfmt ", file);
  putLittleEndian(file, 16, 4);
  putLittleEndian(file, 1, 2);
  putLittleEndian(file, 1, 2);
  putLittleEndian(file, rate, 4);
  putLittleEndian(file, rate * bits / 8, 4);
  putLittleEndian(file, bits / 8, 2);
  putLittleEndian(file, bits, 2);
  std::fputs("data", file);
  putLittleEndian(file, dataBytes, 4);
}

}  // namespace benchwav
