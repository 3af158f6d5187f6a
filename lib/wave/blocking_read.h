// Reading a descriptor to a full buffer: a non-blocking descriptor's "no data yet" (EAGAIN) is
// waited out, not taken for the end of the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace pitchtrack {

// Reads into `destination` until it is full, the input ends or reading fails; returns the bytes
// read. Interrupted reads are resumed.
size_t readFully(int descriptor, std::span<uint8_t> destination);

}  // namespace pitchtrack
