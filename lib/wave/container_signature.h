// The first bytes of the containers the reader takes. A stream (a pipe, a terminal, a device) can
// only be read forward and may never end, so it must show one of them at once: an endless input
// of anything else is refused at its first bytes instead of being walked for ever.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace pitchtrack {

// The bytes a signature check needs.
inline constexpr size_t kSignatureBytes = 4;

// Whether `head`, the first bytes of an input, starts with the signature of a container the
// reader takes ("RIFF"); false when it is shorter than a signature.
bool startsWithKnownSignature(std::span<const uint8_t> head);

}  // namespace pitchtrack
