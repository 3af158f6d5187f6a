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

// The same, but done once at least `wanted` bytes came: each read takes what the input holds, up
// to the destination's size, so a pipe gives what its writer has written without waiting for
// more.
size_t readAtLeast(int descriptor, std::span<uint8_t> destination, size_t wanted);

}  // namespace pitchtrack
