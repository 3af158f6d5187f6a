// G.711 expansion: mu-law and A-law coded bytes to 16-bit linear samples.
//
// Telephony recordings store one logarithmically compressed byte per sample. Both laws are
// expanded by fixed 256-entry tables, so a long recording is decoded with one lookup per byte.
#pragma once

#include <cstdint>

namespace pitchtrack {

namespace g711 {

// The linear value of a mu-law byte, in -32124..32124 (0xFF and 0x7F are both silence).
int16_t muLawToLinear(uint8_t code);

// The linear value of an A-law byte, in -32256..32256, scaled to the 16-bit range.
int16_t aLawToLinear(uint8_t code);

}  // namespace g711

}  // namespace pitchtrack
