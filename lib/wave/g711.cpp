#include "wave/g711.h"

#include <array>
#include <cstddef>

namespace pitchtrack {

namespace g711 {
namespace {

using Table = std::array<int16_t, 256>;

constexpr int kSignBit = 0x80;
constexpr int kMuLawBias = 132;
constexpr int kALawToggleMask = 0x55;

// Mu-law bytes are stored inverted. Segment e (bits 4-6) starts at 132 * (2^e - 1) and its
// mantissa (bits 0-3) steps by 2^(e+3); a set sign bit after inversion means negative.
constexpr int16_t expandMuLaw(uint8_t code) {
  const int u = ~code & 0xFF;
  const int segment = (u >> 4) & 0x07;
  const int mantissa = u & 0x0F;
  const int magnitude = kMuLawBias * ((1 << segment) - 1) + (mantissa << (segment + 3));
  return static_cast<int16_t>((u & kSignBit) != 0 ? -magnitude : magnitude);
}

// A-law bytes have every other bit toggled. Segment 0 is linear; segment e > 0 carries an
// implied leading one and doubles its step size for each segment; a set sign bit means positive.
constexpr int16_t expandALaw(uint8_t code) {
  const int a = code ^ kALawToggleMask;
  const int segment = (a >> 4) & 0x07;
  const int mantissa = a & 0x0F;
  const int magnitude =
      segment == 0 ? (mantissa << 4) + 8 : ((mantissa << 4) + 0x108) << (segment - 1);
  return static_cast<int16_t>((a & kSignBit) != 0 ? magnitude : -magnitude);
}

template <int16_t (*Expand)(uint8_t)>
constexpr Table buildTable() {
  Table table{};
  for (int code = 0; code < 256; ++code) {
    table[static_cast<size_t>(code)] = Expand(static_cast<uint8_t>(code));
  }
  return table;
}

constexpr Table kMuLawTable = buildTable<expandMuLaw>();
constexpr Table kALawTable = buildTable<expandALaw>();

}  // namespace

int16_t muLawToLinear(uint8_t code) { return kMuLawTable[code]; }

int16_t aLawToLinear(uint8_t code) { return kALawTable[code]; }

}  // namespace g711

}  // namespace pitchtrack
