#include "utf8.h"

namespace pitchtrack::cli {

namespace {

bool continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The range the second byte of a sequence led by `lead` must lie in, which rules out overlong
// forms, surrogates and code points past U+10FFFF.
bool secondByteFits(unsigned char lead, unsigned char second) {
  if (lead == 0xE0) return second >= 0xA0 && second <= 0xBF;
  if (lead == 0xED) return second >= 0x80 && second <= 0x9F;
  if (lead == 0xF0) return second >= 0x90 && second <= 0xBF;
  if (lead == 0xF4) return second >= 0x80 && second <= 0x8F;
  return continuation(second);
}

size_t expectedLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

}  // namespace

size_t utf8SequenceLength(std::string_view text) {
  if (text.empty()) return 0;
  const auto lead = static_cast<unsigned char>(text[0]);
  const size_t length = expectedLength(lead);
  if (length <= 1) return length;
  if (text.size() < length || !secondByteFits(lead, static_cast<unsigned char>(text[1]))) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (!continuation(static_cast<unsigned char>(text[i]))) return 0;
  }
  return length;
}

}  // namespace pitchtrack::cli
